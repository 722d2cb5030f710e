#!/bin/sh
# What a diagnosis costs: the CPU time (user + system, of the checker and everything it starts)
# of checking one person's folder, as the median of several checks, and the wall time. CPU time
# is the steadier, since the machine may be shared: other work stretches the wall time, not the
# CPU time; the wall time shows what waiting costs (variants that wait for a key to the end).
# Give --no-sandbox among the options: what runs in the sandbox is not the checker's child to the
# end, so its CPU time is not counted.
#
#   bench/diagnosis-cost.sh <exercise-check> <folder> [checks] [options...]
#
# Run it once with a checker that diagnoses and once with one that does not (or on a folder
# whose programs are right) and compare. The kept builds of the variants are used as a class's
# second check would use them; remove $XDG_CACHE_HOME/exercise-check/faults for the first.
#
# Measured on 2026-12-09, on a shared machine of 2 cores (AMD EPYC), --no-sandbox, with the kept
# builds, six checks each, one of each kind in turn: a person with four wrong programs
# (averageheight, circle, helloworld, hellolines) took 3.62 to 4.37 s (median 3.97) with the
# diagnosis, and 3.04 to 4.10 s (median 3.78) with case data that has no faults: about 5 %. A
# person whose programs are all right builds and runs no variant. The first check with no kept
# builds took 27.6 s, building the variants of the four exercises.
#
# On 2026-12-09, the class of tests/diagnosis (this project's programs, the learner's and the
# typical versions: four variants that wait for a key), --no-sandbox --stress-runs 20, three
# checks each, two rounds in turn: with variants held for the whole 5 s of a person's program,
# medians of 17.05 and 15.83 s of wall time; ended after 2 s, 10.53 and 10.81 s, for the same
# CPU time (10 to 12.5 s). The check without its diagnosis took 6.0 s.
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
    /usr/bin/time -f "cpu %U %S %e" -a -o "$times" "$check" "$@" "$folder" >/dev/null 2>&1 || true
    i=$((i + 1))
done
median() { sort -n | awk '
    { all[NR] = $1 }
    END { printf "%.2f s of %d checks (%.2f to %.2f s)", all[int((NR + 1) / 2)], NR, all[1], all[NR] }'; }
printf 'median CPU time %s\n' "$(awk '$1 == "cpu" { print $2 + $3 }' "$times" | median)"
printf 'median wall time %s\n' "$(awk '$1 == "cpu" { print $4 }' "$times" | median)"
