#!/usr/bin/env bash
# What one looping program costs a class: a class of PEOPLE made as bench/class.sh makes it,
# checked beside the same class in which one person's echonumber reads in a loop that never ends
# once its input does (`while (broj == 0) std::cin >> broj;`). Each class is checked ROUNDS times,
# in turn, with nothing kept from one check to the next (--no-cache), the typical faults' builds
# made before the first; it prints each check's seconds, the medians and their ratio.
#
#   bench/looping-class.sh [PEOPLE] [ROUNDS]      (default 25 and 2)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
people=${1:-25}
rounds=${2:-2}

cmake --preset default >/dev/null
cmake --build build/default --target exercise-check >/dev/null
check=$PWD/build/default/exercise-check/exercise-check

out=$PWD/build/bench/looping-class
rm -rf "$out"
mkdir -p "$out/plain" "$out/looping" "$out/faults"
bash bench/make-class.sh "$out/plain" "$people"
cp -r "$out/plain/." "$out/looping/"
# The looping person is one whose sources lie as loose files in the class folder.
looping=$(find "$out/looping/class" -name echonumber.cpp -path '*Person 2/*' | head -1)
cat >"$looping" <<'PROGRAM'
#include <iostream>
using namespace std;

int main()
{
    int broj = 0;
    cout << "Molim, unesite broj: ";
    while (broj == 0)
        cin >> broj;
    cout << "Uneseni broj: " << broj << endl;
    return 0;
}
PROGRAM

options=(--no-cache --fault-cache "$out/faults")
command -v bwrap >/dev/null || options+=(--no-sandbox)

# The typical faults' builds for a looping echonumber, made once, so that no round pays for them.
"$check" "${options[@]}" --json "$out/looping.json" "$(dirname "$looping")" >/dev/null 2>&1 || true

timed() { # <kind>: checks that class, prints its seconds
    local start status=0
    start=$(date +%s.%N)
    "$check" "${options[@]}" --class "$out/$1/class" --json "$out/$1.json" \
        >"$out/$1.txt" 2>"$out/$1.err" || status=$?
    if (( status > 1 )); then
        echo "exercise-check --class exited with $status on the $1 class; see $out/$1.err" >&2
        exit 1
    fi
    echo "$(date +%s.%N) - $start" | bc
}

plain=() looped=()
for (( round = 1; round <= rounds; round++ )); do
    plain+=("$(timed plain)")
    looped+=("$(timed looping)")
done

median() { printf '%s\n' "$@" | sort -n | awk '{ a[NR] = $1 } END { print (a[int((NR + 1) / 2)] + a[int(NR / 2) + 1]) / 2 }'; }
plain_median=$(median "${plain[@]}")
looped_median=$(median "${looped[@]}")
echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$people people x 9 programs; exercise-check built as build/default (Debug)"
printf '%-44s %s\n' "the class, seconds" "${plain[*]}"
printf '%-44s %s\n' "one echonumber looping, seconds" "${looped[*]}"
printf '%-44s %8.1f %8.1f\n' "medians" "$plain_median" "$looped_median"
printf '%-44s %8.2f\n' "ratio (looping / plain)" "$(echo "$looped_median / $plain_median" | bc -l)"
grep -h 'echonumber' "$out/looping.txt" | head -3 || true
