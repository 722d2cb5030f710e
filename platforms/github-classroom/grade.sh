#!/usr/bin/env bash
# GitHub Classroom: checks the learner's repository and hands the result to the grading reporter.
# Run by classroom.yml from the checker's source; writes `result` (GitHub Classroom's result, in
# base64 as the reporter decodes it) to the step's outputs and "Points X/Y" to the job's summary.
#
#   grade.sh [FOLDER]      FOLDER defaults to the repository checked out, `.`
#
# Exits with 0 whenever the repository was graded: the reporter marks the run failed when a
# program fails. GitHub's Ubuntu 24.04 runners forbid unprivileged user namespaces through
# AppArmor, so bubblewrap cannot start there; --sandbox auto takes the Landlock sandbox instead.
set -uo pipefail

# The programs of this assignment, such as PROGRAMS="twodigits,circle"; empty grades all nine.
PROGRAMS="${PROGRAMS:-}"
check="${EXERCISE_CHECK:-exercise-check}"
result="${RUNNER_TEMP:-/tmp}/classroom-result.json"

options=(--sandbox auto --classroom "$result")
[ -z "$PROGRAMS" ] || options+=(--programs "$PROGRAMS")
"$check" "${options[@]}" "${1:-.}"
status=$?
if [ "$status" -ge 2 ] || [ ! -s "$result" ]; then
    echo "exercise-check could not grade the repository (status $status)" >&2
    exit 2
fi
echo "result=$(base64 -w 0 "$result")" >> "${GITHUB_OUTPUT:-/dev/stdout}"
# As the reporter adds them up: the tests' scores out of max_score.
jq -r '"Points \([.tests[].score] | add // 0)/\(.max_score)"' "$result" \
    >> "${GITHUB_STEP_SUMMARY:-/dev/stdout}"
exit 0
