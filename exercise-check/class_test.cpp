// A class at once: finding each hand-in, unpacking archives safely, and the class's reports.
#include "cases.h"
#include "catalogue.h"
#include "class.h"
#include "report.h"

#include <archive.h>
#include <archive_entry.h>
#include <doctest/doctest.h>

#include <cstdlib>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace check;

// A fresh folder for one test, removed after it.
struct Scratch {
    fs::path path;
    Scratch()
    {
        std::string pattern = (fs::temp_directory_path() / "class-test-XXXXXX").string();
        REQUIRE(mkdtemp(pattern.data()) != nullptr);
        path = pattern;
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    Scratch(Scratch&&) = delete;
    Scratch& operator=(Scratch&&) = delete;
    ~Scratch()
    {
        std::error_code error;
        fs::remove_all(path, error);
    }
};

void touch(const fs::path& file, const std::string& text = "int main() {}\n")
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

struct Entry {
    std::string name;
    unsigned type = AE_IFREG;
    std::string data;
    std::string link; // a symlink's target
};

void write_zip(const fs::path& file, const std::vector<Entry>& entries)
{
    archive* writer = archive_write_new();
    archive_write_set_format_zip(writer);
    REQUIRE(archive_write_open_filename(writer, file.c_str()) == ARCHIVE_OK);
    for (const Entry& one : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, one.name.c_str());
        archive_entry_set_filetype(entry, one.type);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(one.data.size()));
        if (one.type == AE_IFLNK) {
            archive_entry_set_symlink(entry, one.link.c_str());
        }
        archive_write_header(writer, entry);
        if (!one.data.empty()) {
            archive_write_data(writer, one.data.data(), one.data.size());
        }
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
}

// Every path under the folder, in order, separated by blanks.
std::string files_under(const fs::path& folder)
{
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        found.push_back(entry.path().lexically_relative(folder).generic_string());
    }
    std::sort(found.begin(), found.end());
    std::string all;
    for (const std::string& path : found) {
        all += (all.empty() ? "" : " ") + path;
    }
    return all;
}

} // namespace

TEST_CASE("an archive entry is kept only when its path stays inside")
{
    const std::vector<std::pair<std::string, std::optional<std::string>>> names{
        {"alice/twodigits.cpp", "alice/twodigits.cpp"},
        {"./alice//circle.cpp", "alice/circle.cpp"},
        {"win\\sub\\echonumber.cpp", "win/sub/echonumber.cpp"},
        {"dots..in..name.cpp", "dots..in..name.cpp"},
        {"../twodigits.cpp", std::nullopt},
        {"alice/../../etc/passwd", std::nullopt},
        {"alice\\..\\..\\x.cpp", std::nullopt},
        {"/etc/passwd", std::nullopt},
        {"\\server\\share", std::nullopt},
        {"C:\\Windows\\x.cpp", std::nullopt},
        {"c:x.cpp", std::nullopt},
        {"", std::nullopt},
        {"./", std::nullopt},
    };
    for (const auto& example : names) {
        // (A structured binding cannot be captured in C++17, and CAPTURE captures.)
        const auto& name = example.first;
        const auto& expected = example.second;
        CAPTURE(name);
        const std::optional<fs::path> path = safe_entry_path(name);
        REQUIRE(path.has_value() == expected.has_value());
        if (expected) {
            CHECK(path->generic_string() == *expected);
        }
    }
}

TEST_CASE("unpacking writes plain files inside the folder and nothing anywhere else")
{
    const Scratch scratch;
    const fs::path zip = scratch.path / "hand-in.zip";
    write_zip(zip, {
                       {"alice/", AE_IFDIR, "", ""},
                       {"alice/twodigits.cpp", AE_IFREG, "int main() {}\n", ""},
                       {"../escaped.cpp", AE_IFREG, "x", ""},
                       {"alice/../../escaped2.cpp", AE_IFREG, "x", ""},
                       {(scratch.path / "absolute.cpp").string(), AE_IFREG, "x", ""},
                       {"alice/etc", AE_IFLNK, "", "/etc"},
                       {"alice/up", AE_IFLNK, "", "../.."},
                   });
    const fs::path into = scratch.path / "out" / "inside";
    const Unpacked unpacked = unpack_archive(zip, into);
    CHECK(unpacked.ok);
    CHECK(unpacked.skipped == 5);
    CHECK(files_under(into) == "alice alice/twodigits.cpp");
    CHECK(files_under(scratch.path) ==
          "hand-in.zip out out/inside out/inside/alice out/inside/alice/twodigits.cpp");
}

