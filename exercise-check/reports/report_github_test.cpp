// A plain GitHub Actions step: annotations on the sources and the job's summary, nothing a
// hand-in wrote able to pass for a workflow command or for Markdown.
#include "report_github.h"
#include "report_test.h"

#include <doctest/doctest.h>

#include <sstream>
#include <string>

using namespace check;
using namespace check::testing;

namespace {

Report repository()
{
    Report report = empty_report();
    PersonResult person = person_of(report, ".", ProgramVerdict::correct);
    for (ProgramResult& program : person.programs) {
        program.source = "./" + program.program + ".cpp";
    }
    ProgramResult& circle = person.programs[5];
    circle.verdict = ProgramVerdict::does_not_compile;
    circle.compiler_output = "./circle.cpp: In function 'int main()':\n"
                             "./circle.cpp:26:5: error: 'retrun' was not declared in this scope\n";
    ProgramResult& echo = person.programs[3];
    echo.verdict = ProgramVerdict::wrong;
    CaseResult failed;
    failed.name = "calculators.echonumber.plain";
    failed.verdict = CaseVerdict::wrong_output;
    // What the program wrote tries to start a command of its own, and Markdown.
    failed.why = "wrote 50%\n::error file=x::forged | <b>*bold*</b>";
    echo.cases.push_back(failed);
    person.programs[8].verdict = ProgramVerdict::absent;
    person.programs[8].source.clear();
    report.people.push_back(person);
    return report;
}

} // namespace

TEST_CASE("annotations point at the failing sources, the compiler's line where it names one")
{
    std::ostringstream out;
    write_github_annotations(out, repository());
    const std::string text = out.str();
    std::istringstream lines(text);
    std::vector<std::string> commands;
    for (std::string line; std::getline(lines, line);) {
        commands.push_back(line);
    }
    REQUIRE(commands.size() == 3); // echonumber, circle, the points; an absent one says nothing
    CHECK(commands[0].rfind("::error file=echonumber.cpp,title=echonumber wrong::", 0) == 0);
    CHECK(commands[1].rfind("::error file=circle.cpp,line=26,title=circle does-not-compile::", 0) ==
          0);
    CHECK(commands[2] == "::notice title=exercise-check::Points 6/9");
    // The forged command stays inside the message: its line end and percent escaped.
    CHECK(commands[0].find("50%25%0A::error file=x::forged") != std::string::npos);
    CHECK(repository_path("././a/b.cpp") == "a/b.cpp");
}

TEST_CASE("the job's summary gives the points and a row per program, a hand-in's text as text")
{
    std::ostringstream out;
    write_github_summary(out, repository());
    const std::string text = out.str();
    CHECK(
        text.rfind("### exercise-check: Points 6/9\n\n| program | verdict | what failed first |\n",
                   0) == 0);
    CHECK(text.find("| twodigits | correct |  |\n") != std::string::npos);
    CHECK(text.find("\\| &lt;b&gt;\\*bold\\*&lt;\\/b&gt;") != std::string::npos);
    CHECK(text.find("<b>") == std::string::npos);
    CHECK(text.find("circle\\.cpp\\:26\\:5\\: error") != std::string::npos);
}
