#!/usr/bin/env bash
# Class benchmark: times exercise-check --class on a class of PEOPLE made from this project's own
# sources (each person's copy changed by a comment so the bytes differ, a few exact copies, some
# in the three folders, some in .zip archives), against a floor: compiling every distinct source
# once, two at a time, with the options the check uses.
#
#   bench/class.sh [PEOPLE]      (default 30)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
people=${1:-30}

cmake --preset default >/dev/null
cmake --build --preset default >/dev/null
check=build/default/exercise-check/exercise-check
cxx=$(sed -n 's/^CMAKE_CXX_COMPILER:[A-Z]*=//p' build/default/CMakeCache.txt)

out=build/bench/class
rm -rf "$out"
mkdir -p "$out/class" "$out/staging" "$out/floor"
bash bench/make-class.sh "$out" "$people"

options=()
command -v bwrap >/dev/null || options+=(--no-sandbox)

start=$(date +%s.%N)
status=0
"$check" "${options[@]}" --class "$out/class" --csv "$out/class.csv" >"$out/gradebook.txt" ||
    status=$?
check_seconds=$(echo "$(date +%s.%N) - $start" | bc)
if (( status != 0 )); then
    echo "exercise-check --class exited with $status; see $out/gradebook.txt" >&2
    exit 1
fi

# The floor: every distinct source compiled once, two at a time.
find "$out/class" "$out/staging" -name '*.cpp' -print0 | xargs -0 sha256sum |
    sort -u -k1,1 | cut -d' ' -f3- >"$out/distinct.txt"
distinct=$(wc -l <"$out/distinct.txt")
start=$(date +%s.%N)
n=0
while IFS= read -r source; do
    n=$(( n + 1 ))
    printf '%s\0%s\0' "$source" "$out/floor/$n"
done <"$out/distinct.txt" |
    xargs -0 -n 2 -P 2 sh -c '"$0" -std=c++17 -Wall -Wextra -Wpedantic -Wshadow -Wconversion \
        "$1" -o "$2"' "$cxx"
floor_seconds=$(echo "$(date +%s.%N) - $start" | bc)

echo "$(date -u +%Y-%m-%d), $(nproc) cores, $people people x 9 programs, $distinct distinct sources"
printf '%-48s %8s\n' "what" "seconds"
printf '%-48s %8.1f\n' "exercise-check --class" "$check_seconds"
printf '%-48s %8.1f\n' "floor: each distinct source compiled, 2 at once" "$floor_seconds"
printf '%-48s %8.2f\n' "ratio" "$(echo "$check_seconds / $floor_seconds" | bc -l)"
