// A class's hand-ins: each person found, named, and the folder that holds the sources.
#include "handins.h"
#include "test_folders.h"

#include <doctest/doctest.h>

#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace check;
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
        {"nothing", {}, ".", "nothing handed in"},
        {"only junk", {"__MACOSX/._twodigits.cpp", ".DS_Store"}, ".", "nothing handed in"},
        {"other files",
         {"notes/readme.txt", "twodigits.c"},
         ".",
         "none of the nine programs found in Alice B"},
    };
    for (const Layout& layout : layouts) {
        CAPTURE(layout.what);
        const Scratch scratch;
        const fs::path root = scratch.path / "Alice B";
        fs::create_directories(root);
        for (const std::string& file : layout.files) {
            touch(root / file);
        }
        const HandIn hand_in = find_hand_in(root, "Alice B");
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
    const HandIn hand_in = find_hand_in(scratch.path / "alice", "alice");
    CHECK(hand_in.folder == scratch.path / "alice");
    CHECK(hand_in.note.find("none of the nine") != std::string::npos);
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

    const std::vector<Person> people = find_class(folder, work);
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
