#!/usr/bin/env bash
# The release package as the platforms install and run it: a clean Debian 12 made by debootstrap
# (Debian's packages only) with g++ alone installed, the .deb installed in it with dpkg and the
# .tar.gz unpacked under /opt, and there, as root, Gradescope's run_autograder, VPL's
# vpl_evaluate.sh and vpl_execution, and the GitHub Actions step (check-step.sh) each run from
# the package on a right and a wrong hand-in. bubblewrap is not installed in the chroot, so
# --sandbox auto takes the Landlock sandbox, as it does on the platforms, whose containers give
# no user namespaces (this machine's kernel is left as it is: it is shared). Prints each run's
# result and time, and the time of each stage.
#
#   bench/platforms-chroot.sh [CHROOT]      (as root; default /var/tmp/exercise-check-bookworm)
#
# The packages come from build/release (cmake --preset release && cmake --build --preset release
# --target package). A chroot made before is used again, with the packages installed afresh.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
project=$(pwd)
root=${1:-/var/tmp/exercise-check-bookworm}
deb=$(ls build/release/exercise-check_*_amd64.deb)
tarball=$(ls build/release/exercise-check-*-linux-*.tar.gz)

seconds() { date +%s.%N; }
since() { printf '%.1f' "$(echo "$(seconds) - $1" | bc)"; }

echo "date: $(date -u '+%Y-%m-%d %H:%M UTC'); machine: $(nproc) cores, $(uname -sr)"
if [ ! -x "$root/usr/bin/apt-get" ]; then
    start=$(seconds)
    debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >/dev/null
    echo "debootstrap: $(since "$start") s"
fi
if [ ! -x "$root/usr/bin/g++" ]; then
    start=$(seconds)
    chroot "$root" apt-get install -y -qq --no-install-recommends g++ >/dev/null 2>&1
    echo "apt-get install g++: $(since "$start") s"
fi
mount -t proc proc "$root/proc"
mount --bind /dev "$root/dev"
trap 'umount "$root/dev" "$root/proc"' EXIT

start=$(seconds)
chroot "$root" sh -c 'dpkg --purge exercise-check >/dev/null 2>&1; rm -rf /opt/exercise-check'
cp "$deb" "$tarball" "$root/tmp/"
chroot "$root" dpkg -i "/tmp/$(basename "$deb")" >/dev/null
mkdir -p "$root/opt/exercise-check"
tar -xzf "$tarball" -C "$root/opt/exercise-check"
echo "install: $(since "$start") s ($(basename "$deb") $(du -k "$deb" | cut -f1) KiB," \
    "$(basename "$tarball") $(du -k "$tarball" | cut -f1) KiB)"
if chroot "$root" sh -c 'command -v bwrap' >/dev/null; then
    echo "bubblewrap is installed in the chroot: it must not be" >&2
    exit 1
fi

# The hand-ins: right, this project's own twodigits and circle; wrong, circle with pi as 3.14
# and twodigits that does not compile.
hand_ins=$root/tmp/hand-ins
rm -rf "$hand_ins"
for kind in right wrong; do
    mkdir -p "$hand_ins/$kind"
    cp digit-exercises/twodigits.cpp calculators/circle.cpp "$hand_ins/$kind/"
done
sed -i 's/3\.14159[0-9]*/3.14/' "$hand_ins/wrong/circle.cpp"
sed -i 's/return/retrun/' "$hand_ins/wrong/twodigits.cpp"

# Runs a script in the chroot as root, in a mount namespace of its own.
in_chroot() {
    unshare --mount --fork chroot "$root" /bin/bash -c "$1" || true
}

printf '%-22s %-6s %-8s %s\n' platform hand-in seconds result
for kind in right wrong; do
    start=$(seconds)
    result=$(in_chroot "
        rm -rf /autograder && mkdir -p /autograder/results
        cp -r /tmp/hand-ins/$kind /autograder/submission
        cp /usr/share/exercise-check/platforms/gradescope/run_autograder /autograder/
        sed -i 's/^PROGRAMS=\"\"/PROGRAMS=\"twodigits,circle\"/' /autograder/run_autograder
        cd /autograder && bash ./run_autograder >/dev/null 2>&1; echo \"exit \$?\"
        grep -m1 -o '\"score\": [0-9.]*' results/results.json
        grep -o '\"output\": \"[a-z-]*' results/results.json | tail -n +2 | cut -d'\"' -f4")
    printf '%-22s %-6s %-8s %s\n' "Gradescope" "$kind" "$(since "$start")" "$(echo $result)"

    start=$(seconds)
    result=$(in_chroot "
        rm -rf /tmp/vpl && cp -r /tmp/hand-ins/$kind /tmp/vpl && cd /tmp/vpl
        printf 'VPL_SUBFILES=\"twodigits.cpp circle.cpp\"\nVPL_GRADEMIN=0\nVPL_GRADEMAX=10\n' \
            > vpl_environment.sh
        cp /usr/share/exercise-check/platforms/vpl/vpl_evaluate.sh .
        sed -i 's/^PROGRAMS=\"\"/PROGRAMS=\"twodigits,circle\"/' vpl_evaluate.sh
        bash vpl_evaluate.sh && ./vpl_execution > evaluation.txt; echo \"exit \$?\"
        grep '^Grade :=>>' evaluation.txt")
    printf '%-22s %-6s %-8s %s\n' "VPL" "$kind" "$(since "$start")" "$(echo $result)"

    start=$(seconds)
    result=$(in_chroot "
        rm -rf /tmp/repo && cp -r /tmp/hand-ins/$kind /tmp/repo && cd /tmp/repo
        export GITHUB_STEP_SUMMARY=/tmp/repo-summary.md PROGRAMS=twodigits,circle
        export EXERCISE_CHECK=/opt/exercise-check/bin/exercise-check
        : > \$GITHUB_STEP_SUMMARY
        bash /opt/exercise-check/share/exercise-check/platforms/github-classroom/check-step.sh . \
            > annotations.txt 2>/dev/null; echo \"exit \$?\"
        grep -c '^::error ' annotations.txt | sed 's/^/annotations /'
        grep -m1 -o 'Points [0-9]*/[0-9]*' \$GITHUB_STEP_SUMMARY")
    printf '%-22s %-6s %-8s %s\n' "GitHub Actions step" "$kind" "$(since "$start")" "$(echo $result)"
done
echo "the sandbox in the chroot: $(in_chroot "exercise-check --sandbox auto --json /tmp/r.json \
    /tmp/hand-ins/right >/dev/null 2>&1; grep -o '\"sandbox\": \"[a-z]*\"' /tmp/r.json")"
