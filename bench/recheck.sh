#!/usr/bin/env bash
# Re-check benchmark: what the store of kept builds and results saves, side by side in one run, on
# a class of PEOPLE made from this project's own sources as bench/class.sh makes it (each person's
# copy changed by a comment so the bytes differ, a few exact copies, some in the three folders,
# some in .zip archives):
#   - a first check without the store (--no-cache) and with an empty one, twice each, alternated;
#   - the same class checked again unchanged, and with one person's one file changed, beside a
#     check of that one program alone;
#   - a learner's watch: from each of SAVES saves of a calculator's source (new bytes each time)
#     to its verdict on the watch's output;
#   - the store's size for the class.
#
#   bench/recheck.sh [PEOPLE] [SAVES]      (default 30 and 10)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
people=${1:-30}
saves=${2:-10}

cmake --preset default >/dev/null
cmake --build build/default --target exercise-check >/dev/null
check=$PWD/build/default/exercise-check/exercise-check

out=$PWD/build/bench/recheck
rm -rf "$out"
mkdir -p "$out/class" "$out/staging" "$out/faults"
bash bench/make-class.sh "$out" "$people"

# Every check shares one folder of the typical faults' builds, so that only the store differs.
options=(--fault-cache "$out/faults")
command -v bwrap >/dev/null || options+=(--no-sandbox)

# Seconds a check of the class takes, with the store in $1 (its parent is XDG_CACHE_HOME), and
# the processor seconds it and its processes took (in $out/cpu), which a machine busy with other
# work changes less than the wall time.
timed_class() {
    local cache=$1
    shift
    local start
    start=$(date +%s.%N)
    XDG_CACHE_HOME=$cache /usr/bin/time -f '%U %S' -o "$out/time" "$check" "${options[@]}" "$@" \
        --class "$out/class" --json "$out/last.json" >"$out/last.txt" 2>&1 || {
        echo "exercise-check --class $* failed; see $out/last.txt" >&2
        exit 1
    }
    echo "$(date +%s.%N) - $start" | bc
    echo "$(tail -1 "$out/time" | tr ' ' '+')" | bc >>"$out/cpu"
}
from_store() { sed -n 's/^  "from_store": \([0-9]*\).*/\1/p' "$out/last.json"; }

# A first check, without the store and with an empty one, alternated twice.
no_cache=() first=()
for round in 1 2; do
    no_cache+=("$(timed_class "$out/cache-none" --no-cache)")
    rm -rf "$out/cache-$round"
    first+=("$(timed_class "$out/cache-$round")")
done
mapfile -t cpu <"$out/cpu" # no cache, store, no cache, store
store="$out/cache-2/exercise-check"
store_bytes=$(du -sb "$store" | cut -f1)
store_entries="$(find "$store/builds" -type f | wc -l) builds, $(find "$store/results" -type f | wc -l) results"

again=$(timed_class "$out/cache-2")
again_taken=$(from_store)

# One person's one file changed: that program is built and run again, and only that one.
changed="$out/class/Person 2/circle.cpp"
printf '// changed after the first check\n' >>"$changed"
one_changed=$(timed_class "$out/cache-2")
one_changed_taken=$(from_store)
mkdir -p "$out/alone"
cp "$changed" "$out/alone/"
start=$(date +%s.%N)
XDG_CACHE_HOME=$out/cache-none "$check" "${options[@]}" --no-cache "$out/alone" >/dev/null 2>&1 || true
alone=$(echo "$(date +%s.%N) - $start" | bc)

# The watch: a person's folder, checked once; then each save of circle.cpp with bytes of its own
# (a comment), from the moment before the save to the line that gives its verdict.
watched="$out/watched"
mkdir -p "$watched"
cp digit-exercises/*.cpp calculators/*.cpp greeting-programs/*.cpp "$watched/"
XDG_CACHE_HOME=$out/cache-2 "$check" "${options[@]}" --watch "$watched" >"$out/watch.txt" 2>&1 &
watcher=$!
trap 'kill -INT $watcher 2>/dev/null || true' EXIT
for _ in $(seq 1200); do grep -q '^watching ' "$out/watch.txt" && break; sleep 0.05; done
latencies=()
for (( n = 1; n <= saves; n++ )); do
    before=$(date +%s.%N)
    { cat calculators/circle.cpp; printf '// save %d\n' "$n"; } >"$watched/circle.cpp"
    until (( $(grep -c ' saved: checked in ' "$out/watch.txt") >= n )) &&
        (( $(grep -c ' absent$' "$out/watch.txt") >= n + 1 )); do
        sleep 0.005
    done
    latencies+=("$(echo "$(date +%s.%N) - $before" | bc)")
done
kill -INT $watcher
wait $watcher || true
trap - EXIT

mean() { echo "($1 + $2) / 2" | bc -l; }
no_cache_mean=$(mean "${no_cache[@]}")
first_mean=$(mean "${first[@]}")
first_mean_fmt=$(printf '%.2f' "$first_mean")
sorted=$(printf '%s\n' "${latencies[@]}" | sort -n)
echo "$(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores ($(sed -n 's/^model name\s*: //p' /proc/cpuinfo | head -1)), load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "$people people x 9 programs; exercise-check built as build/default (Debug)"
printf '%-58s %8s\n' "what" "seconds"
printf '%-58s %8.2f %8.2f\n' "first check, --no-cache (twice)" "${no_cache[@]}"
printf '%-58s %8.2f %8.2f\n' "first check, empty store (twice)" "${first[@]}"
printf '%-58s %8.1f %%\n' "first check with the store against --no-cache (means)" \
    "$(echo "100 * ($first_mean - $no_cache_mean) / $no_cache_mean" | bc -l)"
printf '%-58s %8.2f %8.2f\n' "  processor seconds, --no-cache" "${cpu[0]}" "${cpu[2]}"
printf '%-58s %8.2f %8.2f\n' "  processor seconds, empty store" "${cpu[1]}" "${cpu[3]}"
printf '%-58s %8.1f %%\n' "  processor seconds, store against --no-cache (sums)" \
    "$(echo "100 * (${cpu[1]} + ${cpu[3]} - ${cpu[0]} - ${cpu[2]}) / (${cpu[0]} + ${cpu[2]})" | bc -l)"
printf '%-58s %8.2f  (%s programs from the store)\n' "re-check, unchanged" "$again" "$again_taken"
printf '%-58s %8.1f %%\n' "re-check, unchanged, of the first check's time" \
    "$(echo "100 * $again / $first_mean" | bc -l)"
printf '%-58s %8.2f  (%s programs from the store)\n' "re-check, one person's one file changed" \
    "$one_changed" "$one_changed_taken"
printf '%-58s %8.2f\n' "that one program checked alone, --no-cache" "$alone"
printf '%-58s %8.2f\n' "  changed re-check less unchanged re-check" \
    "$(echo "$one_changed - $again" | bc -l)"
printf '%-58s %s\n' "watch: save to verdict, $saves saves of circle.cpp" "$(echo $sorted | tr '\n' ' ')"
printf '%-58s %8.2f %8.2f\n' "watch: median, slowest" \
    "$(echo "$sorted" | sed -n "$(( (saves + 1) / 2 ))p")" "$(echo "$sorted" | tail -1)"
printf '%-58s %8.1f MiB  (%s)\n' "the store after the first check (first: $first_mean_fmt s)" \
    "$(echo "$store_bytes / 1048576" | bc -l)" "$store_entries"