TEST_CASE("an archive too large or broken leaves nothing unpacked and says why")
{
    const Scratch scratch;
    ArchiveLimits limits;
    limits.bytes = 1024 * 1024;
    limits.entries = 50;
    std::vector<Entry> many;
    for (int i = 0; i < 60; ++i) {
        many.push_back({"f" + std::to_string(i) + ".cpp", AE_IFREG, "x", ""});
    }
    struct Example {
        std::string what;
        std::vector<Entry> entries;
        std::string said;
    };
    const std::vector<Example> examples{
        // Four MiB of zeros pack into a few KiB.
        {"a zip bomb",
         {{"twodigits.cpp", AE_IFREG, "int main() {}\n", ""},
          {"bomb.txt", AE_IFREG, std::string(4 * 1024 * 1024, '\0'), ""}},
         "more than 1 MiB"},
        {"too many entries", many, "50 entries"},
    };
    for (const Example& example : examples) {
        CAPTURE(example.what);
        const fs::path zip = scratch.path / "bomb.zip";
        write_zip(zip, example.entries);
        CHECK(fs::file_size(zip) < limits.bytes);
        const fs::path into = scratch.path / "into";
        const Unpacked unpacked = unpack_archive(zip, into, limits);
        CHECK_FALSE(unpacked.ok);
        CHECK(unpacked.problem.find(example.said) != std::string::npos);
        CHECK(fs::is_directory(into));
        CHECK(fs::is_empty(into));
        fs::remove_all(into);
    }

    touch(scratch.path / "fake.zip", "not a zip at all");
    const Unpacked fake = unpack_archive(scratch.path / "fake.zip", scratch.path / "fake");
    CHECK_FALSE(fake.ok);
    CHECK(fs::is_empty(scratch.path / "fake"));
}

TEST_CASE("the folder that holds the sources is found inside wrappers and junk")
{
    struct Layout {
        std::string what;
        std::vector<std::string> files;
        std::string folder; // relative to the hand-in
        std::string note;   // a part of the note; empty: no note
    };
    const std::vector<Layout> layouts{
        {"side by side", {"twodigits.cpp", "circle.cpp"}, ".", ""},
        {"in the three folders",
         {"digit-exercises/twodigits.cpp", "calculators/circle.cpp", "greeting-programs/x.txt"},
         ".",
         ""},
        {"one wrapper", {"alice/twodigits.cpp"}, "alice", ""},
        {"wrapped deep",
         {"hand-in/v2/twodigits.cpp"},
         "hand-in/v2",
         "sources found in Alice B/hand-in/v2"},
        {"the three folders wrapped deep",
         {"a/b/digit-exercises/twodigits.cpp", "a/b/calculators/circle.cpp",
          "a/b/calculators/echonumber.cpp"},
         "a/b",
         "sources found in Alice B/a/b"},
        {"platform junk beside a wrapper",
         {"__MACOSX/alice/twodigits.cpp", "__MACOSX/alice/circle.cpp", "alice/._circle.cpp",
          "._twodigits.cpp", ".DS_Store", "alice/twodigits.cpp"},
         "alice",
         ""},
        {"two versions: the one with more programs",
         {"v1/twodigits.cpp", "v2/twodigits.cpp", "v2/circle.cpp"},
         "v2",
         "sources found in Alice B/v2 (2 programs); not checked: Alice B/v1 (1 program)"},
        {"two versions of as many: the less deep",
         {"old/deeper/twodigits.cpp", "new/twodigits.cpp"},
         "new",
         "not checked: Alice B/old/deeper"},
        {"nothing", {}, ".", "nothing handed in"},
        {"only junk", {"__MACOSX/._twodigits.cpp", ".DS_Store"}, ".", "nothing handed in"},
        {"other files",
         {"notes/readme.txt", "twodigits.c"},
         ".",
         "none of the exercises' programs found in Alice B"},
    };
    for (const Layout& layout : layouts) {
        CAPTURE(layout.what);
        const Scratch scratch;
        const fs::path root = scratch.path / "Alice B";
        fs::create_directories(root);
        for (const std::string& file : layout.files) {
            touch(root / file);
        }
        const HandIn hand_in = find_hand_in(root, "Alice B", load_catalogue(default_case_data()));
        CHECK(hand_in.folder.lexically_relative(root).generic_string() == layout.folder);
        if (layout.note.empty()) {
            CHECK(hand_in.note.empty());
        } else {
            CHECK(hand_in.note.find(layout.note) != std::string::npos);
        }
    }
}

