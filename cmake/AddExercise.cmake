# add_exercise(<program> IN <source folder> GROUP <test group>)
#
# Builds <source folder>/<program>.cpp into an executable named <program>, installs it, and
# registers its cases from tests/<group>/<program>/ as CTest tests named <group>.<program>.<case>:
#
#   <case>.out        expected standard output; <case>.in is fed to standard input and
#                     <case>.args, if present, holds the command-line arguments, one a line.
#                     <case>.libc++.out or <case>.libstdc++.out is used only with that library.
#   <case>.waiting    expected standard output while the program waits for more input, after
#                     reading <case>.in if present, on an input that stays open (POSIX hosts).
#   <case>.shape      output shape for a run over random inputs (label "stress").
#   <case>.labels     CTest labels of the case: "failed-read" where a read fails or the input
#                     ends too early, "departure" where the expected output rests on a choice of
#                     this project rather than on the exercise's text.
#
# The helper adds, for every program:
#   <group>.<program>.input-left-open   the "plain" case, with standard input left open after
#                                       its input: the program must not wait for more.
#   <group>.<program>.output-full / output-closed
#                                       standard output on /dev/full or closed: exit status 1
#                                       (label "departure"; hosts that have /dev/full).
#
# Each <case>.out also becomes memcheck.<group>.<program>.<case> (label "memcheck") where
# valgrind is available and the build is neither sanitized nor for another system.
#
# With CONSOLE_EXERCISES_SOLUTIONS set to a folder, the source is taken from there instead (flat,
# or in the same folder as here), a program whose source is absent is left out, and building is
# part of the tests: <group>.<program>.compiles builds it, so that a source that does not compile
# fails its own cases and no other's. Memcheck then runs on the "failed-read" cases only.

include(CheckCXXSymbolExists)
check_cxx_symbol_exists(_LIBCPP_VERSION "cstddef" CONSOLE_EXERCISES_LIBCXX)
check_cxx_symbol_exists(__GLIBCXX__ "cstddef" CONSOLE_EXERCISES_LIBSTDCXX)
if(CONSOLE_EXERCISES_LIBCXX)
    set(exercise_stdlib "libc++")
elseif(CONSOLE_EXERCISES_LIBSTDCXX)
    set(exercise_stdlib "libstdc++")
else()
    set(exercise_stdlib "other")
    message(STATUS "Unknown C++ standard library: cases with library-specific output are skipped")
endif()

if(NOT CONSOLE_EXERCISES_SANITIZE AND NOT CMAKE_CROSSCOMPILING)
    find_program(CONSOLE_EXERCISES_VALGRIND valgrind)
    if(NOT CONSOLE_EXERCISES_VALGRIND)
        message(STATUS "valgrind not found: no memcheck cases")
    endif()
endif()

set(CONSOLE_EXERCISES_STRESS_RUNS 1000 CACHE STRING "Random inputs per program in the stress tests")
set(CONSOLE_EXERCISES_STRESS_SEED 20261208 CACHE STRING "Seed of the stress tests' random inputs")
set(CONSOLE_EXERCISES_CASE_TIMEOUT 10 CACHE STRING
    "Seconds a program may run in one case; four times as long under memcheck")

