// Moodle VPL's evaluation output: comments for the learner and the proposed grade, as VPL reads
// them from what its vpl_execution prints.
#include "report_vpl.h"

#include "points.h"

#include <iomanip>
#include <locale>
#include <sstream>

namespace check {

void write_vpl(std::ostream& out, const Report& report, double grade_min, double grade_max)
{
    const Translation words = load_translation(report.language);
    Points total;
    out << "<|--\n";
    if (report.sandbox == "none") {
        out << '-' << words("The programs ran without a sandbox") << '\n';
    }
    for (const PersonResult& person : report.people) {
        for (const ProgramResult& program : person.programs) {
            out << '-' << program.program << ": " << verdict_shown(program, report.strict, words)
                << '\n';
            for (const std::string& line : program_details(program, report.strict, words)) {
                out << "> " << line << '\n';
            }
        }
        const Points points = person_points(person, report.strict);
        total.points += points.points;
        total.max_points += points.max_points;
    }
    out << '-'
        << words(std::to_string(total.points) + " of " + std::to_string(total.max_points) +
                 " programs pass")
        << '\n';
    out << "--|>\n";
    std::ostringstream grade;
    grade.imbue(std::locale::classic());
    grade << std::fixed << std::setprecision(2) << scaled_grade(total, grade_min, grade_max);
    out << "Grade :=>> " << grade.str() << '\n';
}

} // namespace check
