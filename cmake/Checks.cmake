# Static analysis and format checks, as build targets:
#   tidy          clang-tidy with the checks in .clang-tidy, over the programs
#   cppcheck      cppcheck's warning, style, performance and portability checks over the
#                 programs, and all but style over exercise-check
#   check-format  clang-format in dry-run mode over both; fails on any difference
#   format        clang-format in place
# A target is left out, with a message, when its tool is not installed.

get_property(sources GLOBAL PROPERTY CONSOLE_EXERCISES_SOURCES)
file(GLOB_RECURSE tool_units ${PROJECT_SOURCE_DIR}/exercise-check/*.cpp
     ${PROJECT_SOURCE_DIR}/tests/hostile/listener.cpp)
file(GLOB_RECURSE tool_headers ${PROJECT_SOURCE_DIR}/exercise-check/*.h)
set(tool_sources ${tool_units} ${tool_headers})
set(tool_includes "")
foreach(layer IN ITEMS sandbox judging handins reports command testing)
    list(APPEND tool_includes -I ${PROJECT_SOURCE_DIR}/exercise-check/${layer})
endforeach()

find_program(CONSOLE_EXERCISES_CLANG_TIDY clang-tidy)
find_program(CONSOLE_EXERCISES_CPPCHECK cppcheck)
find_program(CONSOLE_EXERCISES_CLANG_FORMAT clang-format)

if(CONSOLE_EXERCISES_CLANG_TIDY)
    # One clang-tidy a source, so that they run side by side; a source is checked again when it,
    # the checks or the compile commands change, or until it passes.
    set(stamps "")
    foreach(source IN LISTS sources)
        get_filename_component(name ${source} NAME)
        set(stamp ${PROJECT_BINARY_DIR}/tidy/${name}.passed)
        add_custom_command(OUTPUT ${stamp}
            COMMAND ${CONSOLE_EXERCISES_CLANG_TIDY} -p ${PROJECT_BINARY_DIR} --quiet ${source}
            COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
            DEPENDS ${source} ${PROJECT_SOURCE_DIR}/.clang-tidy
                    ${PROJECT_BINARY_DIR}/compile_commands.json
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
            COMMENT "clang-tidy ${name}" VERBATIM)
        list(APPEND stamps ${stamp})
    endforeach()
    add_custom_target(tidy DEPENDS ${stamps})
else()
    message(STATUS "clang-tidy not found: no tidy target")
endif()

if(CONSOLE_EXERCISES_CPPCHECK)
    add_custom_target(cppcheck
        COMMAND ${CONSOLE_EXERCISES_CPPCHECK} --enable=warning,style,performance,portability
                --std=c++17 --error-exitcode=1 --inline-suppr --quiet ${sources}
        COMMAND ${CONSOLE_EXERCISES_CPPCHECK} --enable=warning,performance,portability
                --std=c++17 --language=c++ --error-exitcode=1 --inline-suppr --quiet
                ${tool_includes} ${tool_units}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} USES_TERMINAL VERBATIM)
else()
    message(STATUS "cppcheck not found: no cppcheck target")
endif()

if(CONSOLE_EXERCISES_CLANG_FORMAT)
    add_custom_target(check-format
        COMMAND ${CONSOLE_EXERCISES_CLANG_FORMAT} --dry-run -Werror ${sources} ${tool_sources}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} USES_TERMINAL VERBATIM)
    add_custom_target(format
        COMMAND ${CONSOLE_EXERCISES_CLANG_FORMAT} -i ${sources} ${tool_sources}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR} USES_TERMINAL VERBATIM)
else()
    message(STATUS "clang-format not found: no check-format or format target")
endif()
