// Points: one per program that passes, what every platform's grade is made of.
#include "points.h"

namespace check {

int program_points(const ProgramResult& program, bool strict)
{
    switch (program.verdict) {
    case ProgramVerdict::correct: return 1;
    case ProgramVerdict::remarks: return strict ? 0 : 1;
    default: return 0;
    }
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

const CaseResult* first_failure(const ProgramResult& program, bool strict)
{
    for (const CaseResult& one : program.cases) {
        if (counts_against(one, strict)) {
            return &one;
        }
    }
    return nullptr;
}

std::string verdict_shown(const ProgramResult& program, bool strict)
{
    if (strict && program.verdict == ProgramVerdict::remarks) {
        return "wrong";
    }
    return std::string(program_verdict_name(program.verdict));
}

std::string program_summary(const ProgramResult& program, bool strict)
{
    std::string line = program.program + " " + verdict_shown(program, strict);
    if (!strict && program.verdict == ProgramVerdict::remarks && !program.remarks.empty()) {
        line += ": " + program.remarks.front();
    } else if (const CaseResult* failed = first_failure(program, strict)) {
        line += ": " + failed->name + " " + std::string(case_verdict_name(failed->verdict));
    }
    return line;
}

} // namespace check
