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
