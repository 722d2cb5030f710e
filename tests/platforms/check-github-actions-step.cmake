# A plain GitHub Actions step: a learner's repository with a program that does not compile and
# one that is wrong, the step run as the runner runs it (GITHUB_STEP_SUMMARY, workflow commands
# read from standard output), its annotations on those sources and its summary read back.
include(${CMAKE_CURRENT_LIST_DIR}/platforms-common.cmake)

set(repository "${WORK_DIR}/learner")
hand_in("${repository}" twodigits circle hellolines)
break_source("${repository}/hellolines.cpp" "return" "retrun")
break_source("${repository}/circle.cpp" "3.14159" "3.14")
set(ENV{GITHUB_STEP_SUMMARY} "${WORK_DIR}/step-summary")
set(ENV{PROGRAMS} "twodigits,circle,hellolines")
file(WRITE "$ENV{GITHUB_STEP_SUMMARY}" "an earlier step's summary\n")
run_step(log COMMAND bash "${SOURCE_DIR}/platforms/github-classroom/check-step.sh" .
         DIRECTORY "${repository}" STATUS 1)

string(REPLACE ";" "," listed "${log}") # a CMake list splits at each ;
string(REGEX MATCHALL "::error [^\n]*" errors "${listed}")
list(LENGTH errors count)
expect("annotations" "${count}" 2)
string(REGEX MATCH "::error file=hellolines.cpp,line=[0-9]+,title=hellolines does-not-compile::"
       compile "${log}")
if(NOT compile)
    message(FATAL_ERROR "no annotation on the line of hellolines.cpp's error:\n${log}")
endif()
string(REGEX MATCH "::error file=circle.cpp,title=circle wrong::" wrong "${log}")
if(NOT wrong)
    message(FATAL_ERROR "no annotation on circle.cpp:\n${log}")
endif()
string(FIND "${log}" "::notice title=exercise-check::Points 1/3" points)
if(points EQUAL -1)
    message(FATAL_ERROR "no points:\n${log}")
endif()
file(READ "$ENV{GITHUB_STEP_SUMMARY}" summary)
string(FIND "${summary}" "an earlier step's summary\n### exercise-check: Points 1/3\n" start)
expect("the summary after the earlier step's" "${start}" 0)
string(FIND "${summary}" "| twodigits | correct |  |" row)
if(row EQUAL -1)
    message(FATAL_ERROR "no row for twodigits in the summary:\n${summary}")
endif()
message(STATUS "${log}")
