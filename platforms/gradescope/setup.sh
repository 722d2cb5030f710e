#!/usr/bin/env bash
# Gradescope: builds exercise-check once, when the autograder's image is made. The autograder zip
# holds this file and run_autograder at its root and the project's source in source/ (see
# docs/gradescope.md); Gradescope unpacks the zip into /autograder/source.
set -euo pipefail

apt-get install -y --no-install-recommends cmake ninja-build g++ pkg-config \
    libcli11-dev nlohmann-json3-dev libarchive-dev libseccomp-dev bubblewrap

source=/autograder/source/source
build=/autograder/build
cmake -S "$source" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCONSOLE_EXERCISES_TOOL_ONLY=ON
cmake --build "$build" --target exercise-check
cmake --install "$build"
exercise-check --list-cases > /dev/null
