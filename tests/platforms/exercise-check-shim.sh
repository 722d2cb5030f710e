#!/usr/bin/env bash
# Stands in for exercise-check with the platform options it is to gain (--gradescope, --classroom,
# --vpl, --programs, --shard, --worksheet/--worksheet-out, --sandbox auto, source_sha256 in the
# JSON, and the merge command): runs the checker as built with --json, then platform-step on the
# report. The platforms' scripts run through it, exactly as they will run the checker itself.
# source_sha256 is taken from the source files named in the report, so a source inside a .zip
# hand-in has none here.
#
#   REAL_CHECK=<exercise-check> PLATFORM_STEP=<platform-step> [SHIM_OPTIONS=--no-sandbox] \
#       exercise-check-shim.sh ARGS...
set -euo pipefail

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if [ "${1:-}" = --list-cases ]; then
    exec "$REAL_CHECK" "$@"
fi
if [ "${1:-}" = merge ]; then
    shift
    reports=() json="" csv=""
    while [ $# -gt 0 ]; do
        case $1 in
        --json) json=$2; shift 2 ;;
        --csv) csv=$2; shift 2 ;;
        *) reports+=("$1"); shift ;;
        esac
    done
    "$PLATFORM_STEP" merge "${json:-$work/merged.json}" "${csv:-$work/merged.csv}" "${reports[@]}"
    exit 0
fi

args=() gradescope="" classroom="" vpl="" programs="" shard="" class="" json="" worksheet=""
worksheet_out=""
while [ $# -gt 0 ]; do
    case $1 in
    --gradescope) gradescope=$2; shift 2 ;;
    --classroom) classroom=$2; shift 2 ;;
    --vpl) vpl=$2; shift 2 ;;
    --programs) programs=$2; shift 2 ;;
    --shard) shard=$2; shift 2 ;;
    --class) class=$2; shift 2 ;;
    --json) json=$2; shift 2 ;;
    --worksheet) worksheet=$2; shift 2 ;;
    --worksheet-out) worksheet_out=$2; shift 2 ;;
    --sandbox) shift 2 ;; # auto: the sandbox the checker as built has
    *) args+=("$1"); shift ;;
    esac
done
read -r -a options <<< "${SHIM_OPTIONS:-}"
[ -n "$gradescope" ] && args+=("$gradescope/submission")

if [ -n "$class" ] && [ -n "$shard" ]; then
    # The class's people in this shard only, named as before.
    mkdir "$work/class"
    for entry in "$class"/*; do
        name=$(basename "$entry")
        if [ -n "$("$PLATFORM_STEP" shard "$shard" "${name%.zip}")" ]; then
            cp -a "$entry" "$work/class/"
        fi
    done
    args+=(--class "$work/class")
elif [ -n "$class" ]; then
    args+=(--class "$class")
fi

started=$(date +%s)
status=0
if [ -n "$vpl" ]; then
    "$REAL_CHECK" "${options[@]}" --json "$work/report.json" "${args[@]}" > /dev/null 2>&1 || status=$?
else
    "$REAL_CHECK" "${options[@]}" --json "$work/report.json" "${args[@]}" || status=$?
fi
[ "$status" -le 1 ] || exit "$status"
seconds=$(($(date +%s) - started))

report=$work/report.json
if [ -n "$programs" ]; then
    "$PLATFORM_STEP" programs "$report" "$work/programs.json" "$programs"
    report=$work/programs.json
fi
"$PLATFORM_STEP" digest "$report" "$work/digested.json"
report=$work/digested.json
[ -z "$json" ] || cp "$report" "$json"
if [ -n "$gradescope" ]; then
    mkdir -p "$gradescope/results"
    "$PLATFORM_STEP" gradescope "$report" "$gradescope/results/results.json" "$seconds"
    exit 0 # graded, whatever the programs earned
fi
[ -z "$classroom" ] || "$PLATFORM_STEP" classroom "$report" "$classroom"
if [ -n "$vpl" ]; then
    "$PLATFORM_STEP" vpl "$report" "${vpl%%:*}" "${vpl#*:}"
    exit 0
fi
[ -z "$worksheet" ] || "$PLATFORM_STEP" worksheet "$report" "$worksheet" "$worksheet_out"
exit "$status"
