// VPL's evaluation output, read as VPL reads it: comments from the comment lines and blocks, the
// grade from the last grade line.
#include "report_vpl.h"

#include "platform_sample_test.h"

#include <doctest/doctest.h>

#include <sstream>
#include <string>
#include <vector>

using namespace check;

namespace {

struct Evaluation {
    std::vector<std::string> comments;
    std::string grade;
    std::vector<std::string> stray; // lines outside a block that are not comments or a grade
};

Evaluation as_vpl_reads(const std::string& output)
{
    Evaluation read;
    std::istringstream in(output);
    std::string line;
    bool block = false;
    while (std::getline(in, line)) {
        if (block) {
            if (line == "--|>") {
                block = false;
            } else {
                read.comments.push_back(line);
            }
        } else if (line == "<|--") {
            block = true;
        } else if (line.rfind("Comment :=>>", 0) == 0) {
            read.comments.push_back(line.substr(12));
        } else if (line.rfind("Grade :=>>", 0) == 0) {
            read.grade = line.substr(10);
        } else {
            read.stray.push_back(line);
        }
    }
    return read;
}

} // namespace

TEST_CASE("VPL's grade is the points scaled to the activity's range")
{
    struct Row {
        bool strict;
        double low, high;
        std::string grade;
    };
    const Row rows[] = {{false, 0, 10, " 4.00"},
                        {true, 0, 10, " 2.00"},
                        {false, 1, 6, " 3.00"},
                        {false, 0, 1, " 0.40"}};
    for (const Row& row : rows) {
        CAPTURE(row.grade);
        std::ostringstream out;
        write_vpl(out, sample::learner(row.strict), row.low, row.high);
        const Evaluation read = as_vpl_reads(out.str());
        CHECK(read.grade == row.grade);
        CHECK(read.stray.empty());
    }
}

TEST_CASE("no byte of a hand-in ends VPL's comment block or passes for a grade or a title")
{
    std::ostringstream out;
    write_vpl(out, sample::learner(), 0, 10);
    const Evaluation read = as_vpl_reads(out.str());
    CHECK(read.grade == " 4.00");
    std::vector<std::string> titles;
    for (const std::string& line : read.comments) {
        CAPTURE(line);
        CHECK((line.rfind("-", 0) == 0 || line.rfind("> ", 0) == 0));
        CHECK(line.find('\x1b') == std::string::npos);
        if (line.rfind("-", 0) == 0) {
            titles.push_back(line);
        }
    }
    CHECK(titles == std::vector<std::string>{"-twodigits: correct", "-threedigits: correct",
                                             "-circle: wrong", "-echonumber: does-not-compile",
                                             "-helloworld: absent", "-2 of 5 programs pass"});
    CHECK(out.str().find("> --|>\n> Grade :=>> 100\n") != std::string::npos);
}
