// The gradebook as CSV, for a spreadsheet.
#include "points.h"
#include "report.h"
#include "report_class.h"
#include "text.h"

namespace check {

void write_csv(std::ostream& out, const Report& report)
{
    out << "person,id";
    for (const Exercise& exercise : report.exercises) {
        out << ',' << csv_cell(exercise.name);
    }
    out << ",points,max_points,late\r\n";
    for (const PersonResult* person : in_name_order(report)) {
        out << csv_cell(person->name) << ',' << csv_cell(person->id);
        for (const Exercise& exercise : report.exercises) {
            out << ',' << program_verdict_name(verdict_of(find_result(*person, exercise)));
        }
        const Points points = person_points(*person, report.strict);
        out << ',' << points.points << ',' << points.max_points << ','
            << (person->late ? (*person->late ? "yes" : "no") : "") << "\r\n";
    }
}

} // namespace check
