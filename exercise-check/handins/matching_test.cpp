// Sources tied to exercises by name, by folder, by the map and by what they print.
#include "matching.h"

#include "cases.h"
#include "catalogue.h"
#include "check_people.h"
#include "source_map.h"
#include "test_folders.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

namespace {

namespace fs = std::filesystem;
using namespace check;
using namespace check::test;

const std::vector<Exercise>& known()
{
    static const std::vector<Exercise> exercises = load_catalogue(default_case_data());
    return exercises;
}

// The expected output of an exercise's plain case.
std::string expected(const std::string& name)
{
    for (const Case& one : load_cases(default_case_data(), *find_exercise(known(), name), "")) {
        if (one.kind == CaseKind::plain && one.name.size() > 6 &&
            one.name.compare(one.name.size() - 6, 6, ".plain") == 0) {
            return one.expected;
        }
    }
    FAIL("no plain case of " << name);
    return "";
}

std::string replaced(std::string text, const std::string& from, const std::string& to)
{
    const std::size_t at = text.find(from);
    REQUIRE(at != std::string::npos);
    return text.replace(at, from.size(), to);
}

// A program as the fake sees it: its source is what it prints, whatever its input; a source
// holding "broken" does not compile. A build is a copy of its source.
class PrintingRunner : public Runner {
  public:
    bool precompiles() const override { return false; }
    bool fills_unset() const override { return false; }
    bool precompile(const std::vector<std::string>& /*headers*/,
                    const fs::path& /*folder*/) override
    {
        return false;
    }
    Build compile(const fs::path& source, const fs::path& executable, BuildKind /*kind*/,
                  const fs::path& /*headers*/) override
    {
        const std::string text = read(source);
        const std::lock_guard<std::mutex> lock(mutex_);
        ++compiles[text];
        if (text.find("broken") != std::string::npos) {
            return {false, source.string() + ":1: error"};
        }
        std::ofstream(executable, std::ios::binary) << text;
        return {true, ""};
    }
    RunResult run(const RunRequest& request) override
    {
        RunResult result;
        result.ending = Ending::exited;
        result.status = 0;
        result.out = read(request.command.front());
        const std::lock_guard<std::mutex> lock(mutex_);
        ++runs;
        return result;
    }
    std::vector<RunResult> run_all(const std::vector<RunRequest>& requests,
                                   const Sandbox& /*sandbox*/) override
    {
        std::vector<RunResult> results;
        for (const RunRequest& request : requests) {
            results.push_back(run(request));
        }
        return results;
    }

    std::map<std::string, int> compiles; // by source
    std::size_t runs = 0;

  private:
    static std::string read(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        return bytes.str();
    }
    std::mutex mutex_;
};

Settings settings_in(const fs::path& work)
{
    Settings settings;
    settings.case_data = default_case_data();
    settings.exercises = known();
    settings.sandbox = false;
    settings.stress_runs = 0;
    settings.work = work;
    return settings;
}

std::string program_of(const LocatedSources& located, const std::string& file)
{
    for (const Source& source : located.sources) {
        if (source.path.filename() == file) {
            return source.exercise->name;
        }
    }
    return "";
}

bool has_note(const LocatedSources& located, const std::string& part)
{
    return std::any_of(located.notes.begin(), located.notes.end(), [&](const std::string& note) {
        return note.find(part) != std::string::npos;
    });
}

} // namespace

