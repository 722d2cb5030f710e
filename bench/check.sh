#!/usr/bin/env bash
# Times exercise-check on one person's nine programs (this project's own sources) against the
# floor it cannot beat: compiling the nine sources one after another with the same options. Each
# is run ROUNDS times, interleaved, and the medians are printed side by side, with the check in
# the sandbox and without it.
#
#   bench/check.sh [ROUNDS]      (default 5)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
rounds=${1:-5}

cmake --preset default >/dev/null
cmake --build --preset default --target exercise-check >/dev/null
check=build/default/exercise-check/exercise-check
person=$(mktemp -d)
trap 'rm -rf "$person"' EXIT
cp digit-exercises/*.cpp calculators/*.cpp greeting-programs/*.cpp "$person"
flags=(-std=c++17 -Wall -Wextra -Wpedantic -Wshadow -Wconversion)

seconds() { # <command...>: wall seconds of one run
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1 || true
    end=$(date +%s.%N)
    awk -v a="$start" -v b="$end" 'BEGIN { print b - a }'
}
compile_nine() {
    for source in "$person"/*.cpp; do
        c++ "${flags[@]}" "$source" -o "$person/a.out"
    done
}
median() { sort -n | awk '{ all[NR] = $1 } END { print all[int((NR + 1) / 2)] }'; }

declare -a serial sandboxed unprotected
for ((round = 0; round < rounds; round++)); do
    serial+=("$(seconds compile_nine)")
    sandboxed+=("$(seconds "$check" "$person")")
    unprotected+=("$(seconds "$check" --no-sandbox "$person")")
done
s=$(printf '%s\n' "${serial[@]}" | median)
b=$(printf '%s\n' "${sandboxed[@]}" | median)
u=$(printf '%s\n' "${unprotected[@]}" | median)
echo "$(date -u +%Y-%m-%d), $(nproc) cores, $rounds rounds, medians:"
printf '  compiling the nine sources one after another  %6.2f s\n' "$s"
printf '  exercise-check, sandboxed                     %6.2f s  (%.2f x the compile)\n' "$b" "$(awk -v a="$b" -v b="$s" 'BEGIN { print a / b }')"
printf '  exercise-check --no-sandbox                   %6.2f s  (%.2f x the compile)\n' "$u" "$(awk -v a="$u" -v b="$s" 'BEGIN { print a / b }')"
printf '  the sandbox costs                             %6.1f %% of the check\n' "$(awk -v a="$b" -v b="$u" 'BEGIN { print (a - b) * 100 / a }')"
