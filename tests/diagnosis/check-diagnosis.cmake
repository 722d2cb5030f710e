# Checks the diagnosis of wrong programs on a class: this project's own programs, a learner's
# versions (learner/, typical/, each beside the project's own programs), and a person for each
# variant of each typical fault in the case data.
#
#   cmake -DCHECK=<exercise-check> [-DOPTIONS=<options>] [-DVARIANTS=OFF] -DSOURCE_DIR=<project>
#         -DWORK_DIR=<dir> -P check-diagnosis.cmake
#
# With VARIANTS=OFF, the people made from the faults' variants are left out: the learners' versions
# and this project's own programs are checked alone, in a fraction of the time.
#
# It fails unless every wrong program of the learners gets exactly the faults expected below,
# every variant's program exactly its own fault, and no right program any diagnosis.

cmake_minimum_required(VERSION 3.25)

set(class "${WORK_DIR}/class")
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${class}")
set(here "${CMAKE_CURRENT_LIST_DIR}")
set(own "")
file(READ "${SOURCE_DIR}/tests/exercises.json" catalogue)
string(JSON count LENGTH "${catalogue}" exercises)
math(EXPR last "${count} - 1")
foreach(index RANGE ${last})
    string(JSON name GET "${catalogue}" exercises ${index} name)
    string(JSON group GET "${catalogue}" exercises ${index} group)
    string(JSON folder GET "${catalogue}" exercises ${index} folder)
    list(APPEND own "${name}")
    set(group_of_${name} "${group}")
    file(READ "${SOURCE_DIR}/${folder}/${name}.cpp" source_of_${name})
endforeach()

# A person with the project's own programs, the given ones put in their place.
function(person who)
    foreach(name IN LISTS own)
        file(WRITE "${class}/${who}/${name}.cpp" "${source_of_${name}}")
    endforeach()
endfunction()

# What each person's programs must be diagnosed with: <person>/<program>=<faults, by +>.
set(expected "")
person(own)
foreach(who IN ITEMS learner typical)
    person(${who})
    file(GLOB given RELATIVE "${here}/${who}" "${here}/${who}/*.cpp")
    foreach(file IN LISTS given)
        file(COPY "${here}/${who}/${file}" DESTINATION "${class}/${who}")
    endforeach()
endforeach()
# The learner's own programs lose their output unnoticed too: every one of them exits with 0.
file(GLOB learner_sources "${class}/learner/*.cpp")
foreach(file IN LISTS learner_sources)
    file(READ "${file}" code)
    string(REPLACE "return std::cout.flush() ? 0 : 1;" "return 0;" code "${code}")
    file(WRITE "${file}" "${code}")
endforeach()
list(APPEND expected learner/threedigits=missing-blank learner/echonumber=missing-line-end
     learner/averageheight=heights-not-int learner/circle=pi-more-digits
     learner/hellolines=extra-line-end learner/greetings=waits-at-end
     typical/averageheight=integer-division typical/circle=pi-3.14
     typical/helloworld=wrong-letter-case typical/hellolines=extra-line-end)

# A person for each variant of each fault: the fault's changes made to the own program.
if(DEFINED VARIANTS AND NOT VARIANTS)
    set(own_with_variants "")
else()
    set(own_with_variants ${own})
endif()
foreach(name IN LISTS own_with_variants)
    set(faults_file "${SOURCE_DIR}/tests/${group_of_${name}}/${name}/faults.json")
    if(NOT EXISTS "${faults_file}")
        continue()
    endif()
    file(READ "${faults_file}" faults)
    string(JSON faults_count LENGTH "${faults}" faults)
    math(EXPR last_fault "${faults_count} - 1")
    foreach(fault RANGE ${last_fault})
        string(JSON id GET "${faults}" faults ${fault} id)
        string(JSON variants LENGTH "${faults}" faults ${fault} variants)
        math(EXPR last_variant "${variants} - 1")
        foreach(variant RANGE ${last_variant})
            set(code "${source_of_${name}}")
            string(JSON changes LENGTH "${faults}" faults ${fault} variants ${variant})
            math(EXPR last_change "${changes} - 1")
            foreach(change RANGE ${last_change})
                string(JSON from GET "${faults}" faults ${fault} variants ${variant} ${change}
                       replace)
                string(JSON to GET "${faults}" faults ${fault} variants ${variant} ${change} with)
                string(FIND "${code}" "${from}" at)
                if(at LESS 0)
                    message(FATAL_ERROR "${id} of ${name}: the own program no longer holds:\n${from}")
                endif()
                string(LENGTH "${from}" length)
                string(SUBSTRING "${code}" 0 ${at} before)
                math(EXPR after_at "${at} + ${length}")
                string(SUBSTRING "${code}" ${after_at} -1 after)
                set(code "${before}${to}${after}")
            endforeach()
            set(who "${name}-${id}-${variant}")
            person(${who})
            file(WRITE "${class}/${who}/${name}.cpp" "${code}")
            list(APPEND expected "${who}/${name}=${id}")
        endforeach()
    endforeach()
