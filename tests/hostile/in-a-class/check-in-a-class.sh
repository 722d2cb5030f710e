#!/usr/bin/env bash
# Checks one hostile program (a folder beside this script) in a class beside right programs of
# other people, copies of the project's own, as a teacher would check them all at once. The
# folder's `expected` says what the class holds and what must come of it:
#
#   attackers <n>              copies of its helloworld.cpp.in, each a person (default 1)
#   victims <n> <program>...   people who hand in the project's own right versions of these
#   options <option>...        more options for exercise-check
#   verdict <who> <program> <pattern>
#                              who is attacker or victim (each of them); the pattern is matched
#                              against "<verdict> <case verdicts>"
#   most-mib <n>               the checker's folder never holds more than n MiB during the check
#
# Beyond that, the checker must end normally with its report, leave nothing in its folder, and
# leave no process of the class running.
#
#   check-in-a-class.sh [--as-nobody] <hostile folder> <exercise-check> <project> <work folder>
#                       [options for exercise-check]
#
# With --as-nobody, run as root, the checker runs as nobody (from a copy in the work folder, with
# its folders nobody's), as it would for a teacher who is an ordinary user; run as anyone else, it
# runs as that user. With EXPECT_SANDBOX set, the report must name that sandbox.
set -uo pipefail
as_nobody=false
if [[ ${1:-} == --as-nobody ]]; then
    as_nobody=true
    shift
fi
hostile=$(cd "$1" && pwd) check=$2 project=$3 work=$4
shift 4
name=$(basename "$hostile")

# A run may leave folders that no one but root may enter: they are opened again before removal.
if [[ -e $work ]]; then
    chmod -R u+rwX "$work" 2>/dev/null
    rm -rf "$work" || exit 1
fi
mkdir -p "$work/class" "$work/checker" "$work/home" || exit 1
work=$(cd "$work" && pwd)
# The check's processes are those whose command lines name its folder.
mark=$work/checker/

attackers=1 victims=0 programs=() options=() verdicts_wanted=() most_mib=
while read -r key rest; do
    case $key in
        ''|'#'*) ;;
        attackers) attackers=$rest ;;
        victims) read -r victims rest <<<"$rest"; read -ra programs <<<"$rest" ;;
        options) read -ra more <<<"$rest"; options+=("${more[@]}") ;;
        verdict) verdicts_wanted+=("$rest") ;;
        most-mib) most_mib=$rest ;;
        *) echo "$hostile/expected: no such key: $key"; exit 2 ;;
    esac
done <"$hostile/expected"

# Each person's source differs from every other's by a last comment line, so that each is built.
for n in $(seq "$attackers"); do
    person=attacker-$n
    mkdir -p "$work/class/$person"
    { cat "$hostile/helloworld.cpp.in"; echo "// $person"; } \
        >"$work/class/$person/helloworld.cpp" || exit 1
done
for n in $(seq "$victims"); do
    person=victim-$n
    mkdir -p "$work/class/$person"
    for program in "${programs[@]}"; do
        source=$(ls "$project"/{digit-exercises,calculators,greeting-programs}/"$program.cpp" \
                 2>/dev/null | head -n 1)
        [[ -n $source ]] || { echo "the project has no $program.cpp"; exit 2; }
        { cat "$source"; echo "// $person"; } >"$work/class/$person/$program.cpp" || exit 1
    done
done

run_as=()
if $as_nobody && [[ $(id -u) == 0 ]]; then
    mkdir -p "$work/bin" && cp "$check" "$work/bin/exercise-check" || exit 1
    check=$work/bin/exercise-check
    chown -R 65534:65534 "$work" || exit 1
    run_as=(setpriv --reuid=65534 --regid=65534 --clear-groups)
    "${run_as[@]}" test -x "$check" ||
        { echo "nobody cannot run $check: the folders above $work must be open to all"; exit 2; }
fi

