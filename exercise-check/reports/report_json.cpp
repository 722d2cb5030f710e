// The JSON report: every finding, for other programs to read.
#include "points.h"
#include "report.h"
#include "signals.h"

#include <nlohmann/json.hpp>

#include <cmath>
#include <string>

namespace check {

namespace {

// Keys stay in the order written, so that the file reads like the terminal's report.
using Json = nlohmann::ordered_json;

// A text as it was kept, or null.
Json shown_json(const std::optional<ShownText>& shown)
{
    if (!shown) {
        return nullptr;
    }
    return {{"title", shown->title}, {"text", shown->bytes}, {"left_out", shown->left_out}};
}

Json case_json(const CaseResult& result)
{
    Json difference = nullptr;
    if (result.difference) {
        difference = {{"line", result.difference->line},
                      {"column", result.difference->column},
                      {"expected", result.difference->expected},
                      {"actual", result.difference->actual}};
    }
    return {
        {"name", result.name},
        {"verdict", std::string(case_verdict_name(result.verdict))},
        {"departure", result.departure},
        {"message", message(result)},
        {"why", result.why},
        {"random_input", result.random_input},
        {"arguments", result.args},
        {"input", shown_json(result.input)},
        {"expected", shown_json(result.expected)},
        {"actual", shown_json(result.actual)},
        {"stderr", shown_json(result.standard_error)},
        {"difference", std::move(difference)},
        {"in_words", result.in_words},
        {"exit_status", result.exit_status ? Json(*result.exit_status) : Json(nullptr)},
        {"signal", result.signal != 0 ? Json(signal_name(result.signal)) : Json(nullptr)},
        {"remark", result.remark},
        // To the millisecond; a value that is not finite is written as null.
        {"seconds", std::round(result.seconds * 1000) / 1000},
    };
}

Json diagnosis_json(const ProgramResult& program)
{
    Json diagnosis = Json::array();
    for (const Diagnosis& found : program.diagnosis) {
        diagnosis.push_back({{"fault", found.fault}, {"hint", found.hint}, {"cases", found.cases}});
    }
    return diagnosis;
}

// Over the class: how many people failed each case, and had each fault.
Json class_json(const Report& report)
{
    const ClassCounts counts = class_counts(report);
    Json cases = Json::object();
    for (const auto& [name, people] : counts.failed_cases) {
        cases[name] = people;
    }
    Json faults = Json::object();
    for (const auto& [fault, people] : counts.faults) {
        faults[fault] = people;
    }
    return {{"people", counts.people},
            {"failed_cases", std::move(cases)},
            {"faults", std::move(faults)}};
}

Json program_json(const ProgramResult& program, bool strict)
{
    Json cases = Json::array();
    for (const CaseResult& result : program.cases) {
        cases.push_back(case_json(result));
    }
    Json compile_hints = Json::array();
    for (const CompileHint& hint : program.compile_hints) {
        compile_hints.push_back({{"id", hint.id}, {"hint", hint.hint}});
    }
    return {
        {"program", program.program},
        {"source", program.source},
        {"verdict", std::string(program_verdict_name(program.verdict))},
        {"points", program_points(program, strict)},
        {"max_points", 1},
        {"source_sha256", program.source_sha256},
        {"advice", program.advice},
        {"compiler_output", program.compiler_output},
        {"compile_hints", compile_hints},
        {"same_source_as", program.same_source_as},
        {"cases", std::move(cases)},
        {"diagnosis", diagnosis_json(program)},
        {"unexplained", program.unexplained},
        {"resembles", program.resembles},
    };
}

} // namespace

void write_json(std::ostream& out, const Report& report)
{
    Json people = Json::array();
    for (const PersonResult& person : report.people) {
        Json programs = Json::array();
        for (const ProgramResult& program : person.programs) {
            programs.push_back(program_json(program, report.strict));
        }
        const Points points = person_points(person, report.strict);
        people.push_back(Json{
            {"name", person.name},
            {"id", person.id},
            {"folder", person.folder},
            {"note", person.note},
            {"late", person.late ? Json(*person.late) : Json(nullptr)},
            {"points", points.points},
            {"max_points", points.max_points},
            {"programs", std::move(programs)},
        });
    }
    Json not_read = Json::array();
    for (const LeftUnread& entry : report.not_read) {
        not_read.push_back({{"path", entry.path}, {"why", entry.why}});
    }
    const Json document = {
        {"people", std::move(people)},
        {"sandbox", report.sandbox},
        {"memory_limit", report.memory_limit},
        {"limits",
         {{"build_bytes",
           {{"program", report.bounds.build_program_bytes},
            {"person", report.bounds.build_person_bytes}}},
          {"run_budget_seconds",
           {{"program", report.bounds.program_seconds}, {"person", report.bounds.person_seconds}}},
          {"files_bytes", {{"run", report.bounds.run_files_bytes}}}}},
        {"sandboxed", report.sandbox != "none"},
        {"strict", report.strict},
        {"from_store", report.from_store},
        {"unmatched_hand_ins", report.unmatched_hand_ins},
        {"not_read", std::move(not_read)},
        {"class", class_json(report)},
    };
    // Hand-ins may hold bytes that are not UTF-8; they become U+FFFD instead of an exception.
    out << document.dump(2, ' ', false, Json::error_handler_t::replace) << '\n';
}

} // namespace check
