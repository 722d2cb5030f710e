# Runs a program once and checks its exit status, its standard error and the exact bytes it
# writes to standard output.
#
#   cmake -DPROGRAM=<exe> [-DEMULATOR=<command>] [-DARGS_FILE=<file>] [-DINPUT=<file>]
#         [-DEXPECTED=<file>] -DACTUAL=<file> [options] -P run-case.cmake
#
# Standard input is INPUT, or empty. Options:
#   INPUT_STAYS_OPEN=ON  after INPUT, standard input stays open instead of ending (POSIX hosts):
#                        the program must finish all the same, or with EXPECT_WAITING=ON it must
#                        still be waiting for more after a while, with EXPECTED written by then.
#   STDOUT=full|closed   standard output is /dev/full, or closed: nothing is compared.
#   EXPECT_STATUS=<n>    the exit status required (default 0).
#   CRLF=ON              the program writes CRLF line ends: every LF of EXPECTED stands for CRLF.
#   VALGRIND=<exe>       run under valgrind memcheck; any error it finds fails the case.
#   TIMEOUT=<seconds>    how long the program may run (default 10).
#   BUILD_DIR=<dir> BUILD_TARGET=<target>
#                        instead of a run: build PROGRAM afresh, and fail if it does not build.

# Sets <out> to the bytes written as hexadecimal in <hex>, readable: each line end shows as \n
# (and a CR as \r) before the real line end, and a byte that is not printable ASCII as \xHH.
function(show_bytes hex out)
    set(text "")
    string(REGEX MATCHALL ".." bytes "${hex}")
    foreach(byte IN LISTS bytes)
        math(EXPR code "0x${byte}")
        if(byte STREQUAL "0a")
            string(APPEND text "\\n\n")
        elseif(byte STREQUAL "0d")
            string(APPEND text "\\r")
        elseif(byte STREQUAL "09")
            string(APPEND text "\\t")
        elseif(code GREATER_EQUAL 32 AND code LESS 127)
            string(ASCII ${code} char)
            string(APPEND text "${char}")
        else()
            string(APPEND text "\\x${byte}")
        endif()
    endforeach()
    set(${out} "${text}" PARENT_SCOPE)
endfunction()

if(BUILD_TARGET)
    # A source that does not build must not leave an older build of it behind to be checked.
    file(REMOVE "${PROGRAM}")
    execute_process(COMMAND "${CMAKE_COMMAND}" --build "${BUILD_DIR}" --target "${BUILD_TARGET}"
        OUTPUT_VARIABLE log ERROR_VARIABLE log RESULT_VARIABLE status)
    message("${log}")
    if(NOT status STREQUAL "0" OR NOT EXISTS "${PROGRAM}")
        message(FATAL_ERROR "${BUILD_TARGET} did not build: its cases fail")
    endif()
    return()
endif()

set(wait_seconds 2)
if(NOT TIMEOUT)
    set(TIMEOUT 10)
endif()
if(NOT DEFINED EXPECT_STATUS)
    set(EXPECT_STATUS 0)
endif()
set(max_output_blocks 2048) # 1 MiB in 512-byte blocks: where a runaway program is stopped

set(arguments "")
if(ARGS_FILE)
    file(STRINGS "${ARGS_FILE}" arguments)
endif()
set(command ${EMULATOR} "${PROGRAM}" ${arguments})
if(VALGRIND)
    set(command "${VALGRIND}" --quiet --error-exitcode=99 --track-origins=yes --leak-check=full
                --errors-for-leak-kinds=definite,indirect ${command})
endif()

if(NOT EXISTS "${PROGRAM}")
    message(FATAL_ERROR "${PROGRAM} does not exist: the program was not built (did it compile?)")
endif()

get_filename_component(actual_dir "${ACTUAL}" DIRECTORY)
file(MAKE_DIRECTORY "${actual_dir}")
set(errors_file "${ACTUAL}.stderr")
set(input_file "${INPUT}")
if(NOT input_file)
    set(input_file "${actual_dir}/empty.in")
    file(TOUCH "${input_file}")
endif()

if(CMAKE_HOST_UNIX)
    # A shell sets the stage and then becomes the program: it caps the size of what the program
    # may write, and redirects standard input and output where the case asks.
    # (Line ends, not semicolons, separate its commands: a semicolon would split the list.)
    set(script "ulimit -f ${max_output_blocks} 2>/dev/null || true\n")
    if(INPUT_STAYS_OPEN)
        # Standard input is a named pipe that the program holds open for reading and writing: it
        # reads the case's input from it, and then waits for ever instead of meeting the end of
        # input. A pipe from a sleeping process would not do: when the time runs out, the
        # sleeping process may be killed first, and the program then meets the end of input and
        # finishes its output before it is killed too, whether its prompt had shown or not.
        set(fifo "${ACTUAL}.stdin")
        file(REMOVE "${fifo}")
        string(APPEND script [[ mkfifo "$FIFO" && exec 0<>"$FIFO" && cat >&0 <"$INPUT_FILE" &&]])
        set(ENV{FIFO} "${fifo}")
        set(ENV{INPUT_FILE} "${input_file}")
        set(input_file "")
    endif()
    if(STDOUT STREQUAL "full")
        string(APPEND script [[ exec "$@" >/dev/full]])
    elseif(STDOUT STREQUAL "closed")
        string(APPEND script [[ exec "$@" >&-]])
    else()
        string(APPEND script [[ exec "$@"]])
    endif()
    set(command sh -c "${script}" sh ${command})