TEST_CASE("a hand-in's links to folders elsewhere are not followed")
{
    const Scratch scratch;
    touch(scratch.path / "elsewhere" / "twodigits.cpp");
    fs::create_directories(scratch.path / "alice");
    fs::create_directory_symlink(scratch.path / "elsewhere", scratch.path / "alice" / "link");
    const HandIn hand_in =
        find_hand_in(scratch.path / "alice", "alice", load_catalogue(default_case_data()));
    CHECK(hand_in.folder == scratch.path / "alice");
    CHECK(hand_in.note.find("none of the exercises") != std::string::npos);
}

TEST_CASE("every folder and zip of a class is a person, named as it is")
{
    const Scratch scratch;
    const fs::path folder = scratch.path / "class";
    const fs::path work = scratch.path / "work";
    touch(folder / "Ana Marić" / "twodigits.cpp");
    touch(folder / "bob" / "wrapper" / "deeper" / "circle.cpp");
    fs::create_directories(folder / "Empty Hand-in");
    touch(folder / "grades.txt", "not a person");
    touch(folder / ".DS_Store", "junk");
    touch(folder / "__MACOSX" / "._bob", "junk");
    write_zip(folder / "Émile Zola.ZIP",
              {{"Émile Zola/twodigits.cpp", AE_IFREG, "int main() {}\n", ""},
               {"__MACOSX/Émile Zola/._twodigits.cpp", AE_IFREG, "junk", ""},
               {"../outside.cpp", AE_IFREG, "x", ""}});
    write_zip(folder / "bob.zip", {{"twodigits.cpp", AE_IFREG, "int main() {}\n", ""}});
    write_zip(folder / "zoe.zip", {{"bomb", AE_IFREG, std::string(65 * 1024 * 1024, '\0'), ""}});

    const std::vector<Person> people =
        find_class(folder, work, load_catalogue(default_case_data()));
    std::vector<std::string> names;
    for (const Person& person : people) {
        names.push_back(person.name);
    }
    CHECK(names == std::vector<std::string>{"Ana Marić", "bob", "bob.zip", "Empty Hand-in", "zoe",
                                            "Émile Zola"});
    CHECK(people[0].folder == folder / "Ana Marić");
    CHECK(people[1].folder == folder / "bob" / "wrapper" / "deeper");
    CHECK(people[2].folder == work / "bob.zip");
    CHECK(people[3].note == "nothing handed in");
    CHECK(people[4].note.find("64 MiB") != std::string::npos);
    CHECK(people[4].note.find("taken as nothing handed in") != std::string::npos);
    CHECK(fs::is_empty(people[4].folder));
    CHECK(people[5].folder == work / "Émile Zola.ZIP" / "Émile Zola");
    CHECK(people[5].note.find("left out 1 entry") != std::string::npos);
    CHECK_FALSE(fs::exists(work / "outside.cpp"));

    Report report;
    report.people.push_back({"Émile Zola", people[5].folder.string(), "", {}});
    ProgramResult program;
    program.source = (people[5].folder / "twodigits.cpp").string();
    program.compiler_output = program.source + ":1:1: warning: something";
    report.people[0].programs.push_back(program);
    show_as_handed_in(report, folder, work);
    const std::string shown = (folder / "Émile Zola.ZIP" / "Émile Zola" / "twodigits.cpp").string();
    CHECK(report.people[0].programs[0].source == shown);
    CHECK(report.people[0].programs[0].compiler_output == shown + ":1:1: warning: something");
}

