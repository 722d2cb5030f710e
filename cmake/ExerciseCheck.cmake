# exercise-check, the judge, also runs this project's own cases. It must run on the build
# machine: when the programs are built for another system (or CONSOLE_EXERCISES_HOST_TOOL is on,
# as for 32-bit builds on a 64-bit machine), a separate build of this project for the build
# machine makes it, under <build>/host. CONSOLE_EXERCISES_CHECK is the command the tests run.
set(CONSOLE_EXERCISES_CHECKED_CXX ${CMAKE_CXX_COMPILER})

if(NOT CMAKE_CROSSCOMPILING AND NOT CONSOLE_EXERCISES_HOST_TOOL)
    add_library(exercise_tool_options INTERFACE)
    target_link_libraries(exercise_tool_options INTERFACE exercise_options)
    add_subdirectory(exercise-check)
    set(CONSOLE_EXERCISES_CHECK $<TARGET_FILE:exercise-check>)
    return()
endif()

include(ExternalProject)
set(host_build ${PROJECT_BINARY_DIR}/host)
ExternalProject_Add(host-exercise-check
    SOURCE_DIR ${PROJECT_SOURCE_DIR}
    BINARY_DIR ${host_build}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCONSOLE_EXERCISES_TOOL_ONLY=ON
               -DCMAKE_COMPILE_WARNING_AS_ERROR=${CMAKE_COMPILE_WARNING_AS_ERROR}
    BUILD_COMMAND ${CMAKE_COMMAND} --build ${host_build} --target exercise-check
    BUILD_BYPRODUCTS ${host_build}/exercise-check/exercise-check
    INSTALL_COMMAND ""
    BUILD_ALWAYS ON
    USES_TERMINAL_BUILD ON)
set(CONSOLE_EXERCISES_CHECK ${host_build}/exercise-check/exercise-check)
