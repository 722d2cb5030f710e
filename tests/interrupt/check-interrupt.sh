#!/usr/bin/env bash
# Checks that an interrupted check cleans up: a program that would run until its time limit is
# being checked when the checker gets SIGTERM (then SIGINT); the checker must exit with 143 (130),
# leave no process of the program running, no folder behind, and no results in its store.
#
#   check-interrupt.sh <exercise-check> <work folder> [options for exercise-check]
set -uo pipefail
check=$1 work=$2
shift 2
rm -rf "$work" && mkdir -p "$work/tmp" "$work/person" || exit 1
mark="interrupted-$RANDOM$RANDOM"
cat >"$work/person/helloworld.cpp" <<CPP
#include <iostream>
#include <unistd.h>
int main()
{
    std::cout << "Hello World!" << std::endl;
    char mark[] = "$mark";
    (void)mark;
    for (;;) {
        pause();
    }
}
CPP
problems=()
for signal in TERM INT; do
    rm -rf "$work/tmp" && mkdir -p "$work/tmp"

    rm -rf "$work/cache"
    TMPDIR=$work/tmp XDG_CACHE_HOME=$work/cache "$check" "$@" --timeout 30 "$work/person" \
        >"$work/report.txt" 2>&1 &
    checker=$!
    # Until this check's program runs: a helloworld whose executable is in its folder (others
    # may run beside this test).
    for _ in $(seq 300); do
        ours=""
        for pid in $(pgrep -x helloworld); do
            [[ $(readlink "/proc/$pid/exe" 2>/dev/null) == "$work/tmp/"* ]] && ours=$pid
        done
        [[ -n $ours ]] && break
        sleep 0.1
    done
    kill -s "$signal" "$checker"
    wait "$checker"
    status=$?
    expected=$((128 + $(kill -l "$signal")))
    [[ $status == "$expected" ]] ||
        problems+=("SIG$signal: exit status $status, not $expected: $(tail -3 "$work/report.txt")")
    sleep 0.3
    left=$(pgrep -f "$work/tmp/")
    [[ -z $left ]] || { problems+=("SIG$signal: processes left: $left"); kill -9 $left; }
    [[ -z $(ls -A "$work/tmp") ]] || problems+=("SIG$signal: left behind: $(ls -A "$work/tmp")")
    # The runs the interruption ended are not the program's own: nothing of them is kept.
    [[ -z $(ls -A "$work/cache/exercise-check/results" 2>/dev/null) ]] ||
        problems+=("SIG$signal: the interrupted check kept results")
done
if ((${#problems[@]} > 0)); then
    printf 'NOT CLEANED UP: %s\n' "${problems[@]}"
    exit 1
fi
echo "an interrupted check ended its runs and left nothing behind"
