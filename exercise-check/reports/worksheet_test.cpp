// Moodle's grading worksheet: a course download filled in, every other byte as it was.
#include "worksheet.h"

#include <doctest/doctest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <unistd.h>

namespace {

using namespace check;
namespace fs = std::filesystem;

const std::string header = "Identifier,Full name,Email address,Status,Grade,Maximum Grade,"
                           "Grade can be changed,Last modified (submission),"
                           "Last modified (grade),Feedback comments";

// Rows as a course download has them: names with commas and quotes, a grade already given, a
// multi-line comment, a person with no hand-in, two people of one name, a scale with no maximum.
std::string download(const std::string& line_end)
{
    const std::string rows[] = {
        header,
        R"(Participant 1001,Ana Marić,ana@example.org,"Submitted for grading",,100.00,Yes,)"
        R"("Monday, 7 December 2026, 10:00 AM",-,)",
        R"(Participant 1002,"Bob ""Bobby"" Smith, Jr.",bob@example.org,Submitted,55.00,10.00,Yes,)"
        R"(-,-,"old""comment)"
        "\n"
        R"(second line")",
        R"(Participant 1003,Carla Núñez,carla@example.org,No submission,,10,Yes,-,-,)",
        R"(Participant 1004,Dora,dora1@example.org,Submitted,,"20,00",Yes,-,-,)",
        R"(Participant 1005,Dora,dora2@example.org,Submitted,,20.00,Yes,-,-,)",
        R"(Participant 1006,Émile Zola,emile@example.org,Submitted,,,Yes,-,-,)",
    };
    std::string text;
    for (const std::string& row : rows) {
        text += row + line_end;
    }
    return text;
}

Graded graded(std::string name, std::string id, int points, int max)
{
    return Graded{std::move(name), std::move(id), points, max,
                  std::to_string(points) + "/" + std::to_string(max) + " points, \"well\""};
}

} // namespace

TEST_CASE("a course download gets grades as points scaled to each row's maximum, nothing else")
{
    const std::vector<Graded> class_graded = {
        graded("Ana Marić", "1001", 7, 9),
        graded("Bob \"Bobby\" Smith, Jr.", "", 9, 9), // no number: found by full name
        graded("Dora", "1004", 1, 2),                 // one of two Doras, by number
        graded("Dora", "", 2, 2),                     // which Dora is not known
        graded("Émile Zola", "1006", 3, 9),           // no maximum to scale to
        graded("Zeno", "2000", 0, 9),                 // no row
    };
    for (const std::string bom : {"", "\xEF\xBB\xBF"}) {
        for (const std::string line_end : {"\n", "\r\n"}) {
            CAPTURE(bom.size());
            CAPTURE(line_end.size());
            const std::string before = bom + download(line_end);
            const WorksheetOutcome outcome = fill_worksheet(before, class_graded);
            REQUIRE(outcome.text.rfind(bom + "Identifier,", 0) == 0);
            CHECK(outcome.graded == 3);
            CHECK(outcome.unmatched == std::vector<std::string>{"Dora", "Zeno (participant 2000)"});
            REQUIRE(outcome.problems.size() == 1);
            CHECK(outcome.problems[0].find("Émile Zola") != std::string::npos);

            const auto in = read_csv(before.substr(bom.size()));
            const auto out = read_csv(outcome.text.substr(bom.size()));
            REQUIRE(out.size() == in.size());
            const std::map<std::string, std::pair<std::string, std::string>> expected = {
                {"Participant 1001", {"77.78", "7/9 points, \"well\""}},
                {"Participant 1002", {"10.00", "9/9 points, \"well\""}},
                {"Participant 1004", {"10,00", "1/2 points, \"well\""}},
            };
            for (std::size_t row = 0; row < in.size(); ++row) {
                CAPTURE(row);
                REQUIRE(out[row].size() == in[row].size());
                const auto change = expected.find(in[row][0]);
                for (std::size_t cell = 0; cell < in[row].size(); ++cell) {
                    if (change != expected.end() && cell == 4) {
                        CHECK(out[row][cell] == change->second.first);
                    } else if (change != expected.end() && cell == 9) {
                        CHECK(out[row][cell] == change->second.second);
                    } else {
                        CHECK(out[row][cell] == in[row][cell]);
                    }
                }
            }
            // The rows not graded keep their bytes, line ends included.
            const std::string carla =
                "Participant 1003,Carla Núñez,carla@example.org,No submission,"
                ",10,Yes,-,-," +
                line_end;
            CHECK(outcome.text.find(carla) != std::string::npos);
        }
    }
}

TEST_CASE("a name with no row is listed with its control bytes shown, not sent")
{
    const WorksheetOutcome outcome =
        fill_worksheet(download("\n"), {graded("Eve\x1b]0;owned\x07\r\nforged", "", 1, 1)});
    REQUIRE(outcome.unmatched.size() == 1);
    CHECK(outcome.unmatched[0] == "Eve\\x1B]0;owned\\x07\\x0D\\x0Aforged");
}

