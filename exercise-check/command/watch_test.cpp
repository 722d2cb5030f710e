// A learner's watch: a save checks again, and shows the program saved and the folder's summary.
#include "watch.h"

#include "test_folders.h"

#include <doctest/doctest.h>

#include <sstream>
#include <string>

namespace {

namespace fs = std::filesystem;
using namespace check;

Report report_of(const fs::path& folder, ProgramVerdict circle)
{
    Report report;
    report.exercises = {{"twodigits", "digits", "", "2dig", "two digits"},
                        {"circle", "calculators", "", "circ", "circle"}};
    PersonResult person;
    person.name = "ann";
    person.folder = folder.string();
    ProgramResult two;
    two.program = "twodigits";
    two.source = (folder / "twodigits.cpp").string();
    two.verdict = ProgramVerdict::correct;
    ProgramResult round = two;
    round.program = "circle";
    round.source = (folder / "." / "circle.cpp").string(); // another way to name it
    round.verdict = circle;
    person.programs = {two, round};
    report.people = {person};
    return report;
}

} // namespace

TEST_CASE("a save checks the folder again and shows the program saved and the summary")
{
    const test::Scratch scratch;
    test::touch(scratch.path / "twodigits.cpp");
    test::touch(scratch.path / "circle.cpp");
    int checks = 0;
    std::ostringstream out;
    watch(
        scratch.path,
        [&] {
            if (++checks == 1) { // saved while the first check runs: checked after it
                test::touch(scratch.path / "circle.cpp.swp", "an editor's own file");
                test::touch(scratch.path / "circle.cpp", "int main() { return 1; }\n");
                return report_of(scratch.path, ProgramVerdict::correct);
            }
            return report_of(scratch.path, ProgramVerdict::wrong);
        },
        TerminalStyle{}, out, 1);
    CHECK(checks == 2);
    const std::string text = out.str();
    const std::size_t again = text.find("\ncircle.cpp saved: checked in ");
    REQUIRE(again != std::string::npos);
    const std::string before = text.substr(0, again);
    const std::string after = text.substr(again);
    CHECK(before.find("twodigits") != std::string::npos); // the first check is shown whole
    CHECK(before.find("watching " + scratch.path.string()) != std::string::npos);
    CHECK(after.find("circle") != std::string::npos);
    CHECK(after.find("wrong") != std::string::npos);
    CHECK(after.find("twodigits") == std::string::npos); // not saved, not shown
    CHECK(after.find(".swp") == std::string::npos);
    CHECK(after.find("ann: 1 correct, 1 wrong, 0 does not compile, 0 absent\n") !=
          std::string::npos);
}

TEST_CASE("the programs saved are those whose sources were, however the paths name them")
{
    const test::Scratch scratch;
    const Report report = report_of(scratch.path, ProgramVerdict::correct);
    const PersonResult& person = report.people[0];
    CHECK(programs_saved(person, {scratch.path / "circle.cpp"}) ==
          std::vector<std::string>{"circle"});
    CHECK(programs_saved(person, {scratch.path / "other.cpp"}).empty());
    CHECK(programs_saved(person, {scratch.path / "circle.cpp", scratch.path / "twodigits.cpp"})
              .size() == 2);
}
