#!/usr/bin/env bash
# The README's sample sessions of exercise-check, made by the tool: each block that follows a
# `<!-- sample: NAME -->` line is what the commands on its `$` lines print here, on inputs this
# script makes from the project's own sources. Compares each block with what the tool prints now
# and fails, showing the difference, where they differ; with --update, writes them into the
# README instead. The learner's sample runs in a pseudo-terminal 60 columns wide, where the report
# wraps to the terminal; the class's gradebook is written to a pipe, as it has a width of its own.
#
#   tests/readme/samples.sh CHECK WORK_DIR [--update]
set -euo pipefail
check=$(realpath "$1")
work=$2
mode=${3:-}
project=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
readme=$project/README.md
rm -rf "$work"
mkdir -p "$work"
work=$(realpath "$work")

source_of() { ls "$project"/{digit-exercises,calculators,greeting-programs}/"$1".cpp 2>/dev/null; }
programs=(twodigits threedigits reversetwo echonumber averageheight circle helloworld hellolines
          greetings)

# The download of five, as Moodle's "download all submissions" gives it.
download=$work/course
moodle() { echo "$download/$1_$2_assignsubmission_file_"; }
# Ana: Code::Blocks projects, a folder each with its main.cpp, the project file and the builds.
ana=$(moodle "Ana Marić" 1001)
for program in "${programs[@]}"; do
    mkdir -p "$ana/$program/bin/Debug" "$ana/$program/obj/Debug"
    cp "$(source_of "$program")" "$ana/$program/main.cpp"
    echo "<CodeBlocks_project_file/>" > "$ana/$program/$program.cbp"
    echo "MZ" > "$ana/$program/bin/Debug/$program.exe"
    echo "object" > "$ana/$program/obj/Debug/main.o"
done
# Ivan: zadatak1.cpp to zadatak10.cpp, his average in integers, a second circle with pi as 3.14.
ivan=$(moodle "Ivan Horvat" 1002)
mkdir -p "$ivan"
number=1
for program in greetings hellolines helloworld circle averageheight echonumber reversetwo \
    threedigits twodigits; do
    cp "$(source_of "$program")" "$ivan/zadatak$number.cpp"
    number=$((number + 1))
done
sed -i 's|static_cast<double>(zbroj) / 3.0|static_cast<double>(zbroj / 3)|' "$ivan/zadatak5.cpp"
sed 's/3\.14159[0-9]*/3.14/' "$(source_of circle)" > "$ivan/zadatak10.cpp"
# Luka: an archive cut short.
luka=$(moodle "Luka Novak" 1004)
mkdir -p "$luka" "$work/luka"
cp "$(source_of twodigits)" "$work/luka/"
(cd "$work/luka" && cmake -E tar cf ../luka.zip --format=zip twodigits.cpp)
head -c 60 "$work/luka.zip" > "$luka/luka.zip"
# Marta: loose files named loosely.
marta=$(moodle "Marta Kovač" 1003)
mkdir -p "$marta"
for program in "${programs[@]}"; do
    cp "$(source_of "$program")" "$marta/$program.cpp"
done
mv "$marta/twodigits.cpp" "$marta/Two-Digits.CPP"
mv "$marta/averageheight.cpp" "$marta/average_height.cc"
mv "$marta/circle.cpp" "$marta/Circle.cxx"
# Petra: a Visual Studio solution, her circle in English, which the teacher maps.
petra=$(moodle "Petra Jurić" 1005)
mkdir -p "$petra/Vjezba/Projekt1" "$petra/Vjezba/Projekt2"
echo "Microsoft Visual Studio Solution File" > "$petra/Vjezba/Vjezba.sln"
sed -e 's/IZRACUNAVANJE OPSEGA I POVRSINE KRUGA/CIRCLE/' -e 's/Unesite radijus kruga: /Radius: /' \
    -e 's/Povrsina kruga: /Area: /' -e 's/Opseg kruga: /Circumference: /' \
    "$(source_of circle)" > "$petra/Vjezba/Projekt1/Source.cpp"
cp "$(source_of helloworld)" "$petra/Vjezba/Projekt2/Source.cpp"
(cd "$download" && cmake -E tar cf "$work/course.zip" --format=zip .)
printf '%s\n' "# sources the checker cannot tell" \
    "Petra Jurić/Vjezba/Projekt1/Source.cpp = circle" > "$work/map.txt"

# A learner's folder: two programs right, the circle with pi as 3.14.
mkdir -p "$work/zadaca"
cp "$(source_of twodigits)" "$(source_of echonumber)" "$work/zadaca/"
sed 's/3\.14159[0-9]*/3.14/' "$(source_of circle)" > "$work/zadaca/circle.cpp"

# Each sample: its commands as the README shows them, and what they print. The checker runs with
# five random inputs a calculator, not two hundred, for time (none of these programs fails only
# on a random input); its closing line, which says what sandbox this machine gave, is left out.
run=("$check" --stress-runs 5)
# The typical faults' builds may come from a cache the tests share (FAULT_CACHE): the samples
# are the same, and made sooner.
if [[ -n ${FAULT_CACHE:-} ]]; then
    run+=(--fault-cache "$FAULT_CACHE")
fi
session() {
    local name=$1
    shift
    # A store of kept results of its own, empty: what an earlier check kept is not in the sample.
    export XDG_CACHE_HOME=$work/cache-$name
    {
        for command in "$@"; do
            echo "\$ $command"
            case $name in
            learner) # in a pseudo-terminal 60 columns wide; the progress meter on standard
                # error is left out
                script -qec "stty cols 60; ${command/exercise-check/${run[*]} --color=never} \
                    2>/dev/null" /dev/null | tr -d '\r' || true ;;
            *) # the CSV's CRLF line ends as the README's
                (eval "${command/exercise-check/${run[*]}}") 2>&1 | tr -d '\r' || true ;;
            esac
        done
    } | grep -v '^ran in the .* sandbox\|^ran without a sandbox' > "$work/$name.made"
}
cd "$work"
session class "cat map.txt" "exercise-check --class course.zip --map map.txt --csv grades.csv" \
    "cat grades.csv"
session learner "exercise-check --programs twodigits,echonumber,circle zadaca"

status=0
for name in class learner; do
    # The block after the sample's mark, without its fences.
    awk -v mark="<!-- sample: $name -->" '
        $0 == mark { found = 1; next }
        found == 1 && /^```/ { found = 2; next }
        found == 2 && /^```/ { exit }
        found == 2 { print }' "$readme" > "$work/$name.readme"
    if [ "$mode" = --update ]; then
        awk -v mark="<!-- sample: $name -->" -v made="$work/$name.made" '
            $0 == mark { print; found = 1; next }
            found == 1 && /^```/ { print; while ((getline line < made) > 0) print line; found = 2; next }
            found == 2 && /^```/ { print; found = 0; next }
            found == 2 { next }
            { print }' "$readme" > "$work/README.md"
        cp "$work/README.md" "$readme"
    elif ! diff -u --label "README.md ($name)" --label "what exercise-check prints" \
        "$work/$name.readme" "$work/$name.made"; then
        echo "The README's sample '$name' is not what exercise-check prints: change the output" \
            "back, or run tests/readme/samples.sh <exercise-check> <folder> --update and read" \
            "the difference" >&2
        status=1
    fi
done
exit $status
