#!/usr/bin/env bash
# Checks this project's own sources inside a stand-in for a container that refuses user
# namespaces (see in-a-container.sh), with the default options: every program must be correct,
# and the checker must have taken the Landlock sandbox by itself and said so.
#
#   check-own-sources-in-a-container.sh <exercise-check> <project folder> <work folder>
set -uo pipefail
check=$1 project=$2 work=$3
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
rm -rf "$work" && mkdir -p "$work/own" || exit 1
cp "$project"/digit-exercises/*.cpp "$project"/calculators/*.cpp \
   "$project"/greeting-programs/*.cpp "$work/own/" || exit 1
"$here/in-a-container.sh" "$work" "$check" --strict "$work/own" >"$work/report.txt" 2>&1
status=$?
cat "$work/report.txt"
[[ $status == 0 ]] || { echo "exit status $status, not 0"; exit 1; }
grep -q '^ran in the landlock sandbox' "$work/report.txt" ||
    { echo "the report does not say that the Landlock sandbox was taken"; exit 1; }
# The folder is the checker's home: the store of kept builds and results stays in its .cache.
[[ -z $(ls -A "$work" | grep -v -e '^own$' -e '^report.txt$' -e '^\.cache$') ]] ||
    { echo "files left behind: $(ls -A "$work")"; exit 1; }
