# add_exercise(<program> IN <source folder> GROUP <test group>)
#
# Builds <source folder>/<program>.cpp into an executable named <program>, installs it, and
# registers its cases from tests/<group>/<program>/ as CTest tests named <group>.<program>.<case>.
# exercise-check runs each of them (exercise-check --built <folder> --case <name>):
#
#   <case>.out        expected standard output; <case>.in is fed to standard input and
#                     <case>.args, if present, holds the command-line arguments, one a line.
#                     <case>.libc++.out or <case>.libstdc++.out is used only with that library.
#   <case>.waiting    expected standard output while the program waits for more input, after
#                     reading <case>.in if present, on an input that stays open.
#   <case>.shape      output shape for a run over random inputs (label "stress").
#   <case>.labels     labels of the case: "failed-read" where a read fails or the input ends too
#                     early, "departure" where the expected output rests on a choice of this
#                     project rather than on the exercise's text.
#   <case>.remark     for a departure: one line on what a program that fails it does, and why
#                     this project's way is better.
#
# Every program also has input-left-open (the "plain" case with standard input left open after
# its input: the program must not wait for more) and output-full and output-closed (standard
# output on /dev/full or closed: exit status 1; label "departure").
#
# Each <case>.out also becomes memcheck.<group>.<program>.<case> (label "memcheck") where
# valgrind is available and the build is neither sanitized nor for another system.

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

if(NOT CONSOLE_EXERCISES_SANITIZE AND NOT CMAKE_CROSSCOMPILING AND NOT CONSOLE_EXERCISES_HOST_TOOL)
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

    add_executable(${program} ${source})
    target_link_libraries(${program} PRIVATE exercise_program_options)
    if(CONSOLE_EXERCISES_LINK_STATIC)
        target_link_options(${program} PRIVATE -static)
    endif()
    install(TARGETS ${program})
    set_property(GLOBAL APPEND PROPERTY CONSOLE_EXERCISES_SOURCES ${source})

    if(NOT CONSOLE_EXERCISES_CHECK)
        return()
    endif()
    # The checker runs the built program; our own programs run without the sandbox, which
    # neither wine nor the sanitizers' address space would fit in.
    set(check ${CONSOLE_EXERCISES_CHECK} --built $<TARGET_FILE_DIR:${program}> --strict
              --no-sandbox --stdlib ${exercise_stdlib} --timeout ${CONSOLE_EXERCISES_CASE_TIMEOUT})
    if(CONSOLE_EXERCISES_SANITIZE)
        list(APPEND check --memory 0) # the sanitizers reserve terabytes of address space
    endif()
    if(CMAKE_CROSSCOMPILING_EMULATOR)
        list(APPEND check "--emulator=$<TARGET_PROPERTY:${program},CROSSCOMPILING_EMULATOR>")
    endif()
    if(WIN32)
        list(APPEND check --crlf) # the standard stream writes each LF as CRLF
    endif()

    set(cases ${PROJECT_SOURCE_DIR}/tests/${arg_GROUP}/${program})
    file(GLOB outputs CONFIGURE_DEPENDS ${cases}/*.out)
    file(GLOB waiting CONFIGURE_DEPENDS ${cases}/*.waiting)
    file(GLOB shapes CONFIGURE_DEPENDS ${cases}/*.shape)
    set(plain "")
    foreach(file IN LISTS outputs)
        get_filename_component(case ${file} NAME_WLE)
        if(case MATCHES "^(.+)\\.(libc\\+\\+|libstdc\\+\\+)$")
            if(NOT CMAKE_MATCH_2 STREQUAL exercise_stdlib)
                continue()
            endif()
            set(case ${CMAKE_MATCH_1})
        endif()
        list(APPEND plain ${case})
    endforeach()
    set(names ${plain} output-full output-closed)
    if(plain MATCHES "(^|;)plain(;|$)")
        list(APPEND names input-left-open)
    endif()
    foreach(file IN LISTS waiting)
        get_filename_component(case ${file} NAME_WLE)
        list(APPEND names ${case})
    endforeach()

    foreach(case IN LISTS names)
        set(labels "")
        if(EXISTS ${cases}/${case}.labels)
            file(STRINGS ${cases}/${case}.labels labels REGEX "^[a-z-]+$")
        elseif(case MATCHES "^output-")
            set(labels departure)
        endif()
        add_test(NAME ${prefix}.${case} COMMAND ${check} --case ${prefix}.${case})
        set_tests_properties(${prefix}.${case} PROPERTIES LABELS "${labels}")
        if(CONSOLE_EXERCISES_VALGRIND AND case IN_LIST plain)
            add_test(NAME memcheck.${prefix}.${case}
                     COMMAND ${check} --case ${prefix}.${case} --memcheck)
            set_tests_properties(memcheck.${prefix}.${case} PROPERTIES LABELS "memcheck;${labels}")
        endif()
    endforeach()

    # Random inputs.
    foreach(file IN LISTS shapes)
        get_filename_component(case ${file} NAME_WLE)
        add_test(NAME ${prefix}.${case}
                 COMMAND ${check} --case ${prefix}.${case}
                         --stress-runs ${CONSOLE_EXERCISES_STRESS_RUNS}
                         --seed ${CONSOLE_EXERCISES_STRESS_SEED})
        set_tests_properties(${prefix}.${case} PROPERTIES LABELS stress TIMEOUT 600)
        if(CONSOLE_EXERCISES_SANITIZE)
            # The leak check at each exit triples the cost of a run; the programs allocate the
            # same whatever the input, and the plain cases check their leaks.
            set_tests_properties(${prefix}.${case} PROPERTIES
                                 ENVIRONMENT "ASAN_OPTIONS=detect_leaks=0:abort_on_error=0")
        endif()
    endforeach()
endfunction()
