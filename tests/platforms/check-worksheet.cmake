# Moodle's grading worksheet: a class as Moodle downloads it (a folder per hand-in, named with the
# participant number) and its worksheet (a byte-order mark, CRLF line ends), filled in. Every row
# stays in place; each grade is the person's points of the JSON report scaled to the row's
# maximum; a row without a hand-in is unchanged; a hand-in without a row is named on standard
# error; the download itself is never written.
include(${CMAKE_CURRENT_LIST_DIR}/platforms-common.cmake)

set(all twodigits threedigits reversetwo echonumber averageheight circle helloworld hellolines
        greetings)
set(class "${WORK_DIR}/class")
hand_in("${class}/Ana Marić_1001_assignsubmission_file_" ${all})
hand_in("${class}/Bob Smith_1002_assignsubmission_file_" ${all})
break_source("${class}/Bob Smith_1002_assignsubmission_file_/circle.cpp" "3.14159" "3.14")
hand_in("${class}/Zeno_2000_assignsubmission_file_" twodigits)

string(ASCII 239 187 191 bom)
set(header "Identifier,Full name,Email address,Status,Grade,Maximum Grade,Grade can be changed,Last modified (submission),Last modified (grade),Feedback comments")
set(ana "Participant 1001,Ana Marić,ana@example.org,Submitted for grading,,100.00,Yes,\"Monday, 7 December 2026, 10:00 AM\",-,")
set(bob "Participant 1002,Bob Smith,bob@example.org,Submitted for grading,3.00,10.00,Yes,-,-,\"seen\"")
set(carla "Participant 1003,Carla Núñez,carla@example.org,No submission,,10.00,Yes,-,-,")
set(worksheet "${WORK_DIR}/worksheet.csv")
file(WRITE "${worksheet}" "${bom}${header}\r\n${ana}\r\n${bob}\r\n${carla}\r\n")
file(SHA256 "${worksheet}" downloaded)

run_step(log COMMAND "${CHECK}" --sandbox auto --class "${class}" --json "${WORK_DIR}/report.json"
                     --worksheet "${worksheet}" --worksheet-out "${WORK_DIR}/graded.csv" STATUS 1)
file(SHA256 "${worksheet}" after)
expect("the downloaded worksheet's digest" "${after}" "${downloaded}")
if(NOT log_errors MATCHES "no row of the worksheet for Zeno \\(participant 2000\\)")
    message(FATAL_ERROR "the hand-in with no row is not named:\n${log_errors}")
endif()

report_points("${WORK_DIR}/report.json" report)
foreach(person RANGE 1)
    math(EXPR hundredths "${report_${person}_points} * 10000 / ${report_${person}_max}")
    set(grade_${person} "${hundredths}")
endforeach()
# Ana: 9 of 9 of 100.00; Bob: 8 of 9 of 10.00 is 8.89.
expect("Ana's points" "${report_0_points}/${report_0_max}" "9/9")
expect("Bob's points" "${report_1_points}/${report_1_max}" "8/9")

# The whole file as it must be: only Ana's and Bob's Grade and Feedback comments differ.
set(summary "twodigits correct; threedigits correct; reversetwo correct; echonumber correct; averageheight correct")
set(rest "helloworld correct; hellolines correct; greetings correct")
string(REPLACE ",,100.00," ",100.00,100.00," ana "${ana}")
string(REGEX REPLACE ",$" ",9/9 points. ${summary}; circle correct; ${rest}" ana "${ana}")
string(REPLACE ",3.00,10.00," ",8.89,10.00," bob "${bob}")
string(REPLACE "\"seen\"" "\"8/9 points. ${summary}; circle wrong: calculators.circle.plain wrong-output; ${rest}\"" bob "${bob}")
file(WRITE "${WORK_DIR}/expected.csv" "${bom}${header}\r\n${ana}\r\n${bob}\r\n${carla}\r\n")
execute_process(COMMAND ${CMAKE_COMMAND} -E compare_files "${WORK_DIR}/expected.csv"
                        "${WORK_DIR}/graded.csv" RESULT_VARIABLE differ)
if(differ)
    file(READ "${WORK_DIR}/graded.csv" graded)
    message(FATAL_ERROR "the worksheet is not filled in as expected.csv:\n${graded}")
endif()

# The download is never the file written.
run_step(log COMMAND "${CHECK}" --class "${class}" --worksheet "${worksheet}"
                     --worksheet-out "${WORK_DIR}/./worksheet.csv" STATUS 2)
file(SHA256 "${worksheet}" after)
expect("the downloaded worksheet's digest" "${after}" "${downloaded}")
