// A class's hand-ins: each person found, named, and the folder that holds the sources.
#include "cases.h"
#include "catalogue.h"
#include "handins.h"
#include "sources.h"
#include "test_folders.h"

#include <doctest/doctest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace check;

namespace {

// The exercises of this project's case data.
const std::vector<Exercise>& known()
{
    static const std::vector<Exercise> exercises = load_catalogue(default_case_data());
    return exercises;
}

} // namespace
using namespace check::test;

} // namespace

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
        {"IDE projects, one a program's",
         {"hand-in/TwoDigits/main.cpp", "hand-in/TwoDigits/bin/Debug/main.cpp",
          "hand-in/Projekt2/main.cpp"},
         "hand-in",
         ""},
        {"numbered sources wrapped, and a version with a name",
         {"old/circle.cpp", "new/zadatak1.cpp", "new/zadatak2.cpp"},
         "old",
         ""},
        {"only numbered sources, wrapped deep: the least deep folder that holds the most",
         {"a/b/zadatak1.cpp", "a/b/zadatak2.cpp", "a/b/c/d/zadatak3.cpp"},
         "a",
         ""},
        {"only numbered sources, wrapped deeper",
         {"v/w/a/b/c/zadatak1.cpp", "v/w/a/b/c/zadatak2.cpp"},
         "v/w",
         "sources found in Alice B/v/w"},
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
        const HandIn hand_in = find_hand_in(root, "Alice B", known());
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
    const HandIn hand_in = find_hand_in(scratch.path / "alice", "alice", known());
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

    const std::vector<Person> people = find_class(folder, work, known());
    std::vector<std::string> names;
    for (const Person& person : people) {
        names.push_back(person.name);
    }
    CHECK(names == std::vector<std::string>{"Ana Marić", "bob", "bob.zip", "Empty Hand-in", "zoe",
                                            "Émile Zola"});
    CHECK(people[0].folder == work / "Ana Marić");
    CHECK(people[1].folder == work / "bob" / "wrapper" / "deeper");
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

TEST_CASE("a link in a hand-in is never read: sources, folders and people that are links")
{
    const Scratch scratch;
    const fs::path folder = scratch.path / "class";
    const fs::path work = scratch.path / "work";
    touch(scratch.path / "private" / "twodigits.cpp", "int main() { return 42; } // private\n");
    write_zip(scratch.path / "elsewhere.zip", {{"twodigits.cpp", AE_IFREG, "int x;\n", ""}});
    touch(folder / "alice" / "echonumber.cpp");
    fs::create_symlink(scratch.path / "private" / "twodigits.cpp",
                       folder / "alice" / "twodigits.cpp");
    fs::create_symlink("/proc/self/environ", folder / "alice" / "circle.cpp");
    // A pipe that no one writes to: reading it would wait for ever.
    REQUIRE(mkfifo((folder / "alice" / "notes.txt").c_str(), 0600) == 0);
    fs::create_directory_symlink(scratch.path / "private", folder / "bob");
    fs::create_symlink(scratch.path / "elsewhere.zip", folder / "carol.zip");
    fs::create_directories(folder / "dora" / "calculators");
    fs::create_symlink(scratch.path / "private" / "twodigits.cpp",
                       folder / "dora" / "calculators" / "circle.cpp");

    std::vector<std::string> left_out;
    const std::vector<Source> sources = find_sources(folder / "alice", known(), &left_out);
    REQUIRE(sources.size() == 1);
    CHECK(sources[0].exercise->name == "echonumber");
    CHECK(left_out == std::vector<std::string>{"twodigits.cpp is a link: left out",
                                               "circle.cpp is a link: left out"});
    CHECK(find_hand_in(folder / "dora", "dora", known()).note ==
          "none of the exercises' programs found in dora; dora/calculators/circle.cpp is a link: "
          "left out");

    const std::vector<Person> people = find_class(folder, work, known());
    REQUIRE(people.size() == 4);
    CHECK(people[0].name == "alice");
    CHECK(files_under(work / "alice") == "echonumber.cpp");
    CHECK(people[0].note == "left out 3 links or devices: circle.cpp, notes.txt, twodigits.cpp");
    CHECK(people[1].name == "bob");
    CHECK(people[1].note == "bob is a link: left out");
    CHECK(people[2].name == "carol");
    CHECK(people[2].note == "carol.zip is a link: left out");
    CHECK(people[3].note ==
          "none of the exercises' programs found in dora; left out 1 link or device: "
          "calculators/circle.cpp");
    for (const Person& person : people) {
        CAPTURE(person.name);
        CHECK(find_sources(person.folder, known()).size() == (person.name == "alice" ? 1 : 0));
    }
}