endforeach()

execute_process(COMMAND "${CHECK}" ${OPTIONS} --class "${class}" --json "${WORK_DIR}/report.json"
    RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(NOT status STREQUAL "1")
    message("${log}")
    message(FATAL_ERROR "exercise-check should exit with 1 on wrong programs, not ${status}")
endif()

file(READ "${WORK_DIR}/report.json" report)
string(JSON people LENGTH "${report}" people)
math(EXPR last_person "${people} - 1")
set(problems "")
set(named 0)
foreach(person RANGE ${last_person})
    string(JSON who GET "${report}" people ${person} name)
    string(JSON programs LENGTH "${report}" people ${person} programs)
    math(EXPR last_program "${programs} - 1")
    foreach(index RANGE ${last_program})
        string(JSON program GET "${report}" people ${person} programs ${index} program)
        string(JSON verdict GET "${report}" people ${person} programs ${index} verdict)
        string(JSON found LENGTH "${report}" people ${person} programs ${index} diagnosis)
        set(faults "")
        if(found GREATER 0)
            math(EXPR last_found "${found} - 1")
            foreach(at RANGE ${last_found})
                string(JSON id GET "${report}" people ${person} programs ${index} diagnosis ${at}
                       fault)
                list(APPEND faults ${id})
            endforeach()
        endif()
        list(JOIN faults "+" faults)
        set(want "")
        foreach(entry IN LISTS expected)
            if(entry MATCHES "^${who}/${program}=(.*)$")
                set(want "${CMAKE_MATCH_1}")
            endif()
        endforeach()
        # A variant may be no more than advice: a departure of this project's, not wrong.
        if(NOT verdict STREQUAL "wrong" AND who MATCHES "-[0-9]+$")
            set(want "")
        endif()
        if(want STREQUAL "" AND NOT faults STREQUAL "")
            string(APPEND problems "  ${who}'s ${program} (${verdict}) was diagnosed ${faults}\n")
        elseif(NOT want STREQUAL "" AND NOT faults STREQUAL want)
            string(APPEND problems
                   "  ${who}'s ${program} (${verdict}): ${want} expected, diagnosed '${faults}'\n")
        elseif(NOT want STREQUAL "")
            math(EXPR named "${named} + 1")
        endif()
    endforeach()
endforeach()

# The advice on lost output is the learner's for every program, said once on the terminal and
# kept per program in the JSON; the advice on a number never read is not the learner's
# echonumber's, whose line end is missing.
execute_process(COMMAND "${CHECK}" ${OPTIONS} --json "${WORK_DIR}/learner.json" "${class}/learner"
    OUTPUT_VARIABLE log ERROR_VARIABLE log)
file(READ "${WORK_DIR}/learner.json" learner)
string(JSON programs LENGTH "${learner}" people 0 programs)
math(EXPR last_program "${programs} - 1")
foreach(index RANGE ${last_program})
    string(JSON advice GET "${learner}" people 0 programs ${index} advice)
    if(NOT advice MATCHES "when its output is lost")
        string(APPEND problems "  the learner's program ${index} lost its own advice in the JSON\n")
    endif()
endforeach()
if(NOT log MATCHES "all nine programs exit with 0 when their output is lost")
    string(APPEND problems "  the lost output was not advised on once for all of the learner's programs\n")
endif()
string(REGEX MATCHALL "exits with 0 when its output is lost" per_program "${log}")
if(per_program)
    string(APPEND problems "  the lost output was advised on per program on the terminal\n")
endif()
if(log MATCHES "never read")
    string(APPEND problems "  advice on a number never read was shown\n")
endif()

if(NOT problems STREQUAL "")
    message("${log}")
    message(FATAL_ERROR "the diagnosis was not as it should be:\n${problems}")
endif()
message("${named} programs were diagnosed with their faults, and no other program")
