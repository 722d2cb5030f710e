# exercise-check, the judge, also runs this project's own cases. It must run on the build
# machine: when the programs are built for another system (or CONSOLE_EXERCISES_HOST_TOOL is on,
# as for 32-bit builds on a 64-bit machine), a separate build of this project for the build
# machine makes it, under <build>/host. CONSOLE_EXERCISES_CHECK is the command the tests run.
#
# CONSOLE_EXERCISES_CHECK_TOOL names an exercise-check already built for this machine (by
# another build tree): the cases then run with it, and this tree builds none. It is not rebuilt
# when the judge's sources change; that is up to its own tree.
set(CONSOLE_EXERCISES_CHECKED_CXX ${CMAKE_CXX_COMPILER})
set(CONSOLE_EXERCISES_CHECK_TOOL "" CACHE FILEPATH
    "An exercise-check built elsewhere for this machine, to run the cases with in place of one built here")
# Off where nobody will debug the build, as in CI: exercise-check and its unit tests compile
# about a sixth faster without debug information. The programs keep theirs.
option(CONSOLE_EXERCISES_CHECK_DEBUG_INFO
       "Compile exercise-check with debug information where the build type asks for it" ON)
# The standard library's and the JSON library's headers, compiled once for all of exercise-check's
# sources and once for its unit tests, rather than once a source.
option(CONSOLE_EXERCISES_CHECK_PRECOMPILED_HEADERS
       "Compile exercise-check with precompiled headers" ON)

if(NOT CMAKE_HOST_UNIX)
    message(WARNING "exercise-check starts processes the POSIX way only: on this host it is not "
                    "built, and no case is registered")
    set(CONSOLE_EXERCISES_CHECK "")
    return()
endif()

if(CONSOLE_EXERCISES_CHECK_TOOL)
    if(NOT EXISTS ${CONSOLE_EXERCISES_CHECK_TOOL} OR IS_DIRECTORY ${CONSOLE_EXERCISES_CHECK_TOOL})
        message(FATAL_ERROR "CONSOLE_EXERCISES_CHECK_TOOL names ${CONSOLE_EXERCISES_CHECK_TOOL}, "
                            "which is not a built exercise-check")
    endif()
    message(STATUS "The cases run with ${CONSOLE_EXERCISES_CHECK_TOOL}")
    # Under the judge's own name, for the tests that run it directly.
    add_executable(exercise-check IMPORTED)
    set_target_properties(exercise-check PROPERTIES IMPORTED_LOCATION ${CONSOLE_EXERCISES_CHECK_TOOL})
    set(CONSOLE_EXERCISES_CHECK ${CONSOLE_EXERCISES_CHECK_TOOL})
elseif(NOT CMAKE_CROSSCOMPILING AND NOT CONSOLE_EXERCISES_HOST_TOOL)
    add_library(exercise_tool_options INTERFACE)
    target_link_libraries(exercise_tool_options INTERFACE exercise_options)
    if(NOT CONSOLE_EXERCISES_CHECK_DEBUG_INFO AND NOT MSVC)
        target_compile_options(exercise_tool_options INTERFACE -g0)
    endif()
    add_subdirectory(exercise-check)
    set(CONSOLE_EXERCISES_CHECK $<TARGET_FILE:exercise-check>)
    return()
endif()

# A 64-bit system may lack the kernel's support for 32-bit programs: they then run under
# qemu's user-mode emulator, where there is one.
if(NOT CMAKE_CROSSCOMPILING AND CONSOLE_EXERCISES_HOST_TOOL)
    file(WRITE ${PROJECT_BINARY_DIR}/runs-here.cpp "int main() { return 0; }\n")
    try_run(runs_here compiles_here ${PROJECT_BINARY_DIR}/runs-here
            SOURCES ${PROJECT_BINARY_DIR}/runs-here.cpp)
    if(compiles_here AND NOT runs_here STREQUAL "0")
        find_program(CONSOLE_EXERCISES_QEMU NAMES qemu-i386 qemu-i386-static)
        if(NOT CONSOLE_EXERCISES_QEMU)
            message(FATAL_ERROR "This system cannot run the programs of this build, and qemu's "
                                "user-mode emulator is not installed: apt-get install qemu-user")
        endif()
        message(STATUS "This system cannot run the programs of this build: they run under "
                       "${CONSOLE_EXERCISES_QEMU}")
        set(CMAKE_CROSSCOMPILING_EMULATOR ${CONSOLE_EXERCISES_QEMU})
    endif()
endif()

if(CONSOLE_EXERCISES_CHECK_TOOL)
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
