# Checking someone's own programs: with CONSOLE_EXERCISES_SOLUTIONS set (the solutions preset
# sets it from the environment variable SOLUTIONS), add_exercise takes each program's source from
# that folder, and the golden suite checks those programs instead of this project's own.
if(NOT DEFINED CONSOLE_EXERCISES_SOLUTIONS)
    return()
endif()

if(CONSOLE_EXERCISES_SOLUTIONS STREQUAL "")
    message(FATAL_ERROR "SOLUTIONS is not set. Name the folder that holds the programs to check:\n"
                        "  SOLUTIONS=path/to/folder cmake --workflow --preset solutions")
endif()
get_filename_component(CONSOLE_EXERCISES_SOLUTIONS "${CONSOLE_EXERCISES_SOLUTIONS}" ABSOLUTE
                       BASE_DIR "${PROJECT_SOURCE_DIR}")
if(NOT IS_DIRECTORY "${CONSOLE_EXERCISES_SOLUTIONS}")
    message(FATAL_ERROR "SOLUTIONS is not a folder: ${CONSOLE_EXERCISES_SOLUTIONS}")
endif()
message(STATUS "Checking the programs in ${CONSOLE_EXERCISES_SOLUTIONS}")

# Their sources are not this project's: their warnings are shown, never errors.
set(CMAKE_COMPILE_WARNING_AS_ERROR OFF)

# Lists which programs are checked and which are left out; fails where none is there.
function(report_solutions)
    get_property(checked GLOBAL PROPERTY CONSOLE_EXERCISES_CHECKED)
    get_property(left_out GLOBAL PROPERTY CONSOLE_EXERCISES_LEFT_OUT)
    if(NOT checked)
        string(REPLACE ";" ".cpp, " names "${left_out}")
        message(FATAL_ERROR "${CONSOLE_EXERCISES_SOLUTIONS} holds none of the programs: "
                            "expected one or more of ${names}.cpp")
    endif()
    string(REPLACE ";" " " checked "${checked}")
    message(STATUS "Checked: ${checked}")
    if(left_out)
        string(REPLACE ";" " " left_out "${left_out}")
        message(STATUS "Left out, no source: ${left_out}")
    endif()
endfunction()
