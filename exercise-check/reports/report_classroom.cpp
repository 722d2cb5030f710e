// GitHub Classroom's autograding result: what a runner step hands its grading reporter.
#include "report_classroom.h"

#include "points.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <string>

namespace check {

namespace {

using Json = nlohmann::ordered_json;

Json program_test(const std::string& name, const ProgramResult& program, bool strict,
                  const Translation& words)
{
    const int score = program_points(program, strict);
    std::string message = program_summary(program, strict, words);
    for (const std::string& line : program_details(program, strict, words)) {
        message += '\n' + line;
    }
    double seconds = 0;
    for (const CaseResult& one : program.cases) {
        seconds += std::isfinite(one.seconds) && one.seconds > 0 ? one.seconds : 0;
    }
    const char* status = score > 0                                             ? "pass"
                         : program.verdict == ProgramVerdict::does_not_compile ? "error"
                                                                               : "fail";
    const CaseResult* failed = deciding_failure(program, strict);
    return {
        {"name", name},
        {"status", status},
        {"message", message},
        {"test_code", failed != nullptr ? failed->name : std::string()}, // the case that failed
        {"filename", program.source},
        {"line_no", 0},
        {"duration", std::lround(seconds * 1000)}, // milliseconds
        {"score", score},
    };
}

} // namespace

void write_classroom(std::ostream& out, const Report& report)
{
    const Translation words = load_translation(report.language);
    Json tests = Json::array();
    int max_score = 0;
    bool all_pass = true;
    for (const PersonResult& person : report.people) {
        for (const ProgramResult& program : person.programs) {
            const std::string name =
                report.people.size() == 1 ? program.program : person.name + ": " + program.program;
            tests.push_back(program_test(name, program, report.strict, words));
            all_pass = all_pass && program_points(program, report.strict) > 0;
            ++max_score;
        }
    }
    const char* status = report.people.empty() ? "error" : all_pass ? "pass" : "fail";
    const Json document = {
        {"version", 1},
        {"status", status},
        {"max_score", max_score},
        {"tests", std::move(tests)},
    };
    // One line: the runner step turns it into base64 for the reporter.
    out << document.dump(-1, ' ', false, Json::error_handler_t::replace) << '\n';
}

} // namespace check