endif()
set(timeout ${TIMEOUT})
if(EXPECT_WAITING)
    set(timeout ${wait_seconds})
endif()
if(input_file)
    set(stdin INPUT_FILE "${input_file}")
else()
    set(stdin "")
endif()
execute_process(COMMAND ${command} ${stdin} OUTPUT_FILE "${ACTUAL}" ERROR_FILE "${errors_file}"
    RESULT_VARIABLE status TIMEOUT ${timeout})
if(fifo)
    file(REMOVE "${fifo}")
endif()

set(problems "")
if(EXPECT_WAITING)
    if(NOT status MATCHES "timeout")
        string(APPEND problems "the program did not wait for more input (status: ${status})\n")
    endif()
elseif(status MATCHES "timeout")
    string(APPEND problems "the program did not finish within ${TIMEOUT} s")
    if(INPUT_STAYS_OPEN)
        string(APPEND problems ": it waits for more input than the case gives")
    endif()
    string(APPEND problems "\n")
elseif(NOT status STREQUAL EXPECT_STATUS)
    string(APPEND problems "exit status: ${status} (expected ${EXPECT_STATUS})\n")
endif()
file(READ "${errors_file}" errors)
if(NOT errors STREQUAL "")
    string(APPEND problems "standard error was not empty:\n${errors}\n")
endif()

if(NOT STDOUT)
    set(expected_file "${EXPECTED}")
    if(CRLF)
        file(READ "${EXPECTED}" text)
        string(REPLACE "\n" "\r\n" text "${text}")
        set(expected_file "${ACTUAL}.expected")
        file(WRITE "${expected_file}" "${text}")
    endif()
    execute_process(COMMAND "${CMAKE_COMMAND}" -E compare_files "${expected_file}" "${ACTUAL}"
        RESULT_VARIABLE differ OUTPUT_QUIET ERROR_QUIET)
    if(differ)
        # The files are read as hexadecimal bytes: read as text, every CR before an LF is lost.
        file(READ "${expected_file}" expected HEX)
        file(READ "${ACTUAL}" actual HEX)

        # Where the two first differ: the longest common prefix, in bytes, found by halving.
        string(LENGTH "${expected}" expected_length)
        string(LENGTH "${actual}" actual_length)
        set(low 0)
        set(high ${expected_length})
        if(actual_length LESS high)
            set(high ${actual_length})
        endif()
        math(EXPR high "${high} / 2")
        while(low LESS high)
            math(EXPR middle "(${low} + ${high} + 1) / 2")
            math(EXPR digits "${middle} * 2")
            string(SUBSTRING "${expected}" 0 ${digits} a)
            string(SUBSTRING "${actual}" 0 ${digits} b)
            if(a STREQUAL b)
                set(low ${middle})
            else()
                math(EXPR high "${middle} - 1")
            endif()
        endwhile()
        math(EXPR digits "${low} * 2")
        string(SUBSTRING "${expected}" 0 ${digits} same)
        string(REGEX REPLACE "(..)" "\\1 " same "${same}") # one byte a word: " 0a" is an LF
        string(REGEX MATCHALL "0a " line_ends "${same}")
        list(LENGTH line_ends line)
        math(EXPR line "${line} + 1")
        string(FIND " ${same}" " 0a " last_line_end REVERSE)
        if(last_line_end LESS 0)
            math(EXPR column "${low} + 1")
        else()
            math(EXPR column "${low} - ${last_line_end} / 3")
        endif()
        foreach(which IN ITEMS expected actual)
            string(SUBSTRING "${${which}}" ${digits} 2 byte)
            show_bytes("${byte}" ${which}_byte)
            if(${which}_byte STREQUAL "")
                set(${which}_byte "the end of the output")
            elseif(${which}_byte STREQUAL " ")
                set(${which}_byte "a blank")
            else()
                string(STRIP "${${which}_byte}" ${which}_byte) # no real line end after a \n
                set(${which}_byte "'${${which}_byte}'")
            endif()
        endforeach()
        string(APPEND problems "first difference at line ${line}, column ${column}: expected "
                               "${expected_byte}, got ${actual_byte}\n")

        # Both texts with every line end spelled out, since a missing or extra one is the usual
        # difference. A long output is cut short: the first difference is what matters.
        foreach(which IN ITEMS expected actual)
            string(SUBSTRING "${${which}}" 0 4000 shown)
            show_bytes("${shown}" text)
            string(LENGTH "${${which}}" length)
            if(length GREATER 4000)
                math(EXPR rest "(${length} - 4000) / 2")
                string(APPEND text "... and ${rest} bytes more")
            endif()
            string(APPEND problems "${which} output:\n${text}<end>\n")
        endforeach()
    endif()
endif()

if(NOT problems STREQUAL "")
    # A plain message keeps the texts as they are; FATAL_ERROR would reflow them.
    string(REPLACE ";" " " shown "${PROGRAM} ${arguments}")
    message("${shown}\n${problems}")
    message(FATAL_ERROR "the case failed")
endif()
