#!/bin/bash
# Moodle VPL: grades a submission of the console exercises with exercise-check. Paste this file
# into the activity's execution files as vpl_evaluate.sh. It writes vpl_execution, which VPL runs
# next: it checks the submitted files and prints VPL's comments (one title per program, its
# verdict, and under it the first failing case or the compiler's messages, preformatted) and last
# the line "Grade :=>> G", the points scaled to the activity's grade range.
#
# exercise-check must be installed on the jail server (see docs/moodle-vpl.md).

# The programs of this activity, such as PROGRAMS="twodigits,circle"; empty grades all the
# programs of the exercises. The grade counts each of them, handed in or not.
PROGRAMS=""
# The checker, where it is not on the PATH.
EXERCISE_CHECK="${EXERCISE_CHECK:-exercise-check}"

# VPL gives the submission's file names and the grade range in vpl_environment.sh.
if [ -f vpl_environment.sh ]; then
    . ./vpl_environment.sh
fi

# Only the names of programs count: a submitted file name is never taken as anything else.
problem=""
if ! cases=$("$EXERCISE_CHECK" --list-cases 2>&1); then
    problem="cannot run $EXERCISE_CHECK: ${cases:0:500}"
else
    known=" $(printf '%s\n' "$cases" | cut -f1 | cut -d. -f2 | sort -u | tr '\n' ' ') "
    set -f
    for file in $VPL_SUBFILES; do
        case $file in
        *[!a-z0-9-]*.cpp | */*) continue ;;
        *.cpp) program=${file%.cpp} ;;
        *) continue ;;
        esac
        case $known in
        *" $program "*) submitted="${submitted:+$submitted,}$program" ;;
        esac
    done
    set +f
fi

{
    echo '#!/bin/bash'
    printf 'check=%q\n' "$EXERCISE_CHECK"
    printf 'programs=%q\n' "$PROGRAMS"
    printf 'submitted=%q\n' "${submitted:-}"
    printf 'low=%q\n' "${VPL_GRADEMIN:-0}"
    printf 'high=%q\n' "${VPL_GRADEMAX:-10}"
    printf 'problem=%q\n' "$problem"
    cat <<'SCRIPT'
if [ -n "$problem" ]; then
    printf '<|--\n-The submission could not be graded\n'
    printf '%s\n' "$problem" | sed 's/^/> /'
    printf -- '--|>\n'
    exit 0
fi
if [ -z "$submitted" ]; then
    echo "Comment :=>> No program of the exercises was submitted: name each file as its program, such as twodigits.cpp."
    echo "Grade :=>> $low"
    exit 0
fi
# A VPL jail gives no user namespaces, so bubblewrap cannot start there; --sandbox auto takes the
# Landlock sandbox instead.
evaluation=$(mktemp)
errors=$(mktemp)
"$check" --sandbox auto ${programs:+--programs "$programs"} --vpl "$low:$high" . \
    > "$evaluation" 2> "$errors"
status=$?
if grep -q '^Grade :=>>' "$evaluation"; then
    cat "$evaluation"
else
    # Could not grade: no grade is proposed, and the reason is shown as preformatted text, so that
    # no line of it passes for a comment or a grade.
    echo "<|--"
    echo "-The submission could not be graded (exercise-check exited with $status)"
    sed 's/^/> /' "$errors"
    echo "--|>"
fi
rm -f "$evaluation" "$errors"
exit 0
SCRIPT
} > vpl_execution
chmod +x vpl_execution
