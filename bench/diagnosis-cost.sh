#!/bin/sh
# What a diagnosis costs: the CPU time (user + system, of the checker and everything it starts)
# of checking one person's folder, as the median of several checks. CPU time rather than wall
# time, since the machine may be shared: other work stretches the wall time, not the CPU time.
#
#   bench/diagnosis-cost.sh <exercise-check> <folder> [checks] [options...]
#
# Run it once with a checker that diagnoses and once with one that does not (or on a folder
# whose programs are right) and compare. The kept builds of the variants are used as a class's
# second check would use them; remove $XDG_CACHE_HOME/exercise-check/faults for the first.
set -eu
check=$1
folder=$2
checks=${3:-5}
shift 2
[ $# -gt 0 ] && shift
times=$(mktemp)
trap 'rm -f "$times"' EXIT
i=0
while [ "$i" -lt "$checks" ]; do
    /usr/bin/time -f "%U %S" -a -o "$times" "$check" "$@" "$folder" >/dev/null 2>&1 || true
    i=$((i + 1))
done
awk '{ print $1 + $2 }' "$times" | sort -n | awk '
    { cpu[NR] = $1 }
    END { printf "median CPU time %.2f s of %d checks (%.2f to %.2f s)\n",
          cpu[int((NR + 1) / 2)], NR, cpu[1], cpu[NR] }'
