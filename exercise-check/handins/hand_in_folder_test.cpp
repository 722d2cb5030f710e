// Where in a hand-in its sources are: inside wrappers and junk, never through a link.
#include "hand_in_folder.h"
#include "known_test.h"
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
        {"only a Windows program: said so, not taken for nothing",
         {"Debug/Zadaca.EXE"},
         ".",
         "handed in a Windows program (Alice B/Debug/Zadaca.EXE), not the sources: each "
         "program's source is a .cpp file, none of them found"},
        {"only text, however many files",
         {"a.txt", "b.TXT", "c/d.txt", "e.txt"},
         ".",
         "handed in text (Alice B/a.txt, Alice B/b.TXT, Alice B/c/d.txt and 1 more), not the "
         "sources: each program's source is a .cpp file, none of them found"},
        {"Windows programs and text",
         {"x.exe", "y.exe", "readme.txt"},
         ".",
         "handed in Windows programs (Alice B/x.exe, Alice B/y.exe) and text (Alice "
         "B/readme.txt), not the sources: each program's source is a .cpp file, none of them "
         "found"},
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

TEST_CASE("a folder of several people's hand-ins is told from one person's")
{
    struct Layout {
        const char* what;
        std::vector<std::string> files;
        std::vector<std::string> several;
    };
    const std::vector<Layout> layouts{
        {"three people side by side",
         {"ana/twodigits.cpp", "ana/circle.cpp", "bob/twodigits.cpp", "bob/circle.cpp",
          "cid/twodigits.cpp", "cid/circle.cpp"},
         {"ana", "bob", "cid"}},
        {"wrapped in folders that hold only the next",
         {"a/b/ana/twodigits.cpp", "a/b/ana/circle.cpp", "a/b/bob/Zadaca/twodigits.cpp",
          "a/b/bob/Zadaca/circle.cpp", "a/b/cid/twodigits.cpp", "a/b/cid/circle.cpp"},
         {"ana", "bob", "cid"}},
        {"two: maybe one person's two versions, the note names the one not checked",
         {"v1/twodigits.cpp", "v1/circle.cpp", "v2/twodigits.cpp", "v2/circle.cpp"},
         {}},
        {"one person's two versions beside a source of the folder's own",
         {"twodigits.cpp", "old/twodigits.cpp", "old/circle.cpp", "new/twodigits.cpp",
          "new/circle.cpp"},
         {}},
        {"one person's folders of the exercises",
         {"digit-exercises/twodigits.cpp", "digit-exercises/threedigits.cpp",
          "calculators/circle.cpp", "calculators/echonumber.cpp"},
         {}},
        {"one full hand-in beside a folder of a single program",
         {"ana/twodigits.cpp", "ana/circle.cpp", "extra/twodigits.cpp"},
         {}},
    };
    for (const Layout& layout : layouts) {
        CAPTURE(layout.what);
        const Scratch scratch;
        for (const std::string& file : layout.files) {
            touch(scratch.path / "given" / file);
        }
        CHECK(several_hand_ins(scratch.path / "given", known()) == layout.several);
    }
}
