#!/usr/bin/env bash
# Makes the zip to upload as a Gradescope autograder: setup.sh and run_autograder at its root, and
# the release package, exercise-check_<version>_amd64.deb, which setup.sh installs. Make the
# package first: cmake --preset release && cmake --build --preset release --target package.
#
#   platforms/gradescope/make-autograder.sh [autograder.zip] [package.deb]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
project=$(cd "$here/../.." && pwd)
zip_file=$(realpath -m "${1:-autograder.zip}")
package=${2:-$(ls "$project"/build/release/exercise-check_*_amd64.deb 2>/dev/null | tail -1)}
if [ ! -f "$package" ]; then
    echo "no package: make it with cmake --preset release &&" \
        "cmake --build --preset release --target package, or name it" >&2
    exit 2
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cp "$here/setup.sh" "$here/run_autograder" "$package" "$work/"
rm -f "$zip_file"
(cd "$work" && cmake -E tar cf "$zip_file" --format=zip setup.sh run_autograder \
    "$(basename "$package")")
echo "$zip_file"
