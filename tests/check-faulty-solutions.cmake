# Checks that the solutions check catches faulty programs: it runs the whole check, as a person
# would, on the programs in tests/faulty-solutions/ with this project's own sources beside them
# for the programs that are not there, and reads the JUnit report.
#
#   cmake -DSOURCE_DIR=<project> -DWORK_DIR=<dir> -DGENERATOR=<generator> -DCXX=<compiler>
#         -P check-faulty-solutions.cmake
#
# It fails unless every test named in caught-by.txt failed, and every test that failed belongs
# to a faulty program.

cmake_minimum_required(VERSION 3.25)

set(faulty_dir "${SOURCE_DIR}/tests/faulty-solutions")
set(solutions "${WORK_DIR}/solutions")
file(REMOVE_RECURSE "${WORK_DIR}")
file(MAKE_DIRECTORY "${solutions}")

file(STRINGS "${faulty_dir}/caught-by.txt" lines REGEX "^[a-z]")
set(faulty "")
foreach(line IN LISTS lines)
    string(REGEX MATCH "^([a-z]+) +([^ ]+)$" line "${line}")
    list(APPEND faulty ${CMAKE_MATCH_1})
    list(APPEND must_fail ${CMAKE_MATCH_2})
    file(COPY "${faulty_dir}/${CMAKE_MATCH_1}.cpp" DESTINATION "${solutions}")
endforeach()
file(GLOB own RELATIVE "${SOURCE_DIR}" "${SOURCE_DIR}/*/*.cpp")
foreach(source IN LISTS own)
    get_filename_component(program "${source}" NAME_WE)
    if(NOT program IN_LIST faulty)
        file(COPY "${SOURCE_DIR}/${source}" DESTINATION "${solutions}")
    endif()
endforeach()

set(build "${WORK_DIR}/build")
foreach(step IN ITEMS configure build)
    if(step STREQUAL "configure")
        set(command "${CMAKE_COMMAND}" -S "${SOURCE_DIR}" -B "${build}" -G "${GENERATOR}"
                    -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Debug
                    -DCONSOLE_EXERCISES_SOLUTIONS=${solutions} -DCONSOLE_EXERCISES_STRESS_RUNS=50)
    else()
        set(command "${CMAKE_COMMAND}" --build "${build}")
    endif()
    execute_process(COMMAND ${command} RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
    if(NOT status STREQUAL "0")
        message(FATAL_ERROR "the solutions check could not ${step}:\n${log}")
    endif()
endforeach()
execute_process(COMMAND "${CMAKE_CTEST_COMMAND}" --test-dir "${build}" -j 8
                        --output-junit "${WORK_DIR}/report.xml"
    RESULT_VARIABLE status OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(status STREQUAL "0")
    message(FATAL_ERROR "the solutions check passed faulty programs:\n${log}")
endif()

file(READ "${WORK_DIR}/report.xml" report)
string(REGEX MATCHALL "<testcase name=\"[^\"]+\"[^>]* status=\"[a-z]+\"" cases "${report}")
set(problems "")
set(ran "")
foreach(case IN LISTS cases)
    string(REGEX MATCH "name=\"([^\"]+)\".* status=\"([a-z]+)\"" case "${case}")
    set(test ${CMAKE_MATCH_1})
    set(status ${CMAKE_MATCH_2})
    string(REGEX REPLACE "^(memcheck\\.)?[a-z]+\\.([a-z]+)\\..*$" "\\2" program "${test}")
    list(APPEND ran ${program})
    if(status STREQUAL "fail" AND NOT program IN_LIST faulty)
        string(APPEND problems "  ${test} failed on this project's own ${program}\n")
    elseif(status STREQUAL "fail")
        message("caught: ${test}")
    elseif(NOT status STREQUAL "run" AND NOT program IN_LIST faulty)
        string(APPEND problems "  ${test} did not run (${status})\n")
    endif()
    if(test IN_LIST must_fail AND NOT status STREQUAL "fail")
        string(APPEND problems "  ${test} let a faulty ${program} through (${status})\n")
    endif()
endforeach()
foreach(test IN LISTS must_fail)
    if(NOT report MATCHES "<testcase name=\"${test}\"")
        string(APPEND problems "  ${test} was not run at all\n")
    endif()
endforeach()
foreach(source IN LISTS own)
    get_filename_component(program "${source}" NAME_WE)
    if(NOT program IN_LIST ran)
        string(APPEND problems "  no test ran for ${program}\n")
    endif()
endforeach()

if(NOT problems STREQUAL "")
    message(FATAL_ERROR "the solutions check did not catch the faults as it should:\n${problems}")
endif()
list(LENGTH must_fail count)
message("all ${count} faulty programs were caught, and no other program failed")
