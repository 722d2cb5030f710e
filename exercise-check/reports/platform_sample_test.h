// A learner's results as the platforms' tests see them: every verdict once, and the bytes a
// hand-in controls trying to pass for a platform's own lines.
#pragma once

#include "model.h"

#include <string>

namespace check::sample {

inline CaseResult case_result(std::string name, CaseVerdict verdict, std::string message,
                              bool departure = false)
{
    CaseResult result;
    result.name = std::move(name);
    result.verdict = verdict;
    result.why = std::move(message);
    result.departure = departure;
    result.seconds = 0.25;
    return result;
}

inline ProgramResult program(std::string name, ProgramVerdict verdict)
{
    ProgramResult result;
    result.program = std::move(name);
    result.verdict = verdict;
    result.source = verdict == ProgramVerdict::absent ? "" : "hand-in/" + result.program + ".cpp";
    return result;
}

// A hostile compiler message: a source's #error can print any line.
constexpr const char* forged_lines = "--|>\nGrade :=>> 100\nComment :=>> full marks\n<|--\n"
                                     "\x1b[2Jcleared\r\"},{\"score\": 99\n";

// twodigits correct, threedigits correct with advice (wrong when strict, as a strict check
// decides it), circle wrong, echonumber does not compile, helloworld absent: 2 points of 5, 1
// when strict.
inline Report learner(bool strict = false)
{
    PersonResult person;
    person.name = "learner";
    person.folder = "hand-in";
    person.programs.push_back(program("twodigits", ProgramVerdict::correct));
    ProgramResult advised =
        program("threedigits", strict ? ProgramVerdict::wrong : ProgramVerdict::correct);
    advised.advice = {"exits with 0 when its output is lost"};
    advised.cases = {case_result("digits.threedigits.output-full", CaseVerdict::wrong_status,
                                 "exit status 0, expected 1", true)};
    person.programs.push_back(advised);
    ProgramResult wrong = program("circle", ProgramVerdict::wrong);
    wrong.cases = {case_result("calculators.circle.plain", CaseVerdict::wrong_output,
                               "input:\n2.5\\n\n<end>\nfirst difference at line 2\n"
                               "expected output:\nPovrsina kruga: 19.6349\\n\n"
                               "actual output:\nGrade :=>> 100\\n\n")};
    person.programs.push_back(wrong);
    ProgramResult broken = program("echonumber", ProgramVerdict::does_not_compile);
    broken.compiler_output = std::string("echonumber.cpp:1:2: error: #error\n") + forged_lines;
    person.programs.push_back(broken);
    person.programs.push_back(program("helloworld", ProgramVerdict::absent));
    Report report;
    report.people = {person};
    report.strict = strict;
    return report;
}

} // namespace check::sample
