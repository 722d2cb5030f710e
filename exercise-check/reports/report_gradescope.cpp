// Gradescope's results.json: one submission's score and one test per program, as its autograder
// harness reads the file.
#include "report_gradescope.h"

#include "points.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <stdexcept>
#include <string>

namespace check {

namespace {

using Json = nlohmann::ordered_json;

std::string joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines) {
        text += line + '\n';
    }
    return text;
}

} // namespace

void write_gradescope(std::ostream& out, const Report& report, double seconds)
{
    if (report.people.size() != 1) {
        throw std::invalid_argument("a Gradescope result is for one submission, not " +
                                    std::to_string(report.people.size()));
    }
    const PersonResult& person = report.people.front();
    const Translation words = load_translation(report.language);
    const Points points = person_points(person, report.strict);
    Json tests = Json::array();
    std::string summary = words(std::to_string(points.points) + " of " +
                                std::to_string(points.max_points) + " programs pass") +
                          ".\n";
    if (report.sandbox == "none") {
        summary += words("The programs ran without a sandbox") + ".\n";
    }
    for (const ProgramResult& program : person.programs) {
        const int score = program_points(program, report.strict);
        summary += program_summary(program, report.strict, words) + '\n';
        tests.push_back(Json{
            {"name", program.program},
            {"score", score},
            {"max_score", 1},
            {"status", score > 0 ? "passed" : "failed"},
            {"output", verdict_shown(program, report.strict, words) + '\n' +
                           joined(program_details(program, report.strict, words))},
        });
    }
    const Json document = {
        {"score", points.points},
        {"execution_time", std::isfinite(seconds) && seconds > 0 ? std::lround(seconds) : 0},
        {"output", summary},
        {"tests", std::move(tests)},
    };
    out << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

} // namespace check