namespace {

// A class: each name with the same nine verdicts, twodigits of the first wrong with message.
Report class_of(const std::vector<std::string>& names, ProgramVerdict verdict,
                const std::string& message = "")
{
    Report report;
    report.exercises = load_catalogue(default_case_data());
    for (const std::string& name : names) {
        PersonResult person{name, "class/" + name, "", {}};
        for (const Exercise& known : load_catalogue(default_case_data())) {
            ProgramResult program;
            program.program = std::string(known.name);
            program.group = std::string(known.group);
            program.source = "class/" + name + "/" + program.program + ".cpp";
            program.verdict = verdict;
            person.programs.push_back(program);
        }
        report.people.push_back(person);
    }
    if (!message.empty()) {
        ProgramResult& wrong = report.people[0].programs[0];
        wrong.verdict = ProgramVerdict::wrong;
        CaseResult failed;
        failed.name = "digits.twodigits.plain";
        failed.verdict = CaseVerdict::wrong_output;
        failed.message = message;
        wrong.cases.push_back(failed);
    }
    return report;
}

std::vector<std::string> lines_of(const std::string& text, char end = '\n')
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line, end);) {
        lines.push_back(line);
    }
    return lines;
}

bool is_valid_utf8(const std::string& text)
{
    for (std::size_t at = 0; at < text.size();) {
        const auto first = static_cast<unsigned char>(text[at]);
        const std::size_t length = first < 0x80   ? 1
                                   : first < 0xC2 ? 0
                                   : first < 0xE0 ? 2
                                   : first < 0xF0 ? 3
                                   : first < 0xF5 ? 4
                                                  : 0;
        if (length == 0 || at + length > text.size()) {
            return false;
        }
        for (std::size_t i = 1; i < length; ++i) {
            if ((static_cast<unsigned char>(text[at + i]) & 0xC0U) != 0x80U) {
                return false;
            }
        }
        at += length;
    }
    return true;
}

} // namespace

TEST_CASE("people are listed as a person reads names: case aside, numbers by value")
{
    const std::vector<std::pair<std::string, std::string>> before_after{
        {"alice", "Bob"},          {"Alice", "alice"}, {"Person 2", "Person 10"},
        {"Person 9", "Person 10"}, {"p007", "p8"},     {"Zoe", "Ćiro"},
        {"ann", "anna"},           {"x1y2", "x1y10"},  {"Person", "Person 1"},
    };
    for (const auto& pair : before_after) {
        const auto& before = pair.first;
        const auto& after = pair.second;
        CAPTURE(before);
        CAPTURE(after);
        CHECK(name_order(before, after));
        CHECK_FALSE(name_order(after, before));
    }
    CHECK_FALSE(name_order("same", "same"));
}

