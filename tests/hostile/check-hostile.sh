#!/usr/bin/env bash
# Checks that exercise-check contains hostile programs: each prints the right greeting and does
# one thing more (see the folders beside this script). It plants a secret in a home folder and
# in the environment, listens on a local port, checks them all as one class, and then requires:
# each got its verdict, no process of theirs is left, no file of theirs appeared, no connection
# arrived, no secret reached a report, and the checker itself ended normally.
#
#   check-hostile.sh <exercise-check> <listener> <work folder> [options for exercise-check]
#
# <exercise-check> may be a command that runs it, its path then the first option. With
# EXPECT_SANDBOX set, the report must name that sandbox.
set -uo pipefail
check=$1 listener=$2 work=$3
shift 3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
real_home=${HOME:-/root}

rm -rf "$work" && mkdir -p "$work/home" "$work/outside" "$work/class" "$work/tmp" || exit 1
secret="SECRET-$RANDOM$RANDOM$RANDOM"
echo "$secret" >"$work/home/secret.txt"
mark_seconds="987.$RANDOM" # what the left-behind children sleep, to find them by
mark_name="hostile-was-here-$RANDOM"

"$listener" "$work/port" "$work/connections" &
listening=$!
trap 'kill $listening 2>/dev/null
      rm -f "/tmp/$mark_name" "$real_home/$mark_name" "/dev/shm/$mark_name"* "/dev/$mark_name"' EXIT
for _ in $(seq 50); do [[ -s $work/port ]] && break; sleep 0.1; done
port=$(cat "$work/port") || exit 1

for folder in "$here"/*/; do
    [[ -f $folder/helloworld.cpp.in ]] || continue # in-a-class/ is checked class by class
    name=$(basename "$folder")
    mkdir -p "$work/class/$name"
    sed -e "s|@HOME@|$work/home|g" -e "s|@OUTSIDE@|$work/outside|g" -e "s|@PORT@|$port|g" \
        -e "s|@MARK_SECONDS@|$mark_seconds|g" -e "s|@MARK_NAME@|$mark_name|g" \
        "$folder/helloworld.cpp.in" >"$work/class/$name/helloworld.cpp"
done

# The checker's own folder goes under $work/tmp, where its processes can be told from others'.
HOME=$work/home TMPDIR=$work/tmp EXERCISE_CHECK_TEST_SECRET=$secret "$check" "$@" --timeout 5 \
    --json "$work/report.json" "$work/class"/* >"$work/report.txt" 2>&1
status=$?
cat "$work/report.txt"
problems=()
[[ $status == 0 || $status == 1 ]] ||
    problems+=("exercise-check did not end normally: exit status $status")

# The verdicts, from the JSON report: "<person> <program verdict> <case verdicts>".
cat >"$work/verdicts.cmake" <<'CMAKE'
file(READ "${REPORT}" report)
string(JSON people LENGTH "${report}" people)
math(EXPR last "${people} - 1")
foreach(person RANGE ${last})
    string(JSON name GET "${report}" people ${person} name)
    string(JSON verdict GET "${report}" people ${person} programs 6 verdict)
    string(JSON cases LENGTH "${report}" people ${person} programs 6 cases)
    set(line "${name} ${verdict}")
    if(cases GREATER 0)
        math(EXPR last_case "${cases} - 1")
        foreach(case RANGE ${last_case})
            string(JSON got GET "${report}" people ${person} programs 6 cases ${case} verdict)
            string(APPEND line " ${got}")
        endforeach()
    endif()
    message("${line}")
endforeach()
CMAKE
verdicts=$(cmake -DREPORT="$work/report.json" -P "$work/verdicts.cmake" 2>&1) ||
    problems+=("no readable JSON report: $verdicts")
expect() { # <person> <pattern its line must match>
    local line
    line=$(grep "^$1 " <<<"$verdicts")
    [[ $line =~ $2 ]] || problems+=("$1: expected /$2/, got: ${line:-nothing}")
}
for person in leaves-a-child forks-without-end writes-outside-its-tmp reads-a-secret-at-home \
              reads-a-secret-from-the-environment reads-the-checkers-environment \
              reaches-the-process-that-runs-it fills-dev-shm makes-a-user-namespace; do
    expect $person '^[^ ]+ correct( passed)+$'
done
expect connects-to-a-local-port ' (correct|wrong)'
# Stopped at its limit, or, on a loaded machine where reaching it takes longer, at its time limit.
expect takes-memory-without-end ' wrong .*(memory-limit|timeout)'
expect writes-without-end ' wrong .*output-limit'
expect includes-a-file-from-outside ' does-not-compile'
expect kills-its-parent ' (correct|wrong)'
expect kills-every-process-it-can ' (correct|wrong)'
expect forges-its-result '^[^ ]+ wrong wrong-output'
expect holds-memory-in-many-processes '^[^ ]+ (correct|wrong)( (passed|crashed|memory-limit|stderr))+$'
if [[ -n ${EXPECT_SANDBOX:-} ]]; then
    printf '%s\n' 'file(READ "${REPORT}" r)' 'string(JSON s GET "${r}" sandbox)' \
        'message("${s}")' >"$work/sandbox.cmake"
    used=$(cmake -DREPORT="$work/report.json" -P "$work/sandbox.cmake" 2>&1)
    [[ $used == "$EXPECT_SANDBOX" ]] ||
        problems+=("the check ran in the sandbox '$used', not in $EXPECT_SANDBOX")
fi

sleep 0.5
left=$(pgrep -f "sleep $mark_seconds")
[[ -z $left ]] && left=$(pgrep -f "$work/tmp/")
if [[ -n $left ]]; then
    problems+=("processes left running: $(ps -o pid=,args= -p "$(tr '\n' ',' <<<"$left" | sed 's/,$//')")")
    kill -9 $left 2>/dev/null
fi
for file in "$work/outside/$mark_name" "$work/home/$mark_name" "/tmp/$mark_name" \
            "$real_home/$mark_name" "/dev/$mark_name" "/dev/shm/$mark_name-0"; do
    [[ -e $file ]] && problems+=("a file appeared outside the sandbox: $file")
done
[[ -n $(ls -A "$work/tmp") ]] && problems+=("the checker left files behind: $(ls "$work/tmp")")
[[ -e $work/connections ]] && problems+=("a connection arrived on port $port")
grep -l "$secret" "$work/report.txt" "$work/report.json" >/dev/null &&
    problems+=("the secret reached a report")

if ((${#problems[@]} > 0)); then
    printf 'NOT CONTAINED: %s\n' "${problems[@]}"
    exit 1
fi
echo "all $(grep -c . <<<"$verdicts") hostile programs were contained"
