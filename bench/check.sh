#!/usr/bin/env bash
# Times exercise-check on one person's nine programs (this project's own sources) against the
# floor it cannot beat: compiling the nine sources one after another with the same options. Each
# is run ROUNDS times, interleaved, and the medians are printed side by side, with the check in
# each sandbox (bubblewrap, and Landlock with seccomp) and without one.
#
#   bench/check.sh [ROUNDS]      (default 5)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
rounds=${1:-5}

cmake --preset default >/dev/null
cmake --build --preset default --target exercise-check >/dev/null
# Each check from nothing: no build or result kept by the one before.
check=(build/default/exercise-check/exercise-check --no-cache)
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

declare -a serial sandboxed landlocked unprotected
for ((round = 0; round < rounds; round++)); do
    serial+=("$(seconds compile_nine)")
    sandboxed+=("$(seconds "${check[@]}" --sandbox bubblewrap "$person")")
    landlocked+=("$(seconds "${check[@]}" --sandbox landlock "$person")")
    unprotected+=("$(seconds "${check[@]}" --sandbox none "$person")")
done
s=$(printf '%s\n' "${serial[@]}" | median)
b=$(printf '%s\n' "${sandboxed[@]}" | median)
l=$(printf '%s\n' "${landlocked[@]}" | median)
u=$(printf '%s\n' "${unprotected[@]}" | median)
echo "$(date -u +%Y-%m-%d), $(nproc) cores, $rounds rounds, medians:"
printf '  compiling the nine sources one after another  %6.2f s\n' "$s"
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { print a / b }'; }
printf '  exercise-check --sandbox bubblewrap           %6.2f s  (%.2f x the compile)\n' "$b" "$(ratio "$b" "$s")"
printf '  exercise-check --sandbox landlock             %6.2f s  (%.2f x the compile)\n' "$l" "$(ratio "$l" "$s")"
printf '  exercise-check --sandbox none                 %6.2f s  (%.2f x the compile)\n' "$u" "$(ratio "$u" "$s")"
printf '  bubblewrap costs                              %6.1f %% of the check\n' "$(awk -v a="$b" -v b="$u" 'BEGIN { print (a - b) * 100 / a }')"
printf '  landlock costs                                %6.1f %% of the check\n' "$(awk -v a="$l" -v b="$u" 'BEGIN { print (a - b) * 100 / a }')"