TEST_CASE("an output resembles its exercise's, a wrong one too, another exercise's or an "
          "unrelated one not")
{
    struct Output {
        std::string what;
        std::string exercise;
        std::string printed;
        bool resembles;
    };
    const std::string average = expected("averageheight");
    const std::vector<Output> outputs{
        {"a right program", "circle", expected("circle"), true},
        {"an average in integers", "averageheight", replaced(average, "170.333", "170"), true},
        {"pi as 3.14", "circle",
         replaced(replaced(expected("circle"), "19.6349", "19.625"), "15.708", "15.7"), true},
        {"a small w", "helloworld", "Hello world!\n", true},
        {"an extra line end", "hellolines", expected("hellolines") + "\n", true},
        {"its digits swapped", "twodigits",
         replaced(replaced(expected("twodigits"), "Lijeva znamenka: 6", "Lijeva znamenka: 5"),
                  "Desna znamenka: 5", "Desna znamenka: 6"),
         true},
        {"no prompts", "averageheight", "Prosjecna visina je: 170.333\n", false},
        {"nothing", "circle", "", false},
        {"an unrelated sum", "echonumber", "Zbroj je: 12\n", false},
    };
    for (const Output& output : outputs) {
        CAPTURE(output.what);
        CHECK((resemblance(expected(output.exercise), output.printed) >= least_resemblance) ==
              output.resembles);
    }
    // Another exercise's program resembles it less than the exercise's own: an unrelated one never
    // reaches the threshold, unless it shares the exercise's very words (hellolines, helloworld).
    for (const Exercise& one : known()) {
        for (const Exercise& other : known()) {
            CAPTURE(one.name);
            CAPTURE(other.name);
            const double score = resemblance(expected(one.name), expected(other.name));
            if (one.name == other.name) {
                CHECK(score == doctest::Approx(1));
            } else if (one.group != "greetings" || other.group != "greetings") {
                CHECK(score < least_resemblance);
            } else {
                CHECK(score < 1);
            }
        }
    }
}

TEST_CASE("each exercise is taken by the source that resembles it most, one source each")
{
    struct Scores {
        std::string what;
        std::vector<std::vector<double>> scores;
        std::vector<std::size_t> taken;
    };
    const std::size_t none = std::string::npos;
    const std::vector<Scores> table{
        {"each its own", {{1, 0.2}, {0.1, 0.9}}, {0, 1}},
        {"two claim one: the closer", {{0.7, 0.1}, {0.95, 0.1}}, {none, 0}},
        {"the closer pair first", {{0.9, 0.8}, {1, 0.1}}, {1, 0}},
        {"below the threshold", {{0.5, 0.3}}, {none}},
        {"as close: the first", {{0.8}, {0.8}}, {0, none}},
        {"nothing to take", {}, {}},
    };
    for (const Scores& row : table) {
        CAPTURE(row.what);
        CHECK(assign_by_resemblance(row.scores) == row.taken);
    }
}

