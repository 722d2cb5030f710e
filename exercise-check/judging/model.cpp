#include "model.h"

#include <algorithm>
#include <array>
#include <utility>

namespace check {

std::string_view case_verdict_name(CaseVerdict verdict)
{
    switch (verdict) {
    case CaseVerdict::passed: return "passed";
    case CaseVerdict::wrong_output: return "wrong-output";
    case CaseVerdict::wrong_layout: return "wrong-layout";
    case CaseVerdict::wrong_status: return "wrong-status";
    case CaseVerdict::stderr_output: return "stderr";
    case CaseVerdict::crashed: return "crashed";
    case CaseVerdict::timeout: return "timeout";
    case CaseVerdict::prompt_not_shown: return "prompt-not-shown";
    case CaseVerdict::memory_error: return "memory-error";
    case CaseVerdict::memory_limit: return "memory-limit";
    case CaseVerdict::output_limit: return "output-limit";
    case CaseVerdict::not_built: return "not-built";
    }
    return "?";
}

std::string_view program_verdict_name(ProgramVerdict verdict)
{
    switch (verdict) {
    case ProgramVerdict::correct: return "correct";
    case ProgramVerdict::wrong: return "wrong";
    case ProgramVerdict::does_not_compile: return "does-not-compile";
    case ProgramVerdict::absent: return "absent";
    }
    return "?";
}

bool counts_against(const CaseResult& result, bool strict)
{
    const bool mild = result.verdict == CaseVerdict::wrong_output ||
                      result.verdict == CaseVerdict::wrong_layout ||
                      result.verdict == CaseVerdict::wrong_status;
    return result.verdict != CaseVerdict::passed &&
           (strict || !result.departure || result.failed_otherwise || !mild);
}

const CaseResult* deciding_failure(const ProgramResult& program, bool strict)
{
    for (const CaseResult& result : program.cases) {
        if (counts_against(result, strict)) {
            return &result;
        }
    }
    return nullptr;
}

std::size_t handed_in(const PersonResult& person)
{
    return static_cast<std::size_t>(
        std::count_if(person.programs.begin(), person.programs.end(),
                      [](const ProgramResult& program) { return !program.source.empty(); }));
}

std::vector<std::string> shared_advice(const PersonResult& person)
{
    std::vector<std::string> shared;
    if (handed_in(person) < 2) {
        return shared;
    }
    for (const ProgramResult& first : person.programs) {
        if (first.source.empty()) {
            continue;
        }
        for (const std::string& remark : first.advice) {
            const bool everywhere = std::all_of(
                person.programs.begin(), person.programs.end(), [&](const ProgramResult& other) {
                    return other.source.empty() ||
                           std::find(other.advice.begin(), other.advice.end(), remark) !=
                               other.advice.end();
                });
            if (everywhere) {
                shared.push_back(remark);
            }
        }
        break;
    }
    return shared;
}

std::string said_of_all(const std::string& remark, std::size_t programs)
{
    static const std::array<const char*, 13> words = {"no",   "one",    "two",   "three", "four",
                                                      "five", "six",    "seven", "eight", "nine",
                                                      "ten",  "eleven", "twelve"};
    std::string text = programs == 2
                           ? std::string("both programs ")
                           : "all " +
                                 (programs < words.size() ? std::string(words.at(programs))
                                                          : std::to_string(programs)) +
                                 " programs ";
    // The remark's verb loses its s, and what the program does becomes what they do.
    std::string rest = remark;
    const std::size_t verb_end = rest.find(' ');
    const std::size_t verb = verb_end == std::string::npos ? rest.size() : verb_end;
    if (verb > 1 && rest[verb - 1] == 's') {
        rest.erase(verb - 1, 1);
    }
    for (const auto& [one, many] :
         {std::pair<std::string, std::string>{" its ", " their "}, {" it ", " they "}}) {
        for (std::size_t at = rest.find(one); at != std::string::npos;
             at = rest.find(one, at + many.size())) {
            rest.replace(at, one.size(), many);
        }
    }
    return text + rest;
}

namespace {

void count(std::vector<std::pair<std::string, std::size_t>>& counts, const std::string& name)
{
    const auto found = std::find_if(counts.begin(), counts.end(),
                                    [&](const auto& counted) { return counted.first == name; });
    if (found == counts.end()) {
        counts.emplace_back(name, 1);
    } else {
        ++found->second;
    }
}

} // namespace

ClassCounts class_counts(const Report& report)
{
    ClassCounts counts;
    counts.people = report.people.size();
    for (const PersonResult& person : report.people) {
        std::vector<std::string> cases;
        std::vector<std::string> faults;
        for (const ProgramResult& program : person.programs) {
            for (const CaseResult& result : program.cases) {
                if (counts_against(result, report.strict) &&
                    std::find(cases.begin(), cases.end(), result.name) == cases.end()) {
                    cases.push_back(result.name);
                }
            }
            for (const Diagnosis& found : program.diagnosis) {
                if (std::find(faults.begin(), faults.end(), found.fault) == faults.end()) {
                    faults.push_back(found.fault);
                }
            }
        }
        for (const std::string& name : cases) {
            count(counts.failed_cases, name);
        }
        for (const std::string& fault : faults) {
            count(counts.faults, fault);
        }
    }
    return counts;
}

ShownText shown(std::string title, std::string_view text, std::size_t limit)
{
    const std::string_view kept = text.substr(0, limit);
    return {std::move(title), std::string(kept), text.size() - kept.size()};
}

std::string headline(const CaseResult& result)
{
    return result.random_input.empty() ? result.why
                                       : result.random_input + " broke it: " + result.why;
}

std::string message(const CaseResult& result)
{
    if (result.verdict == CaseVerdict::passed) {
        return "";
    }
    std::string text = headline(result);
    if (!result.input) {
        return text;
    }
    text += '\n';
    const auto block = [&text](const std::optional<ShownText>& shown) {
        if (shown) {
            text += shown->title + ":\n" + visible(shown->bytes, shown->bytes.size());
            if (shown->left_out > 0) {
                text += "... and " + std::to_string(shown->left_out) + " bytes more";
            }
            text += "<end>\n";
        }
    };
    if (!result.args.empty()) {
        text += "arguments:";
        for (const std::string& arg : result.args) {
            text += " " + arg;
        }
        text += "\n";
    }
    block(result.input);
    if (result.difference) {
        text += describe(*result.difference) + "\n";
    }
    // Said in words where that says more than where the difference lies.
    if (!result.in_words.empty() &&
        (!result.difference ||
         describe(*result.difference).find(result.in_words) == std::string::npos)) {
        text += "in words: " + result.in_words + "\n";
    }
    block(result.expected);
    block(result.actual);
    block(result.standard_error);
    return text;
}

} // namespace check
