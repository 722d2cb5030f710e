#!/usr/bin/env bash
# A plain GitHub Actions step that grades the learner's repository: annotations on the sources
# that fail (shown on the pull request and the commit), the points and a table of the programs in
# the job's summary, and the step failed when a program earns no point. It needs nothing but
# exercise-check, installed from its package.
#
#   check-step.sh [FOLDER]      FOLDER defaults to the repository checked out, `.`
#
# Exit status: 0 when every program handed in passes, 1 when one fails, 2 when the repository
# could not be graded. GitHub's Ubuntu 24.04 runners forbid unprivileged user namespaces through
# AppArmor, so bubblewrap cannot start there; --sandbox auto takes the Landlock sandbox instead.
set -uo pipefail

# The programs of this assignment, such as PROGRAMS="twodigits,circle"; empty grades all nine.
PROGRAMS="${PROGRAMS:-}"
check="${EXERCISE_CHECK:-exercise-check}"
summary="${GITHUB_STEP_SUMMARY:-/dev/null}"

options=(--sandbox auto --github-actions "$summary")
[ -z "$PROGRAMS" ] || options+=(--programs "$PROGRAMS")
exec "$check" "${options[@]}" "${1:-.}"