TEST_CASE("sources are found by loose names and IDE projects, build output never")
{
    struct Layout {
        std::string what;
        std::vector<std::pair<std::string, std::string>> files; // path, bytes
        std::map<std::string, std::string> found;               // program: path, relative
        std::vector<std::string> unnamed;
        std::string note; // a part of one note; empty: none
    };
    const std::string code = "int main() {}\n";
    const std::vector<Layout> layouts{
        {"loose names",
         {{"TwoDigits.cpp", code},
          {"three_digits.cc", code},
          {"Three-Digits.CPP", code},
          {"calculators/Echo Number.cxx", code},
          {"circle.C++", code}},
         {{"twodigits", "TwoDigits.cpp"},
          {"threedigits", "Three-Digits.CPP"},
          {"echonumber", "calculators/Echo Number.cxx"},
          {"circle", "circle.C++"}},
         {},
         "three_digits.cc is named after threedigits too: left out"},
        {"the exact name first",
         {{"digit-exercises/twodigits.cpp", code}, {"Two_Digits.cpp", code}},
         {{"twodigits", "digit-exercises/twodigits.cpp"}},
         {},
         "Two_Digits.cpp is named after twodigits too"},
        {"IDE projects and their debris",
         {{"TwoDigits/main.cpp", code},
          {"TwoDigits/TwoDigits.cbp", ""},
          {"TwoDigits/bin/Debug/main.cpp", code},
          {"TwoDigits/obj/main.o", ""},
          {"three-digits/three-digits/source.cpp", code},
          {"three-digits/x64/Debug/moc.cpp", code},
          {"three-digits/.vs/x.cpp", code},
          {"circle/cmake-build-debug/CMakeFiles/a.cpp", code},
          {"circle/Krug.cpp", code},
          {"circle/CMakeLists.txt", ""}},
         {{"twodigits", "TwoDigits/main.cpp"},
          {"threedigits", "three-digits/three-digits/source.cpp"},
          {"circle", "circle/Krug.cpp"}},
         {},
         ""},
        {"a project of two sources and no main",
         {{"circle/a.cpp", code}, {"circle/b.cpp", code}},
         {},
         {"circle/a.cpp", "circle/b.cpp"},
         ""},
        {"names that say nothing",
         {{"zadatak1.cpp", code},
          {"Projekt1/prog4.cpp", code},
          {"main.cpp", code},
          {"Release/zadatak2.cpp", code}},
         {},
         {"main.cpp", "Projekt1/prog4.cpp", "zadatak1.cpp"},
         ""},
        {"a Word document",
         {{"circle.cpp", "PK\x03\x04word/document.xml"}},
         {{"circle", "circle.cpp"}},
         {},
         "circle.cpp is a Word document"},
        {"an image", {{"zadatak.cpp", "\x89PNG\r\n\x1a\n"}}, {}, {}, "zadatak.cpp is an image"},
        {"UTF-16",
         {{"helloworld.cpp", std::string("\xFF\xFEi\0n\0t\0", 8)}},
         {{"helloworld", "helloworld.cpp"}},
         {},
         "helloworld.cpp is UTF-16 text"},
        {"a byte-order mark",
         {{"helloworld.cpp", "\xEF\xBB\xBFint main() {}\n"}},
         {{"helloworld", "helloworld.cpp"}},
         {},
         ""},
    };
    for (const Layout& layout : layouts) {
        CAPTURE(layout.what);
        const Scratch scratch;
        for (const auto& [path, bytes] : layout.files) {
            touch(scratch.path / path, bytes);
        }
        const FolderSources found = sources_in(scratch.path, known());
        std::map<std::string, std::string> programs;
        for (const Source& source : found.sources) {
            programs[source.exercise->name] =
                source.path.lexically_relative(scratch.path).generic_string();
        }
        CHECK(programs == layout.found);
        std::vector<std::string> unnamed;
        for (const fs::path& path : found.unnamed) {
            unnamed.push_back(path.lexically_relative(scratch.path).generic_string());
        }
        CHECK(unnamed == layout.unnamed);
        std::string notes;
        for (const std::string& note : found.notes) {
            notes += note + "\n";
        }
        CAPTURE(notes);
        if (layout.note.empty()) {
            CHECK(notes.empty());
        } else {
            CHECK(notes.find(layout.note) != std::string::npos);
        }
    }
}

TEST_CASE("500 sources that say nothing: a few are tried, the rest noted")
{
    const Scratch scratch;
    for (int number = 1; number <= 500; ++number) {
        touch(scratch.path / "wrap" / ("p" + std::to_string(number) + ".cpp"),
              "prints nothing like any program");
    }
    PrintingRunner runner;
    const std::vector<LocatedSources> located = locate_sources(
        {{"Zoran", scratch.path, "", ""}}, settings_in(scratch.path / "work"), known(), runner);
    CHECK(runner.compiles["prints nothing like any program"] == static_cast<int>(most_unnamed));
    REQUIRE(located.front().notes.size() == 2);
    CHECK(located.front().notes[0] == "500 sources that no name ties to a program: only the "
                                      "first 24 are tried by their output");
    CHECK(located.front().notes[1] == "wrap/p1.cpp, wrap/p2.cpp, wrap/p3.cpp, wrap/p4.cpp, "
                                      "wrap/p5.cpp and 19 more print what none of the programs "
                                      "left does: not checked");
}

