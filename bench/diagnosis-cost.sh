#!/bin/sh
# What a diagnosis costs, side by side: one person's folder checked in turn without the diagnosis
# (--no-diagnosis), with it and the variants' builds kept from an earlier check, and with it and
# no kept builds (a fault cache of its own, emptied before each check); nothing is taken from the
# store of kept results (--no-cache), which would otherwise answer every check but the first.
# Each kind runs once per round, the kinds in turn, so that the machine's other work falls on all
# three alike; each
# prints the median and range of its wall time and of its CPU time (user + system, of the checker
# and everything it starts), and the ratio of its median wall time to the check without.
#
#   bench/diagnosis-cost.sh <exercise-check> <folder> [rounds] [options...]
#
# Give --no-sandbox among the options to count the CPU time of the programs too: what runs in
# the sandbox is not the checker's child to the end, so its CPU time is not counted.
#
# Measured on 2026-12-09, on a shared machine of 2 cores (AMD EPYC, load 7 to 13 from other
# work), in the bubblewrap sandbox, three rounds, a person with one wrong calculator
# (tests/diagnosis/beginners/int-division/averageheight.cpp: 25 of 30 cases fail), medians of
# wall time:
#   every variant run on every failed case:   without 5.01 s, kept 9.49 s (1.9 times),
#                                              none kept 29.09 s (5.8 times)
#   variants first on each way a case fails:  without 2.58 s, kept 3.43 s (1.3 times),
#                                              none kept 14.46 s (5.6 times)
# The CPU time counted is the checker's own (the sandboxed builds and runs are not its
# children to the end): 0.58, 1.35, 1.54 s before; 0.62, 0.97, 1.10 s after.
# Again at 23:19 UTC, with the variants' builds sharing precompiled headers and the random
# inputs run in two parts at once, on the quiet machine (load about 2), five rounds: without
# 0.94 s, kept 1.37 s (1.5 times), none kept 3.74 s (4.0 times).
set -eu
check=$1
folder=$2
rounds=${3:-5}
shift 2
[ $# -gt 0 ] && shift
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
warm="$scratch/warm"
cold="$scratch/cold"
"$check" --no-cache --fault-cache "$warm" "$@" "$folder" >/dev/null 2>&1 || true # to keep
i=0
while [ "$i" -lt "$rounds" ]; do
    /usr/bin/time -f "without %e %U %S" -a -o "$scratch/times" \
        "$check" --no-cache --no-diagnosis "$@" "$folder" >/dev/null 2>&1 || true
    /usr/bin/time -f "kept %e %U %S" -a -o "$scratch/times" \
        "$check" --no-cache --fault-cache "$warm" "$@" "$folder" >/dev/null 2>&1 || true
    rm -rf "$cold"
    /usr/bin/time -f "none-kept %e %U %S" -a -o "$scratch/times" \
        "$check" --no-cache --fault-cache "$cold" "$@" "$folder" >/dev/null 2>&1 || true
    i=$((i + 1))
done
median() { sort -n | awk '{ all[NR] = $1 } END { print all[int((NR + 1) / 2)], all[1], all[NR] }'; }
base=$(awk '$1 == "without" { print $2 }' "$scratch/times" | median | cut -d' ' -f1)
for kind in without kept none-kept; do
    set -- $(awk -v kind="$kind" '$1 == kind { print $2 }' "$scratch/times" | median)
    wall="$1 s ($2 to $3)"
    ratio=$(awk -v a="$1" -v b="$base" 'BEGIN { printf "%.1f", a / b }')
    set -- $(awk -v kind="$kind" '$1 == kind { print $3 + $4 }' "$scratch/times" | median)
    printf '%-28s wall %-22s %4s times without   CPU %s s (%s to %s)\n' \
        "diagnosis, $kind:" "$wall" "$ratio" "$1" "$2" "$3"
done | sed 's/^diagnosis, without:/without the diagnosis:/'
