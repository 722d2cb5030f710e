# What the platforms' end-to-end checks share: hand-ins made from this project's own sources, the
# checker run as the platforms run it (with few random inputs, for time), and the points of a
# JSON report.
cmake_minimum_required(VERSION 3.25)

set(ENV{REAL_CHECK} "${REAL_CHECK}")
string(REPLACE ";" " " options_text "${OPTIONS}") # a CMake list, as words for the shell
set(ENV{CHECK_OPTIONS} "${options_text}")
set(ENV{EXERCISE_CHECK} "${CHECK}")
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${WORK_DIR}")

# Copies the project's sources of the programs named into folder, side by side.
function(hand_in folder)
    file(MAKE_DIRECTORY "${folder}")
    foreach(program IN LISTS ARGN)
        file(GLOB source "${SOURCE_DIR}/digit-exercises/${program}.cpp"
                         "${SOURCE_DIR}/calculators/${program}.cpp"
                         "${SOURCE_DIR}/greeting-programs/${program}.cpp")
        file(COPY "${source}" DESTINATION "${folder}")
    endforeach()
endfunction()

include(${CMAKE_CURRENT_LIST_DIR}/../break-source.cmake)

# Runs the command, failing the test unless it exits with one of the statuses given (default 0).
function(run_step output_variable)
    cmake_parse_arguments(PARSE_ARGV 1 step "" "DIRECTORY" "COMMAND;STATUS")
    if(NOT step_STATUS)
        set(step_STATUS 0)
    endif()
    if(NOT step_DIRECTORY)
        set(step_DIRECTORY "${WORK_DIR}")
    endif()
    execute_process(COMMAND ${step_COMMAND} WORKING_DIRECTORY "${step_DIRECTORY}"
                    RESULT_VARIABLE status OUTPUT_VARIABLE output ERROR_VARIABLE errors)
    if(NOT status IN_LIST step_STATUS)
        message(FATAL_ERROR "${step_COMMAND} exited with ${status}, not ${step_STATUS}:\n"
                            "${output}${errors}")
    endif()
    set(${output_variable} "${output}" PARENT_SCOPE)
    set(${output_variable}_errors "${errors}" PARENT_SCOPE)
endfunction()

# points and max_points of each person of a JSON report: the programs correct,
# out of the programs listed.
function(report_points report prefix)
    file(READ "${report}" json)
    string(JSON people LENGTH "${json}" people)
    math(EXPR last_person "${people} - 1")
    foreach(person RANGE ${last_person})
        string(JSON name GET "${json}" people ${person} name)
        string(JSON programs LENGTH "${json}" people ${person} programs)
        set(points 0)
        math(EXPR last_program "${programs} - 1")
        foreach(program RANGE ${last_program})
            string(JSON verdict GET "${json}" people ${person} programs ${program} verdict)
            if(verdict STREQUAL "correct")
                math(EXPR points "${points} + 1")
            endif()
        endforeach()
        set(${prefix}_${person}_name "${name}" PARENT_SCOPE)
        set(${prefix}_${person}_points ${points} PARENT_SCOPE)
        set(${prefix}_${person}_max ${programs} PARENT_SCOPE)
    endforeach()
    set(${prefix}_count ${people} PARENT_SCOPE)
endfunction()

function(expect what actual expected)
    if(NOT "${actual}" STREQUAL "${expected}")
        message(FATAL_ERROR "${what}: '${actual}', expected '${expected}'")
    endif()
endfunction()