TEST_CASE("sources that say nothing are taken as the exercise their output resembles, each built "
          "once")
{
    const Scratch scratch;
    const fs::path folder = scratch.path / "Iva";
    // Iva's sources print what the exercises print, a wrong average among them; one prints
    // something else, one does not compile, one is named after its program.
    const std::map<std::string, std::string> sources{
        {"zadatak1.cpp", expected("twodigits")},
        {"zadatak2.cpp", expected("threedigits")},
        {"zadatak3.cpp", expected("circle")},
        {"zadatak4.cpp", replaced(expected("averageheight"), "170.333", "170")},
        {"Projekt5/main.cpp", expected("helloworld")},
        {"Projekt6/prog.cpp", expected("hellolines")},
        {"zadatak7.cpp", "Zbroj je: 12\n"},
        {"zadatak8.cpp", "broken"},
        {"zadatak9.cpp", replaced(expected("circle"), "19.6349", "19.625")},
        {"greetings.cpp", expected("greetings")},
    };
    for (const auto& [path, bytes] : sources) {
        touch(folder / path, bytes);
    }
    Settings settings = settings_in(scratch.path / "work");
    PrintingRunner runner;
    const std::vector<Person> people{{"Iva", folder, "", ""}};
    const std::vector<LocatedSources> located = locate_sources(people, settings, known(), runner);
    REQUIRE(located.size() == 1);
    const LocatedSources& iva = located.front();
    CHECK(program_of(iva, "zadatak1.cpp") == "twodigits");
    CHECK(program_of(iva, "zadatak2.cpp") == "threedigits");
    CHECK(program_of(iva, "zadatak3.cpp") == "circle");
    CHECK(program_of(iva, "zadatak4.cpp") == "averageheight");
    CHECK(program_of(iva, "main.cpp") == "helloworld");
    CHECK(program_of(iva, "prog.cpp") == "hellolines");
    CHECK(program_of(iva, "greetings.cpp") == "greetings");
    CHECK(program_of(iva, "zadatak7.cpp").empty());
    CHECK(program_of(iva, "zadatak9.cpp").empty());
    CHECK(has_note(iva, "zadatak3.cpp taken as circle by its output"));
    CHECK(has_note(iva, "Projekt5/main.cpp taken as helloworld by its output"));
    CHECK(has_note(iva, "zadatak7.cpp prints what none of the programs left does"));
    CHECK(has_note(iva, "zadatak8.cpp does not compile: not tried by the output"));
    CHECK(has_note(iva, "zadatak9.cpp also prints what circle does, as zadatak3.cpp does more "
                        "closely"));
    // One build per source, one run per source and exercise left (greetings has its source).
    for (const auto& [source, count] : runner.compiles) {
        CHECK(count == 1);
    }
    CHECK(runner.compiles.size() == sources.size() - 1);
    CHECK(runner.runs <= (sources.size() - 1) * (known().size() - 1));

    // The check takes the builds made on the way, and makes none of them again.
    PrintingRunner checking;
    const Report report = check_people(people, settings, checking);
    for (const auto& compiled : checking.compiles) {
        CAPTURE(compiled.first);
        CHECK(compiled.second == 1);
    }
    const PersonResult& person = report.people.front();
    CHECK(person.note.find("zadatak3.cpp taken as circle by its output") != std::string::npos);
    for (const ProgramResult& program : person.programs) {
        CAPTURE(program.program);
        CHECK((program.verdict == ProgramVerdict::absent) ==
              (program.program == "reversetwo" || program.program == "echonumber"));
    }
}

