// Points: one per program that passes, what every platform's grade is made of; and what a
// learner is told about each program.
#include "points.h"

#include "text.h"

#include <algorithm>

namespace check {

int program_points(const ProgramResult& program, bool /*strict*/)
{
    return program.verdict == ProgramVerdict::correct ? 1 : 0;
}

Points person_points(const PersonResult& person, bool strict)
{
    Points points;
    for (const ProgramResult& program : person.programs) {
        points.points += program_points(program, strict);
        ++points.max_points;
    }
    return points;
}

double scaled_grade(const Points& points, double low, double high)
{
    if (points.max_points <= 0) {
        return low;
    }
    return low + (high - low) * points.points / points.max_points;
}

std::string verdict_shown(const ProgramResult& program, bool /*strict*/, const Translation& words)
{
    return words(program_verdict_name(program.verdict));
}

std::string program_summary(const ProgramResult& program, bool strict, const Translation& words)
{
    std::string line = program.program + " " + verdict_shown(program, strict, words);
    if (program.verdict == ProgramVerdict::correct && !program.advice.empty()) {
        line += "; " + words("advice:") + " " + words(program.advice.front());
    } else if (const CaseResult* failed = deciding_failure(program, strict)) {
        line += ": " + failed->name + " " + words(case_verdict_name(failed->verdict));
    }
    return line;
}

std::vector<std::string> program_details(const ProgramResult& program, bool strict,
                                         const Translation& words, std::size_t limit)
{
    std::vector<std::string> lines;
    for (const CompileHint& hint : program.compile_hints) {
        for (std::string& line :
             lines_of_text(plain_text(words("hint:") + " " + words(hint.hint), limit))) {
            lines.push_back(std::move(line));
        }
    }
    if (program.verdict == ProgramVerdict::does_not_compile) {
        lines.push_back(words("compiler messages:"));
        for (std::string& line : lines_of_text(plain_text(program.compiler_output, limit))) {
            lines.push_back(std::move(line));
        }
        return lines;
    }
    if (program.verdict == ProgramVerdict::correct) {
        for (const std::string& advice : program.advice) {
            lines.push_back(words("advice:") + " " + plain_text(words(advice), limit));
        }
        return lines;
    }
    if (const CaseResult* failed = deciding_failure(program, strict)) {
        lines.push_back(failed->name + ": " + words(case_verdict_name(failed->verdict)));
        for (std::string& line :
             lines_of_text(plain_text(message_said(message(*failed), words), limit))) {
            lines.push_back(std::move(line));
        }
    }
    return lines;
}

} // namespace check
