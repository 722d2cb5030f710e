# Moodle VPL: a folder as a VPL jail prepares it (the submitted files, vpl_environment.sh with the
# file names and the grade range), vpl_evaluate.sh run there and then the vpl_execution it
# writes, and the output read as VPL reads it: comments from the comment lines and blocks, the
# grade from the last grade line, equal to the points of the JSON report scaled to the range.
# Every program of the exercises counts, handed in or not (the activity sets no PROGRAMS); a file
# with any other name is no program.
include(${CMAKE_CURRENT_LIST_DIR}/platforms-common.cmake)

set(jail "${WORK_DIR}/jail")
hand_in("${jail}" twodigits echonumber circle hellolines)
break_source("${jail}/circle.cpp" "3.14159" "3.14")
file(WRITE "${jail}/notes.txt" "not a program")
file(WRITE "${jail}/*.cpp" "int main() {}")
file(WRITE "${jail}/Twodigits.cpp" "int main() {}")
file(WRITE "${jail}/vpl_environment.sh"
     "export VPL_SUBFILES='twodigits.cpp echonumber.cpp circle.cpp hellolines.cpp notes.txt *.cpp "
     "Twodigits.cpp'\nexport VPL_GRADEMIN=2\nexport VPL_GRADEMAX=7\n")
file(COPY "${SOURCE_DIR}/platforms/vpl/vpl_evaluate.sh" DESTINATION "${jail}")
run_step(log COMMAND bash vpl_evaluate.sh DIRECTORY "${jail}")
if(NOT EXISTS "${jail}/vpl_execution")
    message(FATAL_ERROR "vpl_evaluate.sh wrote no vpl_execution:\n${log}")
endif()
run_step(output COMMAND "${jail}/vpl_execution" DIRECTORY "${jail}")

# As VPL reads it.
string(REPLACE ";" "\\;" output "${output}")
string(REPLACE "\n" ";" lines "${output}")
set(in_block OFF)
set(grade "")
set(titles "")
foreach(line IN LISTS lines)
    if(in_block)
        if(line STREQUAL "--|>")
            set(in_block OFF)
        elseif(line MATCHES "^-(.*)")
            list(APPEND titles "${CMAKE_MATCH_1}")
        elseif(NOT line MATCHES "^>")
            message(FATAL_ERROR "a comment line neither title nor preformatted: ${line}")
        endif()
    elseif(line STREQUAL "<|--")
        set(in_block ON)
    elseif(line MATCHES "^Grade :=>>(.*)")
        string(STRIP "${CMAKE_MATCH_1}" grade)
    elseif(NOT line STREQUAL "")
        message(FATAL_ERROR "a line VPL passes over: ${line}")
    endif()
endforeach()
expect("the programs' titles" "${titles}"
       "twodigits: correct;threedigits: absent;reversetwo: absent;echonumber: correct;\
averageheight: absent;circle: wrong;helloworld: absent;hellolines: correct;greetings: absent;\
3 of 9 programs pass")

run_step(log COMMAND "${REAL_CHECK}" ${OPTIONS} --stress-runs 5 --json "${WORK_DIR}/submitted.json" "${jail}" STATUS 1)
report_points("${WORK_DIR}/submitted.json" report)
# In hundredths, rounded to the nearest as the checker rounds.
math(EXPR hundredths "(200 * ${report_0_max} + 500 * ${report_0_points} + ${report_0_max} / 2) \
    / ${report_0_max}")
math(EXPR whole "${hundredths} / 100")
math(EXPR cents "${hundredths} % 100")
string(LENGTH "${cents}" digits)
if(digits EQUAL 1)
    set(cents "0${cents}")
endif()
expect("the grade" "${grade}" "${whole}.${cents}")
message(STATUS "VPL's grade ${grade} from ${report_0_points} of ${report_0_max} programs")
