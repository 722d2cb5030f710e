# add_exercise(<program> IN <source folder>)
#
# Builds <source folder>/<program>.cpp into an executable named <program> and installs it. The
# top-level CMakeLists.txt calls it for each exercise of the catalogue, tests/exercises.json.
#
# add_exercise_cases() then registers every case of every exercise as a CTest test, as the
# checker lists them (exercise-check --list-cases): after the checker is built, the list is
# turned into tests by cmake/DiscoverCases.cmake, and CTest reads them from the build tree. Each
# case runs as exercise-check --built <folder> --case <group>.<program>.<case>. The case data
# is described in tests/README.md.

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
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "IN" "")
    set(source ${PROJECT_SOURCE_DIR}/${arg_IN}/${program}.cpp)
    add_executable(${program} ${source})
    target_link_libraries(${program} PRIVATE exercise_program_options)
    if(CONSOLE_EXERCISES_LINK_STATIC)
        target_link_options(${program} PRIVATE -static)
    endif()
    install(TARGETS ${program})
    set_property(GLOBAL APPEND PROPERTY CONSOLE_EXERCISES_SOURCES ${source})
    set_property(GLOBAL APPEND PROPERTY CONSOLE_EXERCISES_PROGRAMS ${program})
endfunction()

function(add_exercise_cases)
    if(NOT CONSOLE_EXERCISES_CHECK)
        return()
    endif()
    get_property(programs GLOBAL PROPERTY CONSOLE_EXERCISES_PROGRAMS)
    list(GET programs 0 first)
    # The checker runs the built programs; our own run without the sandbox, which neither wine
    # nor the sanitizers' address space would fit in.
    set(check ${CONSOLE_EXERCISES_CHECK} --built $<TARGET_FILE_DIR:${first}> --strict
              --no-sandbox --stdlib ${exercise_stdlib} --timeout ${CONSOLE_EXERCISES_CASE_TIMEOUT})
    if(CONSOLE_EXERCISES_SANITIZE)
        list(APPEND check --memory 0) # the sanitizers reserve terabytes of address space
    endif()
    if(CMAKE_CROSSCOMPILING_EMULATOR)
        # One word, its parts joined by blanks: the list of tests would split it at semicolons.
        list(APPEND check
             "--emulator=$<JOIN:$<TARGET_PROPERTY:${first},CROSSCOMPILING_EMULATOR>, >")
    endif()
    if(WIN32)
        list(APPEND check --crlf) # the standard stream writes each LF as CRLF
    endif()
    set(fixtures "")
    if(CONSOLE_EXERCISES_WINE_SERVER)
        set(fixtures wine)
    endif()
    set(memcheck OFF)
    if(CONSOLE_EXERCISES_VALGRIND)
        set(memcheck ON)
    endif()

    set(folder ${PROJECT_BINARY_DIR}/cases)
    set(tests ${folder}/tests.cmake)
    file(GENERATE OUTPUT ${folder}/settings.cmake CONTENT "\
set(check [==[${check}]==])
set(list_command [==[${CONSOLE_EXERCISES_CHECK};--list-cases;--stdlib;${exercise_stdlib}]==])
set(stress_runs ${CONSOLE_EXERCISES_STRESS_RUNS})
set(stress_seed ${CONSOLE_EXERCISES_STRESS_SEED})
set(memcheck ${memcheck})
set(sanitize ${CONSOLE_EXERCISES_SANITIZE})
set(fixtures [==[${fixtures}]==])
")
    add_custom_target(exercise-cases ALL
        COMMAND ${CMAKE_COMMAND} -DSETTINGS=${folder}/settings.cmake -DOUTPUT=${tests}
                -P ${PROJECT_SOURCE_DIR}/cmake/DiscoverCases.cmake
        BYPRODUCTS ${tests}
        COMMENT "Listing the cases of the exercises"
        VERBATIM)
    if(TARGET exercise-check)
        add_dependencies(exercise-cases exercise-check)
    elseif(TARGET host-exercise-check)
        add_dependencies(exercise-cases host-exercise-check)
    endif()
    add_dependencies(exercise-cases ${programs})
    # Before the first build there is nothing to read: one test says so.
    file(WRITE ${folder}/include.cmake "\
if(EXISTS [==[${tests}]==])
    include([==[${tests}]==])
else()
    add_test(cases.not-listed [==[${CMAKE_COMMAND}]==] -E echo
             \"the cases are listed when the project is built: cmake --build first\")
    set_tests_properties(cases.not-listed PROPERTIES WILL_FAIL ON)
endif()
")
    set_property(DIRECTORY APPEND PROPERTY TEST_INCLUDE_FILES ${folder}/include.cmake)
endfunction()
