# With CONSOLE_EXERCISES_STATIC on, the programs are linked fully statically, so that they start
# without loading the C++ runtime and run on Linux systems that lack a matching one. Where the
# toolchain cannot link that way, the programs are linked normally and a message says so.
if(NOT CONSOLE_EXERCISES_STATIC)
    return()
endif()

include(CheckCXXSourceCompiles)
set(CMAKE_REQUIRED_LINK_OPTIONS -static)
check_cxx_source_compiles([[
#include <iostream>
int main() { std::cout << 1.5F << std::endl; return 0; }
]] CONSOLE_EXERCISES_CAN_LINK_STATICALLY)
unset(CMAKE_REQUIRED_LINK_OPTIONS)

if(CONSOLE_EXERCISES_CAN_LINK_STATICALLY AND NOT CONSOLE_EXERCISES_SANITIZE)
    set(CONSOLE_EXERCISES_LINK_STATIC ON) # add_exercise links each program so
    message(STATUS "Programs are linked statically")
else()
    message(WARNING "CONSOLE_EXERCISES_STATIC is on, but this toolchain cannot link a C++ program "
                    "statically (or sanitizers are on): the programs are linked normally.")
endif()