TEST_CASE("a text that is not a worksheet is refused, saying why")
{
    const std::string broken[] = {
        header + "\nParticipant 1,\"Ana,x,,1,Yes,-,-,\n",            // a quote never closed
        header + "\nParticipant 1,\"Ana\"x,a,b,,1,Yes,-,-,\n",       // text after a closing quote
        "Identifier,Full name,Email address\nParticipant 1,Ana,a\n", // no grade columns
        "",
    };
    for (const std::string& text : broken) {
        CAPTURE(text);
        CHECK_THROWS_AS(fill_worksheet(text, {graded("Ana", "1", 1, 1)}), std::runtime_error);
    }
}

TEST_CASE("a worksheet in another language is read by the columns the teacher names")
{
    const std::string sheet = "Identifikator,Ime i prezime,Status,Ocjena,Najveća ocjena,"
                              "Komentari\r\n"
                              "Participant 1001,Ana Marić,Predano,,\"10,00\",\r\n";
    const WorksheetColumns named = parse_worksheet_columns(
        "grade=Ocjena, max=Najveća ocjena,id=Identifikator,name=Ime i prezime,feedback=Komentari");
    const WorksheetOutcome outcome =
        fill_worksheet(sheet, {graded("Ana Marić", "1001", 7, 9)}, named);
    CHECK(outcome.graded == 1);
    CHECK(outcome.text.find("Participant 1001,Ana Marić,Predano,\"7,78\",\"10,00\",\"7/9 points, "
                            "\"\"well\"\"\"\r\n") != std::string::npos);

    // Without the names, the error names the columns the worksheet has and the option.
    std::string problem;
    try {
        fill_worksheet(sheet, {graded("Ana Marić", "1001", 7, 9)});
    } catch (const std::runtime_error& error) {
        problem = error.what();
    }
    CHECK(problem.find("its columns are \"Identifikator\", \"Ime i prezime\", \"Status\", "
                       "\"Ocjena\", \"Najveća ocjena\", \"Komentari\"") != std::string::npos);
    CHECK(problem.find("--worksheet-columns grade=NAME,max=NAME,id=NAME") != std::string::npos);

    // A name the worksheet does not have, and names given wrong, are refused saying so.
    CHECK_THROWS_WITH_AS(fill_worksheet(sheet, {}, parse_worksheet_columns("grade=Bodovi")),
                         doctest::Contains("grade=Bodovi, but the worksheet has no such column"),
                         std::runtime_error);
    for (const char* wrong : {"grade", "grade=", "points=Ocjena", "grade=A,grade=B"}) {
        CAPTURE(wrong);
        CHECK_THROWS_AS(parse_worksheet_columns(wrong), std::runtime_error);
    }
    // Moodle's English names are known whatever their case.
    CHECK(fill_worksheet("identifier,full name,grade,maximum grade\nParticipant 1,Ana,,10\n",
                         {graded("Ana", "1", 1, 2)})
              .graded == 1);
}

TEST_CASE("the folders of Moodle's download give the full name and the participant number")
{
    const auto ana = moodle_participant("Ana Marić_1001_assignsubmission_file_");
    REQUIRE(ana);
    CHECK(ana->name == "Ana Marić");
    CHECK(ana->id == "1001");
    const auto underscored = moodle_participant("Ana_B_17_assignsubmission_onlinetext_");
    REQUIRE(underscored);
    CHECK(underscored->name == "Ana_B");
    CHECK(!moodle_participant("Ana Marić"));
    CHECK(!moodle_participant("Ana_x1_assignsubmission_file_"));
    CHECK(!moodle_participant("_1_assignsubmission_file_"));
}

TEST_CASE("the downloaded worksheet is never overwritten")
{
    const fs::path folder =
        fs::temp_directory_path() / ("worksheet-test-" + std::to_string(getpid()));
    fs::create_directories(folder);
    const fs::path in = folder / "in.csv";
    const std::string text = download("\n");
    std::ofstream(in, std::ios::binary) << text;
    fs::create_symlink(in, folder / "link.csv");
    for (const fs::path& out : {in, folder / "." / "in.csv", folder / "link.csv"}) {
        CAPTURE(out);
        CHECK_THROWS_AS(write_worksheet_file(in, out, {graded("Ana Marić", "1001", 1, 1)}),
                        std::runtime_error);
    }
    const WorksheetOutcome outcome =
        write_worksheet_file(in, folder / "out.csv", {graded("Ana Marić", "1001", 1, 1)});
    CHECK(outcome.graded == 1);
    std::ifstream kept(in, std::ios::binary);
    CHECK(std::string{std::istreambuf_iterator<char>(kept), {}} == text);
    std::ifstream written(folder / "out.csv", std::ios::binary);
    CHECK(std::string{std::istreambuf_iterator<char>(written), {}} == outcome.text);
    fs::remove_all(folder);
}
