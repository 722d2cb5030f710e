// Decides verdicts: a case's from how its run ended, a program's from its cases.
#pragma once

#include "cases.h"
#include "model.h"
#include "run.h"

#include <string>

namespace check {

// How a program was run, as its verdicts must take it: line ends, memcheck, its limits.
struct RunConditions {
    bool crlf = false;     // the program writes CRLF line ends
    bool memcheck = false; // it ran under valgrind memcheck
    Limits limits;         // the limits it ran with, for the reasons
};

// The verdict and findings of one run of a case that is not a stress case.
CaseResult judge(const Case& one, const RunResult& run, const RunConditions& judging);

// The verdict of one random input of a stress case; passed when the output has the case's shape.
CaseResult judge_random_input(const Case& one, const std::string& input, const RunResult& run,
                              const RunConditions& judging);

// A failed-read case's verdict, given also the run of the build whose unset variables were filled
// with a pattern: when the two print differently, the program shows a value it never set.
CaseResult judge_unset_values(const Case& one, const RunResult& run, const RunResult& filled,
                              const RunConditions& judging);

// Fills in the program's verdict and advice from its cases and compiler result.
void decide(ProgramResult& program, bool built, bool strict);

} // namespace check
