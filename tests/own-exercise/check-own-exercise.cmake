# A teacher's own exercise, added as data: a copy of the case data gains an entry in its catalogue
# and a folder of cases, and the checker, as built, checks a right and a wrong program against it.
#
#   cmake -DCHECK=<exercise-check> [-DOPTIONS=<options>] -DSOURCE_DIR=<project> -DWORK_DIR=<dir>
#         -P check-own-exercise.cmake

cmake_minimum_required(VERSION 3.25)

file(REMOVE_RECURSE "${WORK_DIR}")
set(data "${WORK_DIR}/data")
file(COPY "${SOURCE_DIR}/tests/" DESTINATION "${data}")

# A tenth exercise, "doubling": reads an integer and prints it twice over; empty input prints 0.
file(READ "${data}/exercises.json" catalogue)
string(JSON count LENGTH "${catalogue}" exercises)
string(JSON catalogue SET "${catalogue}" exercises ${count}
       [[{"name": "doubling", "group": "extras", "short": "dbl", "title": "doubles a number"}]])
file(WRITE "${data}/exercises.json" "${catalogue}")
set(cases "${data}/extras/doubling")
file(WRITE "${cases}/plain.in" "21\n")
file(WRITE "${cases}/plain.out" "Broj: 42\n")
file(WRITE "${cases}/empty-input.in" "")
file(WRITE "${cases}/empty-input.out" "Broj: 0\n")
file(WRITE "${cases}/empty-input.labels" "failed-read\n")

# The right program, and one that leaves its number unset: it prints 0 on empty input only by
# chance, which the build with unset values filled shows.
set(right [[#include <iostream>
int main()
{
    int broj = 0;
    std::cout << "Broj: ";
    std::cin >> broj;
    std::cout << broj * 2 << std::endl;
    return std::cout.flush() ? 0 : 1;
}
]])
string(REPLACE "int broj = 0;" "int broj;" wrong "${right}")
file(WRITE "${WORK_DIR}/right/doubling.cpp" "${right}")
file(WRITE "${WORK_DIR}/wrong/doubling.cpp" "${wrong}")

execute_process(COMMAND "${CHECK}" --cases "${data}" --list-cases OUTPUT_VARIABLE listed
                RESULT_VARIABLE status)
foreach(name IN ITEMS extras.doubling.plain extras.doubling.empty-input)
    if(NOT status EQUAL 0 OR NOT listed MATCHES "${name}\t")
        message(FATAL_ERROR "--list-cases with the added exercise does not list ${name}:\n${listed}")
    endif()
endforeach()

foreach(who IN ITEMS right wrong)
    execute_process(COMMAND "${CHECK}" ${OPTIONS} --cases "${data}" --strict
                            --json "${WORK_DIR}/${who}.json" "${WORK_DIR}/${who}"
                    RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
    message("${log}")
    if(NOT EXISTS "${WORK_DIR}/${who}.json")
        message(FATAL_ERROR "no report for the ${who} program")
    endif()
    file(READ "${WORK_DIR}/${who}.json" report)
    string(JSON exercises LENGTH "${report}" people 0 programs)
    math(EXPR last "${exercises} - 1")
    string(JSON program GET "${report}" people 0 programs ${last} program)
    string(JSON verdict GET "${report}" people 0 programs ${last} verdict)
    if(NOT program STREQUAL "doubling")
        message(FATAL_ERROR "the added exercise is not the last column: ${program}")
    endif()
    set(expected correct)
    set(expected_status 0)
    if(who STREQUAL "wrong")
        set(expected wrong)
        set(expected_status 1)
        string(JSON cases LENGTH "${report}" people 0 programs ${last} cases)
        math(EXPR last_case "${cases} - 1")
        set(unset_found OFF)
        foreach(index RANGE ${last_case})
            string(JSON name GET "${report}" people 0 programs ${last} cases ${index} name)
            string(JSON case_verdict GET "${report}" people 0 programs ${last} cases ${index} verdict)
            if(name STREQUAL "extras.doubling.empty-input" AND case_verdict STREQUAL "memory-error")
                set(unset_found ON)
            endif()
        endforeach()
        if(NOT unset_found)
            message(FATAL_ERROR "the unset number was not found by extras.doubling.empty-input")
        endif()
    endif()
    if(NOT verdict STREQUAL expected OR NOT status EQUAL expected_status)
        message(FATAL_ERROR "the ${who} program: ${verdict}, exit ${status} (expected ${expected}, "
                            "exit ${expected_status})")
    endif()
endforeach()