TEST_CASE("CSV: one row per person in name order, names quoted where they must be")
{
    const std::vector<std::pair<std::string, std::string>> names{
        {"plain", "plain"},
        {"Ana Marić", "Ana Marić"},
        {"Smith, Jr.", "\"Smith, Jr.\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"bad\xff byte", "bad\xEF\xBF\xBD byte"},
    };
    std::vector<std::string> people;
    for (const auto& [name, field] : names) {
        people.push_back(name);
    }
    std::ostringstream out;
    write_csv(out, class_of(people, ProgramVerdict::does_not_compile));
    const std::string csv = out.str();
    CHECK(is_valid_utf8(csv));
    CHECK(csv.rfind("person,twodigits,threedigits,reversetwo,echonumber,averageheight,circle,"
                    "helloworld,hellolines,greetings,correct\r\n",
                    0) == 0);
    const std::string cells = ",does-not-compile,does-not-compile,does-not-compile,"
                              "does-not-compile,does-not-compile,does-not-compile,"
                              "does-not-compile,does-not-compile,does-not-compile,0\r\n";
    for (const auto& named : names) {
        const auto& name = named.first;
        const auto& field = named.second;
        CAPTURE(name);
        CHECK(csv.find("\r\n" + field + cells) != std::string::npos);
    }
    // In name order, whatever the case of the first letter.
    CHECK(csv.find("Ana Mari") < csv.find("bad"));
    CHECK(csv.find("bad") < csv.find("plain"));
    CHECK(csv.find("plain") < csv.find("\"say"));
}

TEST_CASE("the web page shows what a hand-in wrote as text, never as the page's own")
{
    const std::string attack = "<script>document.title='taken'</script>";
    const std::string message = "wrong output\ninput:\n" + attack + "\\n\n<end>\n" +
                                "first difference at line 1, column 7: expected 'o', got 'x'\n" +
                                "expected output:\nHello World!\\n\n<end>\n" +
                                "actual output:\nHello xorld<end>\\n\n" + attack + "\xff\xC0\xAF" +
                                "<end>\n";
    Report report =
        class_of({attack, "\"quoted\" & 'apostrophes'"}, ProgramVerdict::correct, message);
    report.people[0].note = attack;
    report.people[0].programs[1].verdict = ProgramVerdict::does_not_compile;
    report.people[0].programs[1].compiler_output = "x.cpp:1: error: " + attack + " \xed\xa0\x80\n";
    report.people[0].programs[2].remarks = {attack};
    report.people[0].programs[3].same_source_as = {"\"quoted\" & 'apostrophes'"};
    report.people[1].programs[3].same_source_as = {attack};

    std::ostringstream out;
    write_html(out, report);
    const std::string page = out.str();
    CHECK(is_valid_utf8(page));
    // The page's own script is its only one, and only it may run.
    std::size_t scripts = 0;
    for (std::size_t at = page.find("<script"); at != std::string::npos;
         at = page.find("<script", at + 1)) {
        ++scripts;
    }
    CHECK(scripts == 1);
    CHECK(page.find("script-src 'nonce-") != std::string::npos);
    CHECK(page.find("&lt;script&gt;document.title=&#39;taken&#39;&lt;/script&gt;") !=
          std::string::npos);
    CHECK(page.find("&quot;quoted&quot; &amp; &#39;apostrophes&#39;") != std::string::npos);
    CHECK(page.find("http://") == std::string::npos);
    CHECK(page.find("https://") == std::string::npos);

    // Expected and actual side by side, the first difference marked, line ends shown; an
    // "<end>" the program wrote does not end its output early.
    CHECK(page.find("<div class=\"pair\">") != std::string::npos);
    CHECK(page.find("Hello <mark>W</mark>orld!") != std::string::npos);
    CHECK(page.find("Hello <mark>x</mark>orld&lt;end&gt;") != std::string::npos);
    CHECK(page.find("<span class=\"esc\">\\n</span>") != std::string::npos);
    CHECK(page.find("first difference at line 1, column 7") != std::string::npos);
}

TEST_CASE("the terminal's gradebook fits 80 columns and lets no control byte through")
{
    const Report report =
        class_of({"A person with a name much longer than any column could hold",
                  "Čedomir Đurđević-Šćepanović Žarković", "esc\033[31mape", "x"},
                 ProgramVerdict::remarks,
                 "wrong output\nfirst difference at line 1, column 1: expected 'a', got 'b' and "
                 "a very long tail that would never fit on a line of the terminal's report\n");
    for (const bool verbose : {false, true}) {
        TerminalStyle style;
        style.verbose = verbose;
        std::ostringstream out;
        write_gradebook(out, report, style);
        const std::string text = out.str();
        CHECK(text.find('\033') == std::string::npos);
        const std::vector<std::string> lines = lines_of(text);
        REQUIRE(lines.size() > 5);
        CHECK(lines[0].rfind("person ", 0) == 0);
        CHECK(lines[0].find("2dig 3dig rev2 echo avgh circ hwld hlns grts  correct") !=
              std::string::npos);
        // Rows in name order, letters beyond ASCII after; the wrong program is marked.
        CHECK(lines[1].rfind("A person with", 0) == 0);
        CHECK(lines[1].find("  x    ~    ~") != std::string::npos);
        CHECK(lines[2].rfind("esc\xEF\xBF\xBD[31mape", 0) == 0);
        CHECK(lines[3].rfind("x ", 0) == 0);
        CHECK(lines[4].rfind("Čedomir", 0) == 0);
        if (!verbose) {
            for (const std::string& line : lines) {
                CAPTURE(line);
                std::size_t columns = 0;
                for (const char byte : line) {
                    columns += (byte & 0xC0) != 0x80 ? 1 : 0;
                }
                CHECK(columns <= 80);
            }
            CHECK(text.find("\n  twodigits wrong: plain wrong-output: line 1, column 1: expected "
                            "'a', got 'b...\n") != std::string::npos);
        }
    }
}
