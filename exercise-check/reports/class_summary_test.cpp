// The class at a glance: its numbers, and how the gradebook, the page and CSV show them.
#include "class_summary.h"
#include "report.h"
#include "report_test.h"

#include <doctest/doctest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace check;
using namespace check::testing;

namespace {

// A class in which each person has the first points[i] programs correct and the rest wrong.
Report class_with(const std::vector<int>& points)
{
    Report report = empty_report();
    for (std::size_t index = 0; index < points.size(); ++index) {
        PersonResult person = person_of(report, "p" + std::to_string(index), ProgramVerdict::wrong);
        for (int program = 0; program < points[index]; ++program) {
            person.programs[static_cast<std::size_t>(program)].verdict = ProgramVerdict::correct;
        }
        report.people.push_back(person);
    }
    return report;
}

template <typename Write> std::string written(Write write, const Report& report)
{
    std::ostringstream out;
    write(out, report);
    return out.str();
}

} // namespace

TEST_CASE("the class in numbers: passed per program, mean, median and people by points")
{
    struct Example {
        std::vector<int> points;
        std::string mean;
        std::string median;
        std::vector<std::size_t> people_with; // 0 to 9 points
        std::vector<std::size_t> passed;      // each program
    };
    const std::vector<Example> examples{
        {{}, "0", "0", {1, 0, 0, 0, 0, 0, 0, 0, 0, 0}, {0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {{9}, "9", "9", {0, 0, 0, 0, 0, 0, 0, 0, 0, 1}, {1, 1, 1, 1, 1, 1, 1, 1, 1}},
        {{0, 9, 2}, "3.67", "2", {1, 0, 1, 0, 0, 0, 0, 0, 0, 1}, {2, 2, 1, 1, 1, 1, 1, 1, 1}},
        {{1, 2, 4, 9}, "4", "3", {0, 1, 1, 0, 1, 0, 0, 0, 0, 1}, {4, 3, 2, 2, 1, 1, 1, 1, 1}},
    };
    for (const Example& example : examples) {
        CAPTURE(example.mean);
        const ClassSummary summary = summarise(class_with(example.points));
        CHECK(summary.people == example.points.size());
        CHECK(points_number(summary.mean) == example.mean);
        CHECK(points_number(summary.median) == example.median);
        if (!example.points.empty()) {
            CHECK(summary.max_points == 9);
            CHECK(summary.people_with == example.people_with);
        }
        CHECK(summary.passed == example.passed);
    }
    CHECK(points_number(6.5) == "6.5");
    CHECK(points_number(2.0 / 3) == "0.67");
}

TEST_CASE("the gradebook, the page and CSV show the class at a glance, late work, what is unread")
{
    Report report = class_with({9, 2, 2});
    // A fault's name is data: on the page it is text, never markup.
    for (std::size_t index : {1U, 2U}) {
        report.people[index].programs[3].diagnosis.push_back({"<b>missing-blank", "hint", {}});
    }
    report.people[1].programs[4].diagnosis.push_back({"integer-division", "hint", {}});
    report.people[0].late = true;
    report.people[1].late = false;
    report.not_read = {{"class/grades.txt", "a loose file beside the people's folders"}};

    const std::string gradebook = written(
        [](std::ostream& out, const Report& shown) { write_gradebook(out, shown, {}); }, report);
    // Each count under its column's symbols, then the points and the faults in a few lines.
    CHECK(gradebook.find("\npassed  3    3    1    1    1    1    1    1    1\n") !=
          std::string::npos);
    CHECK(gradebook.find("\nPoints: mean 4.33, median 2 of 9\n"
                         "  points 0 1 2 3 4 5 6 7 8 9\n"
                         "  people 0 0 2 0 0 0 0 0 0 1\n"
                         "  typical faults (people): <b>missing-blank 2, integer-division 1\n") !=
          std::string::npos);
    CHECK(gradebook.find("\nNot read (1 entry of the class that is no one's hand-in)\n"
                         "  class/grades.txt: a loose file beside the people's folders\n") !=
          std::string::npos);

    const std::string page = written(write_html, report);
    CHECK(page.find("<tfoot><tr><th scope=\"row\">passed</th>") != std::string::npos);
    CHECK(page.find("mean 4.33, median 2 of 9") != std::string::npos);
    CHECK(page.find("aria-label=\"people by points\"") != std::string::npos);
    CHECK(page.find("&lt;b&gt;missing-blank</text>") != std::string::npos);
    CHECK(page.find("<b>missing") == std::string::npos);
    CHECK(page.find("<details><summary>Cases failed") == std::string::npos); // none failed
    CHECK(page.find("<code>class/grades.txt</code>") != std::string::npos);

    const std::string csv = written(write_csv, report);
    CHECK(csv.find(",points,max_points,late\r\n") != std::string::npos);
    CHECK(csv.find("\r\np0,,correct") != std::string::npos);
    CHECK(csv.find(",9,9,yes\r\n") != std::string::npos);
    CHECK(csv.find(",2,9,no\r\n") != std::string::npos);
    CHECK(csv.find(",2,9,\r\n") != std::string::npos);
}