TEST_CASE("sizes are bounded before anything is read")
{
    const Scratch scratch;
    const fs::path folder = scratch.path / "class";
    const fs::path work = scratch.path / "work";
    // Sparse: huge as they are read, a few KiB on disk.
    touch(folder / "dan" / "twodigits.cpp", "");
    fs::resize_file(folder / "dan" / "twodigits.cpp", 128ULL * 1024 * 1024);
    touch(folder / "dan" / "circle.cpp");
    touch(folder / "eve" / "twodigits.cpp");
    touch(folder / "eve" / "lecture.mp4", "");
    fs::resize_file(folder / "eve" / "lecture.mp4", 3ULL * 1024 * 1024);
    fs::create_directories(folder / "fay" / "many");
    for (int file = 0; file < 50; ++file) {
        const std::ofstream empty(folder / "fay" / "many" / std::to_string(file));
    }
    touch(folder / "fay" / "twodigits.cpp");

    std::vector<std::string> left_out;
    CHECK(find_sources(folder / "dan", known(), &left_out).size() == 1);
    CHECK(left_out == std::vector<std::string>{"twodigits.cpp is larger than 1 MiB: left out"});

    ArchiveLimits limits;
    limits.bytes = 2 * 1024 * 1024;
    limits.entries = 50;
    const std::vector<Person> people = find_class(folder, work, known(), limits);
    REQUIRE(people.size() == 3);
    CHECK(files_under(people[0].folder) == "circle.cpp");
    CHECK(people[0].note == "left out 1 source larger than 1 MiB: twodigits.cpp");
    for (const std::size_t refused : {std::size_t{1}, std::size_t{2}}) {
        CAPTURE(people[refused].name);
        CHECK(people[refused].note == people[refused].name +
                                          " holds more than 2 MiB or 50 entries: taken as "
                                          "nothing handed in");
        CHECK(fs::is_empty(people[refused].folder));
    }
}

TEST_CASE("a course platform's entry names: who, their number, what kind")
{
    struct Example {
        std::string entry;
        std::optional<PlatformName> name;
    };
    const std::vector<Example> examples{
        {"Ana Marić_1001_assignsubmission_file_", PlatformName{"Ana Marić", "1001", "file", ""}},
        {"Ana Marić_1001_assignsubmission_onlinetext_",
         PlatformName{"Ana Marić", "1001", "onlinetext", ""}},
        {"Luka Horvat_77_assignsubmission_file_two_digits_v2.cpp",
         PlatformName{"Luka Horvat", "77", "file", "two_digits_v2.cpp"}},
        {"Participant_5512_assignsubmission_file_",
         PlatformName{"Participant", "5512", "file", ""}},
        {"Ana Marić", std::nullopt},
        {"Ana_x1_assignsubmission_file_", std::nullopt},
        {"_1001_assignsubmission_file_", std::nullopt},
        {"Ana__assignsubmission_file_", std::nullopt},
        {"Ana_1001_assignsubmission_", std::nullopt},
        {"1001_assignsubmission_file_", std::nullopt},
    };
    for (const Example& example : examples) {
        CAPTURE(example.entry);
        const std::optional<PlatformName> name = platform_name(example.entry);
        REQUIRE(name.has_value() == example.name.has_value());
        if (name) {
            CHECK(name->name == example.name->name);
            CHECK(name->id == example.name->id);
            CHECK(name->kind == example.name->kind);
            CHECK(name->file == example.name->file);
        }
    }
}

namespace {

// The folder as one zip archive, as a platform's "download all" gives it; each entry's name
// after prefix.
void zip_folder(const fs::path& folder, const fs::path& zip, const std::string& prefix = "")
{
    std::vector<Entry> entries;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        const std::string name = prefix + entry.path().lexically_relative(folder).generic_string();
        if (entry.is_directory()) {
            entries.push_back({name + "/", AE_IFDIR, "", ""});
        } else {
            std::ifstream in(entry.path(), std::ios::binary);
            entries.push_back(
                {name, AE_IFREG, std::string(std::istreambuf_iterator<char>(in), {}), ""});
        }
    }
    write_zip(zip, entries);
}

std::string zip_bytes(const std::vector<Entry>& entries, const fs::path& scratch)
{
    const fs::path file = scratch / "bytes.zip";
    write_zip(file, entries);
    std::ifstream in(file, std::ios::binary);
    std::string bytes(std::istreambuf_iterator<char>(in), {});
    fs::remove(file);
    return bytes;
}

} // namespace

