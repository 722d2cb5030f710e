#!/usr/bin/env bash
# Start-up benchmark: times every program from the release (static) and the default (dynamic)
# build against an empty, statically linked C program, and prints medians and ratios.
#
#   bench/run.sh [RUNS]      (default 500 rounds)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
runs=${1:-500}

for preset in release default; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" >/dev/null
done

out=build/bench
mkdir -p "$out"
cc -O2 -static -o "$out/empty" bench/empty.c
cc -O2 -Wall -Wextra -o "$out/startup" bench/startup.c

programs=(twodigits threedigits reversetwo echonumber averageheight circle helloworld hellolines
          greetings)
paths=("$out/empty")
for program in "${programs[@]}"; do
    paths+=("build/release/$program")
done
for program in "${programs[@]}"; do
    paths+=("build/default/$program")
done

echo "$(date -u +%Y-%m-%d), $(nproc) cores, $runs rounds; ratios are to $out/empty"
"$out/startup" "$runs" "${paths[@]}"
