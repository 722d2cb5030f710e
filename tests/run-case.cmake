# Runs a program once and compares what it writes to standard output with the expected bytes.
#
#   cmake -DPROGRAM=<exe> -DEXPECTED=<file> -DACTUAL=<file> [-DINPUT=<file>] [-DARGS_FILE=<file>]
#         [-DVALGRIND=<exe>] -P run-case.cmake
#
# With INPUT, the program reads that file as standard input and must exit with status 0 and
# write nothing to standard error. Without INPUT (POSIX hosts only), standard input is a pipe
# that stays open and empty: the program must still be waiting for input after a while, and
# what it has written by then must already have reached standard output.

set(wait_seconds 2)

set(arguments "")
if(ARGS_FILE)
    file(STRINGS "${ARGS_FILE}" arguments)
endif()
set(command "${PROGRAM}" ${arguments})
if(VALGRIND)
    set(command "${VALGRIND}" --quiet --error-exitcode=99 --track-origins=yes --leak-check=full
                --errors-for-leak-kinds=definite,indirect ${command})
endif()

get_filename_component(actual_dir "${ACTUAL}" DIRECTORY)
file(MAKE_DIRECTORY "${actual_dir}")

set(problems "")
if(DEFINED INPUT)
    execute_process(COMMAND ${command}
        INPUT_FILE "${INPUT}" OUTPUT_FILE "${ACTUAL}" ERROR_VARIABLE errors RESULT_VARIABLE status)
    if(NOT status STREQUAL "0")
        string(APPEND problems "exit status: ${status} (expected 0)\n")
    endif()
else()
    # Standard input is a named pipe that the program opens for reading and writing: it holds
    # the write end itself, so its read waits for ever instead of meeting the end of input. A
    # pipe from a sleeping process would not do: when the time runs out, the sleeping process
    # may be killed first, and the program then meets the end of input and finishes its output
    # before it is killed too, whether its prompt had shown or not.
    set(fifo "${ACTUAL}.stdin")
    file(REMOVE "${fifo}")
    execute_process(COMMAND sh -c [[mkfifo "$0" && exec "$1" 0<>"$0"]] "${fifo}" "${PROGRAM}"
        OUTPUT_FILE "${ACTUAL}" ERROR_VARIABLE errors RESULT_VARIABLE status
        TIMEOUT ${wait_seconds})
    file(REMOVE "${fifo}")
    if(NOT status MATCHES "timeout")
        string(APPEND problems "the program did not wait for input (status: ${status})\n")
    endif()
endif()
if(NOT errors STREQUAL "")
    string(APPEND problems "standard error was not empty:\n${errors}\n")
endif()

execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${EXPECTED}" "${ACTUAL}"
    RESULT_VARIABLE differ OUTPUT_QUIET ERROR_QUIET)
if(differ)
    # Show both texts with every line end spelled out, since a missing or extra one is the
    # usual difference.
    foreach(which IN ITEMS EXPECTED ACTUAL)
        file(READ "${${which}}" text)
        string(REPLACE "\r" "\\r" text "${text}")
        string(REPLACE "\n" "\\n\n" text "${text}")
        string(TOLOWER ${which} label)
        string(APPEND problems "${label} output (${${which}}):\n${text}<end>\n")
    endforeach()
endif()

if(NOT problems STREQUAL "")
    # A plain message keeps the texts as they are; FATAL_ERROR would reflow them.
    message("${PROGRAM} ${arguments}\n${problems}")
    message(FATAL_ERROR "the case failed")
endif()
