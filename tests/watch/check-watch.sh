#!/usr/bin/env bash
# Checks a learner's watch: exercise-check --watch checks a folder of one program, checks it
# again when its source is saved (and shows that program's verdict and the folder's summary),
# does not check it again for a file that is no source, and ends on SIGINT with 130, leaving no
# folder behind.
#
#   check-watch.sh <exercise-check> <work folder> <a source of circle> [options]
set -uo pipefail
check=$1 work=$2 source=$3
shift 3
rm -rf "$work" && mkdir -p "$work/tmp" "$work/person" "$work/cache" || exit 1
cp "$source" "$work/person/circle.cpp" || exit 1
problems=()

TMPDIR=$work/tmp XDG_CACHE_HOME=$work/cache "$check" "$@" --watch "$work/person" \
    >"$work/watch.txt" 2>&1 &
checker=$!
# Waits until the output shows $1 $2 times; false when it does not within $3 seconds (30). A
# check after a save may build the typical faults' variants anew, which on a loaded machine takes
# a minute or more: the test is of what is checked, not how soon.
shows() {
    for _ in $(seq $((${3:-30} * 10))); do
        (($(grep -c -- "$1" "$work/watch.txt") >= $2)) && return 0
        kill -0 "$checker" 2>/dev/null || return 1
        sleep 0.1
    done
    return 1
}
shows "^watching " 1 180 || problems+=("the first check did not end in watching")

touch "$work/person/notes.txt" # no source: nothing is checked again
# A save in two writes: the first half alone would not compile.
{
    head -c 20 "$work/person/circle.cpp"
    sleep 0.3
    tail -c +21 "$work/person/circle.cpp" | sed 's/3\.14159/3.14/g'
} >"$work/person/circle.cpp.new"
mv "$work/person/circle.cpp.new" "$work/person/circle.cpp"
shows "^circle.cpp saved: checked in" 1 180 || problems+=("the save was not checked again")
shows ": 0 correct, 1 wrong, 0 does not compile, 8 absent" 1 ||
    problems+=("the summary after the save is not the folder's")
grep -q "does not compile" <(sed -n '/saved: checked in/,$p' "$work/watch.txt" | grep -v absent) &&
    problems+=("a save was read half written")
grep -q "likely fault: pi-3.14" "$work/watch.txt" || problems+=("no likely fault shown")
grep -q "notes.txt saved" "$work/watch.txt" && problems+=("a file that is no source was checked")

kill -INT "$checker"
wait "$checker"
status=$?
[[ $status == 130 ]] || problems+=("SIGINT: exit status $status, not 130")
[[ -z $(ls -A "$work/tmp") ]] || problems+=("left behind: $(ls -A "$work/tmp")")

cat "$work/watch.txt"
if ((${#problems[@]} > 0)); then
    printf 'WATCH FAILED: %s\n' "${problems[@]}"
    exit 1
fi
echo "the watch checked the saved program again, and ended cleanly on SIGINT"
