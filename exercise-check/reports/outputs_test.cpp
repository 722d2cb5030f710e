// The table of outputs: every entry can be asked for, checked and written; what cannot be written
// is refused before a check, and a report is never left half written.
#include "outputs.h"

#include "platform_sample_test.h"
#include "test_folders.h"

#include <doctest/doctest.h>
#include <nlohmann/json.hpp>

#include <unistd.h>

#include <set>
#include <sstream>
#include <stdexcept>

using namespace check;
namespace fs = std::filesystem;
using check::test::Scratch;
using check::test::touch;

namespace {

const Output& output_named(std::string_view name)
{
    for (const Output& output : outputs()) {
        if (output.name == name) {
            return output;
        }
    }
    FAIL("no output " << name);
    throw std::logic_error("unreachable");
}

OutputAsked asked(std::string_view name, std::string value, std::string second = "")
{
    return {&output_named(name), std::move(value), std::move(second)};
}

std::string read(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// What check_outputs says of the one output, empty when it lets it through.
std::string refusal_of(const OutputAsked& one)
{
    try {
        check_outputs({one});
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return {};
}

} // namespace

TEST_CASE("every entry of the table can be asked for, checked and written")
{
    std::set<std::string_view> names{"help", "class", "built"};
    for (const Output& output : outputs()) {
        CAPTURE(output.name);
        CHECK(names.insert(output.name).second);
        if (!output.second_name.empty()) {
            CHECK(names.insert(output.second_name).second);
            CHECK(output.second_help.size() > 0);
            CHECK(output.merge_help.empty() == output.second_merge_help.empty());
        }
        CHECK(!output.help.empty());
        CHECK(!output.value_name.empty());
        CHECK(output.hand_in.operator bool() == !output.hand_in_shown.empty());
        switch (output.place) {
        case OutputPlace::file:
            CHECK(output.file);
            CHECK(output.write);
            break;
        case OutputPlace::standard_output:
            CHECK(output.write);
            CHECK(output.check); // no file of its own to check
            break;
        case OutputPlace::filled_in:
            CHECK(output.fill);
            CHECK(output.check);
            break;
        }
    }
}

TEST_CASE("a report's file is refused before the check when it could not be written")
{
    const Scratch scratch;
    touch(scratch.path / "kept.json", "{}");
    fs::create_directories(scratch.path / "a-folder");
    struct Row {
        fs::path file;
        std::string refusal; // empty: written
    };
    const std::vector<Row> rows{
        {scratch.path / "new.json", ""},
        {scratch.path / "kept.json", ""},
        {scratch.path / "no-folder" / "r.json", "there is no folder"},
        {scratch.path / "a-folder", "it is a folder"},
        {scratch.path / "kept.json" / "r.json", "there is no folder"},
    };
    for (const Row& row : rows) {
        for (const std::string_view name : {"json", "junit", "csv", "html", "classroom"}) {
            CAPTURE(row.file);
            CAPTURE(name);
            const std::string refusal = refusal_of(asked(name, row.file.string()));
            CHECK(refusal.find(row.refusal) != std::string::npos);
            CHECK(refusal.empty() == row.refusal.empty());
        }
    }
    if (geteuid() != 0) { // root writes where the rights say it may not
        fs::permissions(scratch.path / "a-folder", fs::perms::owner_read | fs::perms::owner_exec);
        CHECK(refusal_of(asked("json", (scratch.path / "a-folder" / "r.json").string())) ==
              "cannot write " + (scratch.path / "a-folder" / "r.json").string() +
                  ": permission denied");
        fs::permissions(scratch.path / "a-folder", fs::perms::owner_all);
    }
}

TEST_CASE("the outputs with values of their own refuse those that cannot be right")
{
    const Scratch scratch;
    const std::string sheet = (scratch.path / "sheet.csv").string();
    touch(sheet, "Identifier,Full name,Grade,Maximum Grade\n");
    struct Row {
        std::string name, value, second;
        std::string refusal; // empty: taken
    };
    const std::vector<Row> rows{
        {"vpl", "0:10", "", ""},
        {"vpl", "-5:2.5", "", ""},
        {"vpl", "3:3", "", ""},
        {"vpl", "10:0", "", "--vpl 10:0: give the grade's range as MIN:MAX"},
        {"vpl", "10", "", "as MIN:MAX"},
        {"vpl", "0:", "", "as MIN:MAX"},
        {"vpl", ":10", "", "as MIN:MAX"},
        {"vpl", "0:10x", "", "as MIN:MAX"},
        {"vpl", "0x:10", "", "as MIN:MAX"},
        {"vpl", "nan:10", "", "as MIN:MAX"},
        {"vpl", "0:inf", "", "as MIN:MAX"},
        {"worksheet", sheet, (scratch.path / "out.csv").string(), ""},
        {"worksheet", sheet, sheet, "is the worksheet read"},
        {"worksheet", sheet, (scratch.path / "." / "sheet.csv").string(), "is the worksheet read"},
        {"worksheet", (scratch.path / "none.csv").string(), (scratch.path / "o.csv").string(),
         "no such worksheet"},
        {"worksheet", sheet, (scratch.path / "none" / "o.csv").string(), "there is no folder"},
        {"gradescope", (scratch.path / "autograder").string(), "", ""},
        {"gradescope", (scratch.path / "none" / "autograder").string(), "", ""},
    };
    for (const Row& row : rows) {
        CAPTURE(row.name);
        CAPTURE(row.value);
        CAPTURE(row.second);
        const std::string refusal = refusal_of(asked(row.name, row.value, row.second));
        CHECK(refusal.find(row.refusal) != std::string::npos);
        CHECK(refusal.empty() == row.refusal.empty());
    }
    // Gradescope's results folder is made where the autograder has none yet.
    CHECK(fs::is_directory(scratch.path / "none" / "autograder" / "results"));
}

TEST_CASE("a report is written whole or not at all")
{
    const Scratch scratch;
    const std::string file = (scratch.path / "report.json").string();
    touch(file, "the last report");
    std::ostringstream errors;
    struct Row {
        std::string name;
        std::function<void(std::ostream&)> writer;
        std::string after; // the file's text after
        bool written;
        bool throws;
    };
    const std::vector<Row> rows{
        {"written", [](std::ostream& out) { out << "new"; }, "new", true, false},
        {"throwing halfway",
         [](std::ostream& out) {
             out << "half";
             throw std::invalid_argument("not one person");
         },
         "new", false, true},
    };
    for (const Row& row : rows) {
        CAPTURE(row.name);
        bool written = false;
        bool threw = false;
        try {
            written = write_file(file, row.writer, errors);
        } catch (const std::invalid_argument&) {
            threw = true;
        }
        CHECK(threw == row.throws);
        CHECK(written == row.written);
        CHECK(read(file) == row.after);
        CHECK(!fs::exists(file + ".partial"));
    }
    CHECK(errors.str().empty());
    CHECK(!write_file((scratch.path / "gone" / "r.json").string(), rows[0].writer, errors));
    CHECK(errors.str() ==
          "exercise-check: cannot write " + (scratch.path / "gone" / "r.json").string() + "\n");
}

TEST_CASE("the outputs asked for are written, one in the terminal report's place")
{
    const Scratch scratch;
    const std::string json = (scratch.path / "r.json").string();
    const std::string lost = (scratch.path / "gone" / "r.xml").string();
    struct Row {
        std::vector<OutputAsked> asked;
        bool terminal; // the terminal report is written
        bool written;
    };
    const std::vector<Row> rows{
        {{}, true, true},
        {{asked("json", json)}, true, true},
        {{asked("vpl", "0:10"), asked("json", json)}, false, true},
        {{asked("junit", lost), asked("json", json)}, true, false},
    };
    for (std::size_t index = 0; index < rows.size(); ++index) {
        CAPTURE(index);
        const Row& row = rows[index];
        fs::remove(json);
        Report report = sample::learner();
        std::ostringstream out;
        std::ostringstream errors;
        const bool written = write_outputs(
            row.asked, report, std::chrono::steady_clock::now(),
            [](std::ostream& terminal, const Report&) { terminal << "terminal\n"; }, out, errors);
        CHECK(written == row.written);
        CHECK((out.str() == "terminal\n") == row.terminal);
        CHECK((out.str().find("Grade :=>>") != std::string::npos) == !row.terminal);
        const bool json_asked = row.asked.size() > 0;
        REQUIRE(fs::exists(json) == json_asked);
        if (json_asked) {
            CHECK(nlohmann::json::parse(read(json))["people"].size() == 1);
        }
        CHECK(errors.str().empty() == row.written);
    }
}

TEST_CASE("the worksheet is filled in before the other outputs, which name who had no row")
{
    const Scratch scratch;
    const std::string sheet = (scratch.path / "sheet.csv").string();
    touch(sheet, "Identifier,Full name,Grade,Maximum Grade,Feedback comments\n"
                 "Participant 1,someone else,,10,\n");
    const std::string json = (scratch.path / "r.json").string();
    Report report = sample::learner();
    std::ostringstream out;
    std::ostringstream errors;
    CHECK(write_outputs(
        {asked("json", json), asked("worksheet", sheet, sheet + ".out")}, report,
        std::chrono::steady_clock::now(), [](std::ostream&, const Report&) {}, out, errors));
    CHECK(errors.str() == "exercise-check: no row of the worksheet for learner\n");
    CHECK(nlohmann::json::parse(read(json))["unmatched_hand_ins"] ==
          nlohmann::json::array({"learner"}));
    CHECK(fs::exists(sheet + ".out"));
}