TEST_CASE("a course platform's download, as a folder or as its zip, is one person per number")
{
    const Scratch scratch;
    const std::string title = "Programming-Exercises-123";
    const fs::path download = scratch.path / "unpacked" / title;
    const std::string source = "int main() {}\n";
    const std::string f = "_assignsubmission_file_";
    touch(download / ("Ana Marić_1001" + f) / "twodigits.cpp");
    touch(download / ("Ana Marić_1001" + f) / "circle.cpp");
    touch(download / "Ana Marić_1001_assignsubmission_onlinetext_" / "onlinetext.html", "<p>x</p>");
    touch(download / ("Luka Horvat_1002" + f + "twodigits.cpp"));
    touch(download / ("Luka Horvat_1002" + f + "circle.cpp"));
    touch(download / ("Luka Horvat_1013" + f) / "circle.cpp");
    touch(download / ("Participant_1003" + f) / "hand-in" / "twodigits.cpp");
    const std::string whole =
        zip_bytes({{"twodigits.cpp", AE_IFREG, std::string(9000, 'x'), ""}}, scratch.path);
    touch(download / ("Participant_1004" + f) / "iva.zip", whole.substr(0, whole.size() / 2));
    write_archive(download / ("Marko Babić_1005" + f) / "marko.tar.gz",
                  {{"hand-in/digit-exercises/twodigits.cpp", AE_IFREG, source, ""},
                   {"hand-in/calculators/circle.cpp", AE_IFREG, source, ""}},
                  "tar.gz");
    touch(download / "Petra Jurić_1006_assignsubmission_onlinetext_" / "onlinetext.html");
    // Čović\twodigits.cpp from Windows' own zip tool, in code page 852.
    write_zip(download / ("Đuro Šimić_1007" + f) / "djuro.zip", {{"\xAC"
                                                                  "ovi\x86\\twodigits.cpp",
                                                                  AE_IFREG, source, ""}});
    const std::string inner =
        zip_bytes({{"twodigits.cpp", AE_IFREG, source, ""},
                   {"deepest.zip", AE_IFREG,
                    zip_bytes({{"circle.cpp", AE_IFREG, source, ""}}, scratch.path), ""}},
                  scratch.path);
    write_zip(download / ("Ivan Perić_1008" + f) / "outer.zip",
              {{"inner.zip", AE_IFREG, inner, ""}});
    write_zip(download / ("Nina Kos_1009" + f) / "empty.zip", {});
    write_zip(
        download / ("Sara Vuk_1010" + f) / "mac.zip",
        {{"__MACOSX/._twodigits.cpp", AE_IFREG, "junk", ""}, {".DS_Store", AE_IFREG, "junk", ""}});
    fs::create_directories(download / ("Tin Lovrić_1011" + f));

    struct Expected {
        std::string name;
        std::string id;
        std::string folder; // under work
        std::string note;   // a part of it; empty: no note
    };
    const std::vector<Expected> expected{
        {"Ana Marić", "1001", "Ana Marić_1001" + f, ""},
        {"Ivan Perić", "1008", "Ivan Perić_1008" + f + "/outer.zip/inner.zip",
         "outer.zip/inner.zip/deepest.zip not unpacked"},
        {"Luka Horvat 1002", "1002", "Luka Horvat_1002" + f, ""},
        {"Luka Horvat 1013", "1013", "Luka Horvat_1013" + f, ""},
        {"Marko Babić", "1005", "Marko Babić_1005" + f + "/marko.tar.gz/hand-in",
         "sources found in Marko Babić_1005" + f + "/marko.tar.gz/hand-in"},
        {"Nina Kos", "1009", "Nina Kos_1009" + f, "empty.zip is empty"},
        {"Participant 1003", "1003", "Participant_1003" + f + "/hand-in", ""},
        {"Participant 1004", "1004", "Participant_1004" + f, "iva.zip could not be read: "},
        {"Petra Jurić", "1006", "Petra Jurić_1006_assignsubmission_onlinetext_",
         "only text typed into the platform's form"},
        {"Sara Vuk", "1010", "Sara Vuk_1010" + f, "mac.zip holds nothing but"},
        {"Tin Lovrić", "1011", "Tin Lovrić_1011" + f, "nothing handed in"},
        {"Đuro Šimić", "1007", "Đuro Šimić_1007" + f + "/djuro.zip/Čović", "djuro.zip/Čović"},
    };

    // As the platform gives it, and as a teacher's tools may wrap it in a folder of its name.
    zip_folder(download, scratch.path / (title + ".zip"));
    zip_folder(download, scratch.path / "wrapped.zip", title + "/");
    const std::vector<std::pair<fs::path, std::string>> forms{
        {download, ""},
        {scratch.path / (title + ".zip"), ""},
        {scratch.path / "unpacked", title},
        {scratch.path / "wrapped.zip", title},
        {scratch.path / "link.zip", ""},
    };
    fs::create_symlink(scratch.path / (title + ".zip"), scratch.path / "link.zip");
    for (const auto& form : forms) {
        const fs::path& given = form.first;
        CAPTURE(given);
        const fs::path work = scratch.path / ("work-" + given.filename().string());
        const std::vector<Person> people = find_class(given, work / "hand-ins", known());
        REQUIRE(people.size() == expected.size());
        for (std::size_t index = 0; index < expected.size(); ++index) {
            const Expected& one = expected[index];
            const Person& person = people[index];
            CAPTURE(one.name);
            CHECK(person.name == one.name);
            CHECK(person.id == one.id);
            CHECK(person.folder.lexically_relative(work / "hand-ins" / form.second)
                      .generic_string() == one.folder);
            if (one.note.empty()) {
                CHECK(person.note.empty());
            } else {
                CHECK(person.note.find(one.note) != std::string::npos);
            }
        }
        CHECK(files_under(people[2].folder) == "circle.cpp twodigits.cpp");

        Report report;
        report.people.push_back({"Ana Marić", people[0].folder.string(), "", {}});
        show_as_handed_in(report, given, work / "hand-ins");
        CHECK(report.people[0].folder ==
              (given / form.second / ("Ana Marić_1001" + f)).lexically_normal().string());
    }
}
