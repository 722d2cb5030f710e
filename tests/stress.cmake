# Runs a program on many random inputs. Every run must exit with status 0, write nothing to
# standard error (where sanitizers report) and write output of the expected shape.
#
#   cmake -DPROGRAM=<exe> [-DEMULATOR=<command>] [-DCRLF=ON] -DSHAPE=<file> -DRUNS=<n>
#         -DSEED=<n> -DWORK_DIR=<dir> -P stress.cmake
#
# The shape file holds the expected output, with <int> where an integer stands and <num>
# where a floating-point value stands (including inf, nan and -0). With CRLF, every LF of the
# shape stands for CRLF: the output is matched with its CRLFs read as LFs, and its bytes must
# hold a CR before every LF and nowhere else (without CRLF, no CR at all). A run may take
# TIMEOUT seconds (default 10); the first run that takes longer ends the test.

if(NOT TIMEOUT)
    set(TIMEOUT 10)
endif()

file(READ "${SHAPE}" shape)
string(REGEX REPLACE "([][.*+?^$()|\\])" "\\\\\\1" pattern "${shape}")
string(REPLACE "<int>" "-?[0-9]+" pattern "${pattern}")
string(REPLACE "<num>" "-?(inf|nan|[0-9]+(\\.[0-9]+)?(e[-+][0-9]+)?)" pattern "${pattern}")
set(pattern "^${pattern}$")

# An input is a run of pieces: numbers, signs, blanks, line ends, points, commas, exponents,
# letters, words that some libraries read as numbers, bytes outside ASCII, and a digit run
# hundreds long (LONG).
string(ASCII 195 169 e_acute)
string(ASCII 255 byte_ff)
set(pieces 0 7 42 170 2147483647 2147483648 - + " " "\n" "\t" "\r" . , e E e+ e- 1e2 1e39
           x abc inf nan 0x1f "${e_acute}" "${byte_ff}" LONG)
list(LENGTH pieces piece_count)
string(SUBSTRING "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ" 0 ${piece_count}
       piece_keys)
set(count_keys "0123456789abcdef") # 0 to 15 pieces an input, so about 1 in 16 inputs is empty

message("${RUNS} random inputs, seed ${SEED}")
string(RANDOM LENGTH 1 ALPHABET "${count_keys}" RANDOM_SEED ${SEED} unused)
file(MAKE_DIRECTORY "${WORK_DIR}")
set(input_file "${WORK_DIR}/input")
set(output_file "${WORK_DIR}/output")
set(errors_file "${WORK_DIR}/errors")
set(command ${EMULATOR} "${PROGRAM}")
if(CMAKE_HOST_UNIX)
    set(command sh -c "ulimit -f 2048 2>/dev/null || true\n exec \"\$@\"" sh ${command})
endif()
set(broken 0)

foreach(run RANGE 1 ${RUNS})
    string(RANDOM LENGTH 1 ALPHABET "${count_keys}" key)
    string(FIND "${count_keys}" "${key}" count)
    set(input "")
    foreach(unused RANGE 1 ${count})
        if(count EQUAL 0)
            break()
        endif()
        string(RANDOM LENGTH 1 ALPHABET "${piece_keys}" key)
        string(FIND "${piece_keys}" "${key}" index)
        list(GET pieces ${index} piece)
        if(piece STREQUAL "LONG")
            string(RANDOM LENGTH 300 ALPHABET "0123456789" piece)
        endif()
        string(APPEND input "${piece}")
    endforeach()

    file(WRITE "${input_file}" "${input}")
    # The output is read back from a file, as bytes: an output variable would drop a CR.
    execute_process(COMMAND ${command} INPUT_FILE "${input_file}" OUTPUT_FILE "${output_file}"
        ERROR_FILE "${errors_file}" RESULT_VARIABLE status TIMEOUT ${TIMEOUT})
    file(READ "${output_file}" output) # reads each CRLF as LF: the CRs are counted apart
    file(READ "${errors_file}" errors)
    file(READ "${output_file}" bytes HEX)
    string(REGEX REPLACE "(..)" "\\1 " bytes "${bytes}") # one byte a word
    string(REGEX MATCHALL "0a " line_ends "${bytes}")
    string(REGEX MATCHALL "0d 0a " crlf_line_ends "${bytes}")
    string(REGEX MATCHALL "0d " crs "${bytes}")
    list(LENGTH line_ends line_ends)
    list(LENGTH crlf_line_ends crlf_line_ends)
    list(LENGTH crs crs)
    set(line_ends_right TRUE)
    if(NOT crs EQUAL crlf_line_ends OR (CRLF AND NOT crlf_line_ends EQUAL line_ends)
       OR (NOT CRLF AND crs GREATER 0))
        set(line_ends_right FALSE)
    endif()
    if(NOT status STREQUAL "0" OR NOT errors STREQUAL "" OR NOT output MATCHES "${pattern}"
       OR NOT line_ends_right)
        math(EXPR broken "${broken} + 1")
        # A runaway output is cut short; the input is shown in full.
        string(SUBSTRING "${output}" 0 2000 output)
        string(SUBSTRING "${errors}" 0 2000 errors)
        foreach(text IN ITEMS input output errors)
            string(REPLACE "\r" "\\r" ${text} "${${text}}")
            string(REPLACE "\t" "\\t" ${text} "${${text}}")
            string(REPLACE "\n" "\\n" ${text} "${${text}}")
        endforeach()
        message("run ${run} broke\n  input:  ${input}<end>\n  status: ${status}\n"
                "  output: ${output}<end>\n  line ends: ${line_ends}, ${crlf_line_ends} of them "
                "CRLF; CRs: ${crs}\n  errors: ${errors}")
        if(status MATCHES "timeout")
            message("the program did not finish within ${TIMEOUT} s: no more runs")
            break()
        endif()
    endif()
endforeach()

message("${broken} broken runs out of ${RUNS}")
if(broken GREATER 0)
    message(FATAL_ERROR "some runs broke")
endif()
