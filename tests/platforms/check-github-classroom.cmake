# GitHub Classroom: a learner's repository checked out, the workflow's grading step run on it as
# the runner runs it (GITHUB_OUTPUT and GITHUB_STEP_SUMMARY files), and its `result` decoded as
# the grading reporter decodes it: base64, then JSON whose tests' scores add up, out of
# max_score, to the points of the JSON report.
include(${CMAKE_CURRENT_LIST_DIR}/platforms-common.cmake)

set(repository "${WORK_DIR}/learner")
hand_in("${repository}" twodigits threedigits reversetwo echonumber averageheight circle
        helloworld hellolines greetings)
break_source("${repository}/hellolines.cpp" "return" "retrun")
break_source("${repository}/circle.cpp" "3.14159" "3.14")
set(ENV{RUNNER_TEMP} "${WORK_DIR}")
set(ENV{GITHUB_OUTPUT} "${WORK_DIR}/github-output")
set(ENV{GITHUB_STEP_SUMMARY} "${WORK_DIR}/step-summary")
set(ENV{PROGRAMS} "")
file(WRITE "$ENV{GITHUB_OUTPUT}" "")
run_step(log COMMAND bash "${SOURCE_DIR}/platforms/github-classroom/grade.sh" .
         DIRECTORY "${repository}")

file(STRINGS "$ENV{GITHUB_OUTPUT}" outputs REGEX "^result=")
list(LENGTH outputs count)
expect("result lines in the step's outputs" "${count}" 1)
string(REGEX REPLACE "^result=" "" encoded "${outputs}")
file(WRITE "${WORK_DIR}/encoded" "${encoded}")
run_step(decoded COMMAND base64 --decode "${WORK_DIR}/encoded")

string(JSON version GET "${decoded}" version)
string(JSON status GET "${decoded}" status)
string(JSON max_score GET "${decoded}" max_score)
string(JSON tests LENGTH "${decoded}" tests)
expect("version" "${version}" 1)
expect("status" "${status}" fail)
set(total 0)
math(EXPR last "${tests} - 1")
foreach(test RANGE ${last})
    string(JSON score GET "${decoded}" tests ${test} score)
    foreach(key name status message test_code filename line_no duration)
        string(JSON value GET "${decoded}" tests ${test} ${key})
    endforeach()
    math(EXPR total "${total} + ${score}")
endforeach()

run_step(log COMMAND "${REAL_CHECK}" ${OPTIONS} --stress-runs 5 --json "${WORK_DIR}/report.json"
                     "${repository}" STATUS 1)
report_points("${WORK_DIR}/report.json" report)
expect("the reporter's total" "${total}" "${report_0_points}")
expect("max_score" "${max_score}" "${report_0_max}")
file(READ "$ENV{GITHUB_STEP_SUMMARY}" summary)
expect("the job's summary" "${summary}" "Points ${total}/${max_score}\n")
message(STATUS "Points ${total}/${max_score}, as the JSON report has it")
