// Prose wrapped at its blanks, within the width.
#include "wrap.h"

#include "platform_sample_test.h"
#include "report.h"

#include <doctest/doctest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace check;

TEST_CASE("words are wrapped within the width, a word too long for a line on one of its own")
{
    struct Row {
        std::string text;
        std::size_t width, indent, first;
        std::string wrapped;
    };
    const std::vector<Row> rows{
        {"", 20, 0, 0, "\n"},
        {"one two three", 20, 0, 0, "one two three\n"},
        {"one two three", 13, 0, 0, "one two three\n"},
        {"one two three", 12, 0, 0, "one two\nthree\n"},
        {"one  two\nthree", 7, 2, 0, "one two\n  three\n"},
        {"one two", 10, 4, 6, "one\n    two\n"},
        {"unbreakable-word next", 8, 2, 2, "unbreakable-word\n  next\n"},
    };
    for (const Row& row : rows) {
        CAPTURE(row.text);
        CAPTURE(row.width);
        CHECK(wrapped(row.text, row.width, row.indent, row.first) == row.wrapped);
    }
}

TEST_CASE("the terminal report's notes and advice are within the width, or as they were")
{
    Report report = sample::learner();
    PersonResult& person = report.people.front();
    person.note = "not checked: averageheight.cpp, echonumber.cpp, greetings.cpp, hellolines.cpp, "
                  "helloworld.cpp, reversetwo.cpp (no program is left to take them as)";
    person.programs[1].advice.push_back(
        "prints a blank line after its output, which a script reading it would take for one "
        "more line of output");
    for (const std::size_t width : {0U, 40U, 60U, 80U, 120U}) {
        CAPTURE(width);
        TerminalStyle style;
        style.width = width;
        std::ostringstream out;
        write_terminal(out, report, style);
        const std::string text = out.str();
        std::istringstream lines(text);
        std::string joined;
        for (std::string line; std::getline(lines, line);) {
            if (width > 0 && line.size() > width) {
                // Only the case's own lines are kept as they are: the program's output.
                CHECK(line.find("not checked") == std::string::npos);
                CHECK(line.find("blank line") == std::string::npos);
            }
            joined += line.substr(line.find_first_not_of(' ') == std::string::npos
                                      ? line.size()
                                      : line.find_first_not_of(' ')) +
                      " ";
        }
        CHECK(joined.find(person.note) != std::string::npos);
        CHECK(joined.find(person.programs[1].advice.back()) != std::string::npos);
        CHECK((text.find(person.note) != std::string::npos) == (width == 0 || width >= 200));
    }
}
