#!/usr/bin/env bash
# Runs a command as a course platform's container would: as an ordinary user (nobody, where this
# runs as root), in a user namespace of its own in which no other can be made (as Docker's default
# seccomp profile, Ubuntu's AppArmor rules and Kubernetes pods refuse them), seeing the machine's
# files as they are. The folder is made the user's, and is its home.
#
#   in-a-container.sh <folder> <command> [arguments]
set -euo pipefail
folder=$1
shift
mkdir -p "$folder"
container=(bwrap --unshare-user --disable-userns --dev-bind / / --die-with-parent --)
if [[ $(id -u) == 0 ]]; then
    chown -R 65534:65534 "$folder"
    exec setpriv --reuid=65534 --regid=65534 --clear-groups env HOME="$folder" TMPDIR="$folder" \
        "${container[@]}" "$@"
fi
HOME=$folder TMPDIR=$folder exec "${container[@]}" "$@"
