# add_exercise(<program> IN <source folder> GROUP <test group>)
#
# Builds <source folder>/<program>.cpp into an executable named <program>, installs it, and
# registers its cases from tests/<group>/<program>/ as CTest tests named <group>.<program>.<case>:
#
#   <case>.out        expected standard output; <case>.in is fed to standard input and
#                     <case>.args, if present, holds the command-line arguments, one a line.
#                     <case>.libc++.out or <case>.libstdc++.out is used only with that library.
#   <case>.waiting    expected standard output while the program waits on an open, empty input
#                     (POSIX hosts only).
#   <case>.shape      output shape for a run over random inputs (label "stress").
#
# Each <case>.out also becomes memcheck.<group>.<program>.<case> (label "memcheck") where
# valgrind is available and the build is not sanitized.

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

if(NOT CONSOLE_EXERCISES_SANITIZE)
    find_program(CONSOLE_EXERCISES_VALGRIND valgrind)
endif()

set(CONSOLE_EXERCISES_STRESS_RUNS 1000 CACHE STRING "Random inputs per program in the stress tests")
set(CONSOLE_EXERCISES_STRESS_SEED 20261208 CACHE STRING "Seed of the stress tests' random inputs")

function(add_exercise program)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "IN;GROUP" "")
    add_executable(${program} ${arg_IN}/${program}.cpp)
    target_link_libraries(${program} PRIVATE exercise_options)
    install(TARGETS ${program})
    set_property(GLOBAL APPEND PROPERTY CONSOLE_EXERCISES_SOURCES
                 ${PROJECT_SOURCE_DIR}/${arg_IN}/${program}.cpp)

    set(cases ${PROJECT_SOURCE_DIR}/tests/${arg_GROUP}/${program})
    set(runner ${PROJECT_SOURCE_DIR}/tests/run-case.cmake)
    set(work ${PROJECT_BINARY_DIR}/test-output)
    set(prefix ${arg_GROUP}.${program})

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
        set(run -DPROGRAM=$<TARGET_FILE:${program}> -DINPUT=${cases}/${case}.in -DEXPECTED=${expected})
        if(EXISTS ${cases}/${case}.args)
            list(APPEND run -DARGS_FILE=${cases}/${case}.args)
        endif()
        add_test(NAME ${prefix}.${case}
                 COMMAND ${CMAKE_COMMAND} ${run} -DACTUAL=${work}/${prefix}.${case} -P ${runner})
        if(CONSOLE_EXERCISES_VALGRIND)
            add_test(NAME memcheck.${prefix}.${case}
                     COMMAND ${CMAKE_COMMAND} ${run} -DVALGRIND=${CONSOLE_EXERCISES_VALGRIND}
                             -DACTUAL=${work}/memcheck.${prefix}.${case} -P ${runner})
            set_tests_properties(memcheck.${prefix}.${case} PROPERTIES LABELS memcheck)
        endif()
    endforeach()

    set(waiting "")
    if(CMAKE_HOST_UNIX)
        file(GLOB waiting CONFIGURE_DEPENDS ${cases}/*.waiting)
    endif()
    foreach(expected IN LISTS waiting)
        get_filename_component(case ${expected} NAME_WLE)
        add_test(NAME ${prefix}.${case}
                 COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> -DEXPECTED=${expected}
                         -DACTUAL=${work}/${prefix}.${case} -P ${runner})
    endforeach()

    file(GLOB shapes CONFIGURE_DEPENDS ${cases}/*.shape)
    foreach(shape IN LISTS shapes)
        get_filename_component(case ${shape} NAME_WLE)
        add_test(NAME ${prefix}.${case}
                 COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${program}> -DSHAPE=${shape}
                         -DRUNS=${CONSOLE_EXERCISES_STRESS_RUNS}
                         -DSEED=${CONSOLE_EXERCISES_STRESS_SEED}
                         -DWORK_DIR=${work}/${prefix}.${case}
                         -P ${PROJECT_SOURCE_DIR}/tests/stress.cmake)
        set_tests_properties(${prefix}.${case} PROPERTIES LABELS stress TIMEOUT 600)
    endforeach()
endfunction()
