// The JSON report: every finding, for other programs to read.
#include "report.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <string>

namespace check {

namespace {

// Keys stay in the order written, so that the file reads like the terminal's report.
using Json = nlohmann::ordered_json;

Json case_json(const CaseResult& result)
{
    return {
        {"name", result.name},
        {"verdict", std::string(case_verdict_name(result.verdict))},
        {"departure", result.departure},
        {"message", result.message},
        // To the millisecond; a value that is not finite is written as null.
        {"seconds", std::round(result.seconds * 1000) / 1000},
    };
}

Json program_json(const ProgramResult& program)
{
    Json cases = Json::array();
    for (const CaseResult& result : program.cases) {
        cases.push_back(case_json(result));
    }
    return {
        {"program", program.program},
        {"source", program.source},
        {"verdict", std::string(program_verdict_name(program.verdict))},
        {"remarks", program.remarks},
        {"compiler_output", program.compiler_output},
        {"same_source_as", program.same_source_as},
        {"cases", std::move(cases)},
    };
}

} // namespace

void write_json(std::ostream& out, const Report& report)
{
    Json people = Json::array();
    for (const PersonResult& person : report.people) {
        Json programs = Json::array();
        for (const ProgramResult& program : person.programs) {
            programs.push_back(program_json(program));
        }
        people.push_back(Json{
            {"name", person.name},
            {"folder", person.folder},
            {"note", person.note},
            {"programs", std::move(programs)},
        });
    }
    const Json document = {
        {"people", std::move(people)},
        {"sandbox", report.sandbox}, {"sandboxed", report.sandbox != "none"},
        {"strict", report.strict},
    };
    // Hand-ins may hold bytes that are not UTF-8; they become U+FFFD instead of an exception.
    out << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

} // namespace check