TEST_CASE("the map decides which source is which program")
{
    const Scratch scratch;
    const fs::path folder = scratch.path / "Ana Marić";
    touch(folder / "circle.cpp", expected("helloworld"));
    touch(folder / "zadatak3.cpp", expected("circle"));
    touch(folder / "Projekt 4" / "prog.cpp", expected("echonumber"));
    touch(folder / "\x1b[31mred.cpp", expected("circle"));
    touch(scratch.path / "secret.cpp", "int main() {}\n");
    fs::create_symlink(scratch.path / "secret.cpp", folder / "link.cpp");
    touch(scratch.path / "elsewhere" / "secret.cpp", "int main() {}\n");
    fs::create_symlink(scratch.path / "elsewhere", folder / "linked");
    const std::vector<MapLine> map = parse_map("# Ana's\n"
                                               "circle.cpp = helloworld\n"
                                               "  zadatak3.cpp=circle \n"
                                               "Ana Marić/Projekt 4/prog.cpp = echonumber\n"
                                               "link.cpp = twodigits\n"
                                               "linked/secret.cpp = threedigits\n"
                                               "Bob/zadatak3.cpp = threedigits\n"
                                               "Ana Marić/zadatak4.cpp = reversetwo\n",
                                               known());
    REQUIRE(map.size() == 7);
    Settings settings = settings_in(scratch.path / "work");
    settings.map = map;
    PrintingRunner runner;
    const std::vector<LocatedSources> located =
        locate_sources({{"Ana Marić", folder, "", ""}}, settings, known(), runner);
    const LocatedSources& ana = located.front();
    CHECK(program_of(ana, "circle.cpp") == "helloworld");
    CHECK(program_of(ana, "zadatak3.cpp") == "circle");
    CHECK(program_of(ana, "prog.cpp") == "echonumber");
    CHECK(program_of(ana, "link.cpp").empty());
    CHECK(program_of(ana, "secret.cpp").empty());
    CHECK(has_note(ana, "circle.cpp taken as helloworld by the map"));
    CHECK(has_note(ana, "Projekt 4/prog.cpp taken as echonumber by the map"));
    CHECK(has_note(ana, "line 8 of the map names no source: Ana Marić/zadatak4.cpp"));
    CHECK(!has_note(ana, "Bob/"));
    // The file whose name is a terminal's escape is named without it.
    CHECK(has_note(ana, "red.cpp"));
    for (const std::string& note : ana.notes) {
        CHECK(note.find('\x1b') == std::string::npos);
    }

    struct Wrong {
        std::string text;
        std::string says;
    };
    const std::vector<Wrong> wrong{
        {"circle.cpp", "line 1 of the map: write it as"},
        {"\n\ncircle.cpp = square", "line 3 of the map: no program is named square"},
        {"/etc/passwd = circle", "inside the person's folder"},
        {"../bob/circle.cpp = circle", "inside the person's folder"},
        {" = circle", "inside the person's folder"},
    };
    for (const Wrong& one : wrong) {
        CAPTURE(one.text);
        try {
            parse_map(one.text, known());
            FAIL("taken");
        } catch (const std::runtime_error& error) {
            CHECK(std::string(error.what()).find(one.says) != std::string::npos);
        }
    }
}

TEST_CASE("sources of the programs an assignment leaves out are neither tried nor noted")
{
    const Scratch scratch;
    const fs::path folder = scratch.path / "Ema";
    touch(folder / "twodigits.cpp", expected("twodigits"));
    touch(folder / "circle.cpp", expected("circle"));
    touch(folder / "zadatak.cpp", "Zbroj je: 12\n");
    Settings settings = settings_in(scratch.path / "work");
    settings.programs = {"twodigits"};
    std::vector<Exercise> asked;
    for (const Exercise& exercise : known()) {
        if (exercise.name == "twodigits") {
            asked.push_back(exercise);
        }
    }
    PrintingRunner runner;
    const std::vector<LocatedSources> located =
        locate_sources({{"Ema", folder, "", ""}}, settings, asked, runner);
    CHECK(program_of(located.front(), "twodigits.cpp") == "twodigits");
    CHECK(runner.compiles.count(expected("circle")) == 0);
    CHECK_FALSE(has_note(located.front(), "circle.cpp"));
}