# The checker's folder goes under $work/checker, where its size is measured while it works. The
# check has a session of its own: a hostile program that takes the processes of its session takes
# the check's, and no one else's.
"${run_as[@]}" setsid -w env HOME="$work/home" TMPDIR="$work/checker" \
    "$check" "$@" "${options[@]}" --timeout 5 --no-diagnosis --json "$work/report.json" \
    "$work/class"/* >"$work/report.txt" 2>&1 &
checking=$!
most_kib=0
while kill -0 $checking 2>/dev/null; do
    used=$(du -sk "$work/checker" 2>/dev/null | cut -f1)
    ((${used:-0} > most_kib)) && most_kib=$used
    sleep 0.2
done
wait $checking
status=$?
cat "$work/report.txt"
problems=()
[[ $status == 0 || $status == 1 ]] ||
    problems+=("exercise-check did not end normally: exit status $status")

# The verdicts, from the JSON report: "<person> <program> <verdict> <case verdicts>".
cat >"$work/verdicts.cmake" <<'CMAKE'
file(READ "${REPORT}" report)
string(JSON people LENGTH "${report}" people)
math(EXPR last "${people} - 1")
foreach(person RANGE ${last})
    string(JSON name GET "${report}" people ${person} name)
    string(JSON programs LENGTH "${report}" people ${person} programs)
    math(EXPR last_program "${programs} - 1")
    foreach(program RANGE ${last_program})
        string(JSON what GET "${report}" people ${person} programs ${program} program)
        string(JSON verdict GET "${report}" people ${person} programs ${program} verdict)
        string(JSON cases LENGTH "${report}" people ${person} programs ${program} cases)
        set(line "${name} ${what} ${verdict}")
        if(cases GREATER 0)
            math(EXPR last_case "${cases} - 1")
            foreach(case RANGE ${last_case})
                string(JSON got GET "${report}" people ${person} programs ${program} cases ${case}
                       verdict)
                string(APPEND line " ${got}")
            endforeach()
        endif()
        message("${line}")
    endforeach()
endforeach()
CMAKE
verdicts=$(cmake -DREPORT="$work/report.json" -P "$work/verdicts.cmake" 2>&1) ||
    problems+=("no readable JSON report: $verdicts")
for wanted in "${verdicts_wanted[@]}"; do
    read -r who program pattern <<<"$wanted"
    count=$attackers
    [[ $who == victim ]] && count=$victims
    for n in $(seq "$count"); do
        line=$(grep "^$who-$n $program " <<<"$verdicts" | cut -d' ' -f3-)
        [[ $line =~ $pattern ]] ||
            problems+=("$who-$n's $program: expected /$pattern/, got: ${line:-nothing}")
    done
done
if [[ -n ${EXPECT_SANDBOX:-} && -s $work/report.json ]]; then
    printf '%s\n' 'file(READ "${REPORT}" r)' 'string(JSON s GET "${r}" sandbox)' \
        'message("${s}")' >"$work/sandbox.cmake"
    used=$(cmake -DREPORT="$work/report.json" -P "$work/sandbox.cmake" 2>&1)
    [[ $used == "$EXPECT_SANDBOX" ]] ||
        problems+=("the check ran in the sandbox '$used', not in $EXPECT_SANDBOX")
fi
if [[ -n $most_mib ]] && ((most_kib > most_mib * 1024)); then
    problems+=("the checker's folder held $((most_kib / 1024)) MiB, more than $most_mib MiB")
fi

sleep 0.5
left=$(pgrep -f "$mark")
if [[ -n $left ]]; then
    problems+=("processes left running: $(ps -o pid=,args= -p "$(paste -sd, <<<"$left")")")
    kill -9 $left 2>/dev/null
fi
if [[ -n $(ls -A "$work/checker") ]]; then
    size=$(du -sh "$work/checker" 2>/dev/null | cut -f1)
    problems+=("the checker left $size behind: $(ls "$work/checker")")
fi
chmod -R u+rwX "$work/checker" 2>/dev/null
rm -rf "$work/checker"/* 2>/dev/null

if ((${#problems[@]} > 0)); then
    printf 'NOT CONTAINED: %s\n' "${problems[@]}"
    exit 1
fi
echo "$name was contained: the most the checker's folder held was $((most_kib / 1024)) MiB"
