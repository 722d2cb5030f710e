#!/usr/bin/env bash
# Gradescope: installs exercise-check once, when the autograder's image is made, from the release
# package that the autograder zip holds beside this file (see docs/gradescope.md). Gradescope
# unpacks the zip into /autograder/source. The package's checker is linked statically: it needs
# only g++, which apt-get installs with it.
set -euo pipefail

apt-get update
apt-get install -y --no-install-recommends /autograder/source/exercise-check_*_amd64.deb
exercise-check --list-cases > /dev/null
