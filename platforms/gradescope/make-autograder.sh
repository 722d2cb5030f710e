#!/usr/bin/env bash
# Makes the zip to upload as a Gradescope autograder: setup.sh and run_autograder at its root, the
# project's source (as committed) in source/.
#
#   platforms/gradescope/make-autograder.sh [autograder.zip]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
project=$(git -C "$here" rev-parse --show-toplevel)
zip_file=$(realpath -m "${1:-autograder.zip}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

mkdir "$work/source"
git -C "$project" archive HEAD | tar -x -C "$work/source"
cp "$here/setup.sh" "$here/run_autograder" "$work/"
rm -f "$zip_file"
(cd "$work" && cmake -E tar cf "$zip_file" --format=zip setup.sh run_autograder source)
echo "$zip_file"