function(add_exercise program)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "IN;GROUP" "")
    set(prefix ${arg_GROUP}.${program})
    set(source ${PROJECT_SOURCE_DIR}/${arg_IN}/${program}.cpp)
    set(exclude "")
    set(compile_test "")
    if(DEFINED CONSOLE_EXERCISES_SOLUTIONS)
        set(source "")
        foreach(candidate IN ITEMS ${arg_IN}/${program}.cpp ${program}.cpp)
            if(NOT source AND EXISTS ${CONSOLE_EXERCISES_SOLUTIONS}/${candidate})
                set(source ${CONSOLE_EXERCISES_SOLUTIONS}/${candidate})
            endif()
        endforeach()
        if(NOT source)
            set_property(GLOBAL APPEND PROPERTY CONSOLE_EXERCISES_LEFT_OUT ${program})
            return()
        endif()
        set_property(GLOBAL APPEND PROPERTY CONSOLE_EXERCISES_CHECKED ${program})
        set(exclude EXCLUDE_FROM_ALL)
        set(compile_test ${prefix}.compiles)
    endif()

    add_executable(${program} ${exclude} ${source})
    target_link_libraries(${program} PRIVATE exercise_options)
    if(NOT exclude)
        install(TARGETS ${program})
        set_property(GLOBAL APPEND PROPERTY CONSOLE_EXERCISES_SOURCES ${source})
    endif()

    set(cases ${PROJECT_SOURCE_DIR}/tests/${arg_GROUP}/${program})
    set(work ${PROJECT_BINARY_DIR}/test-output)
    set(run_case ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}>
                 -DTIMEOUT=${CONSOLE_EXERCISES_CASE_TIMEOUT})
    if(CMAKE_CROSSCOMPILING)
        list(APPEND run_case "-DEMULATOR=$<TARGET_PROPERTY:${program},CROSSCOMPILING_EMULATOR>")
    endif()
    if(WIN32)
        list(APPEND run_case -DCRLF=ON) # the standard stream writes each LF as CRLF
    endif()
    set(runner -P ${PROJECT_SOURCE_DIR}/tests/run-case.cmake)
    math(EXPR memcheck_timeout "${CONSOLE_EXERCISES_CASE_TIMEOUT} * 4")
    set(tests "")

    if(compile_test)
        add_test(NAME ${compile_test}
                 COMMAND ${run_case} -DBUILD_DIR=${PROJECT_BINARY_DIR} -DBUILD_TARGET=${program}
                         ${runner})
        # One build at a time: the builds share one build tree.
        set_tests_properties(${compile_test} PROPERTIES RESOURCE_LOCK build-tree TIMEOUT 120)
    endif()

    # Plain cases, and each again under memcheck.
    file(GLOB outputs CONFIGURE_DEPENDS ${cases}/*.out)
    foreach(expected IN LISTS outputs)
        get_filename_component(case ${expected} NAME)
        string(REGEX REPLACE "\\.out$" "" case ${case})
        if(case MATCHES "^(.+)\\.(libc\\+\\+|libstdc\\+\\+)$")
            if(NOT CMAKE_MATCH_2 STREQUAL exercise_stdlib)
                continue()
            endif()
            set(case ${CMAKE_MATCH_1})
        endif()
        set(labels "")
        if(EXISTS ${cases}/${case}.labels)
            file(STRINGS ${cases}/${case}.labels labels REGEX "^[a-z-]+$")
        endif()
        set(run ${run_case} -DINPUT=${cases}/${case}.in -DEXPECTED=${expected})
        if(EXISTS ${cases}/${case}.args)
            list(APPEND run -DARGS_FILE=${cases}/${case}.args)
        endif()
        add_test(NAME ${prefix}.${case} COMMAND ${run} -DACTUAL=${work}/${prefix}.${case} ${runner})
        set_tests_properties(${prefix}.${case} PROPERTIES LABELS "${labels}")
        list(APPEND tests ${prefix}.${case})
        if(case STREQUAL "plain" AND CMAKE_HOST_UNIX)
            add_test(NAME ${prefix}.input-left-open
                     COMMAND ${run} -DINPUT_STAYS_OPEN=ON -DACTUAL=${work}/${prefix}.input-left-open
                             ${runner})
            list(APPEND tests ${prefix}.input-left-open)
        endif()
        if(CONSOLE_EXERCISES_VALGRIND AND (NOT compile_test OR "failed-read" IN_LIST labels))
            add_test(NAME memcheck.${prefix}.${case}
                     COMMAND ${run} -DVALGRIND=${CONSOLE_EXERCISES_VALGRIND}
                             -DTIMEOUT=${memcheck_timeout}
                             -DACTUAL=${work}/memcheck.${prefix}.${case} ${runner})
            set_tests_properties(memcheck.${prefix}.${case} PROPERTIES LABELS "memcheck;${labels}")
            list(APPEND tests memcheck.${prefix}.${case})
        endif()
    endforeach()

    # Prompts that must show while the program waits for input.
    set(waiting "")
    if(CMAKE_HOST_UNIX)
        file(GLOB waiting CONFIGURE_DEPENDS ${cases}/*.waiting)
    endif()
    foreach(expected IN LISTS waiting)
        get_filename_component(case ${expected} NAME_WLE)
        set(input "")
        if(EXISTS ${cases}/${case}.in)
            set(input -DINPUT=${cases}/${case}.in)
        endif()
        add_test(NAME ${prefix}.${case}
                 COMMAND ${run_case} ${input} -DINPUT_STAYS_OPEN=ON -DEXPECT_WAITING=ON
                         -DEXPECTED=${expected} -DACTUAL=${work}/${prefix}.${case} ${runner})
        list(APPEND tests ${prefix}.${case})
    endforeach()

    # Output that cannot be written must fail the run.
    if(CMAKE_HOST_UNIX AND EXISTS /dev/full)
        foreach(stdout IN ITEMS full closed)
            add_test(NAME ${prefix}.output-${stdout}
                     COMMAND ${run_case} -DSTDOUT=${stdout} -DEXPECT_STATUS=1
                             -DACTUAL=${work}/${prefix}.output-${stdout} ${runner})
            set_tests_properties(${prefix}.output-${stdout} PROPERTIES LABELS departure)
            list(APPEND tests ${prefix}.output-${stdout})
        endforeach()
    endif()

    # Random inputs.
    file(GLOB shapes CONFIGURE_DEPENDS ${cases}/*.shape)
    foreach(shape IN LISTS shapes)
        get_filename_component(case ${shape} NAME_WLE)
        add_test(NAME ${prefix}.${case}
                 COMMAND ${run_case} -DSHAPE=${shape} -DRUNS=${CONSOLE_EXERCISES_STRESS_RUNS}
                         -DSEED=${CONSOLE_EXERCISES_STRESS_SEED} -DWORK_DIR=${work}/${prefix}.${case}
                         -P ${PROJECT_SOURCE_DIR}/tests/stress.cmake)
        set_tests_properties(${prefix}.${case} PROPERTIES LABELS stress TIMEOUT 600)
        list(APPEND tests ${prefix}.${case})
    endforeach()

    if(compile_test)
        set_tests_properties(${tests} PROPERTIES DEPENDS ${compile_test})
    endif()
endfunction()
