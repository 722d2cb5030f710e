// Sources named in place of folders: checked as the programs their names say, in their folder.
#include "settings_from_options.h"

#include "kept.h"
#include "test_folders.h"

#include <doctest/doctest.h>

#include <stdexcept>

using namespace check;
namespace fs = std::filesystem;
using check::test::Scratch;
using check::test::touch;

TEST_CASE("sources named in place of a folder are checked in it, as those programs alone")
{
    const Scratch scratch;
    const std::string here = scratch.path.string();
    for (const char* file : {"a/twodigits.cpp", "a/circle.cpp", "a/notes.txt", "a/mine.cpp",
                             "b/twodigits.cpp", "a/digit-exercises/threedigits.cpp"}) {
        touch(scratch.path / file);
    }
    struct Row {
        std::vector<std::string> named;
        std::string programs; // --programs
        std::string folder;   // checked; empty: the options as they were
        std::string checked;  // the programs, or the refusal's words
    };
    const std::vector<Row> rows{
        {{here + "/a"}, "", "", ""},
        {{here + "/a", here + "/b"}, "", "", ""},
        {{here + "/a/twodigits.cpp"}, "", here + "/a", "twodigits"},
        {{here + "/a/twodigits.cpp", here + "/a/./circle.cpp"},
         "",
         here + "/a",
         "twodigits circle"},
        {{here + "/a/digit-exercises/threedigits.cpp"},
         "",
         here + "/a/digit-exercises",
         "threedigits"},
        {{here + "/a/mine.cpp"}, "", "", "none of the exercises' programs"},
        {{here + "/a/notes.txt"}, "", "", "none of the exercises' programs"},
        {{here + "/a/twodigits.cpp", here + "/b/twodigits.cpp"}, "", "", "more than one folder"},
        {{here + "/a/twodigits.cpp", here + "/b"}, "", "", "not both"},
        {{here + "/a/twodigits.cpp"}, "circle", "", "--programs goes with folders"},
        {{here + "/a/nothing.cpp"}, "", "", ""}, // no such file: refused later, as a folder
    };
    for (const Row& row : rows) {
        CAPTURE(row.named.front());
        Options options;
        options.folders = row.named;
        options.programs = row.programs;
        Settings settings = make_settings(options);
        const std::vector<std::string> programs_before = settings.programs;
        try {
            const Options checked = files_as_folder(options, settings);
            std::string programs;
            for (const std::string& name : settings.programs) {
                programs += (programs.empty() ? "" : " ") + name;
            }
            if (row.folder.empty()) {
                CHECK(checked.folders == row.named);
                CHECK(settings.programs == programs_before);
            } else {
                REQUIRE(checked.folders.size() == 1);
                CHECK(fs::path(checked.folders.front()).lexically_normal() ==
                      fs::path(row.folder).lexically_normal());
                CHECK(programs == row.checked);
            }
        } catch (const std::runtime_error& error) {
            CHECK(row.folder.empty()); // a row that is refused
            CHECK(!row.checked.empty());
            CHECK(std::string(error.what()).find(row.checked) != std::string::npos);
        }
    }
}

TEST_CASE("the store is used unless --no-cache says not, or no sandbox keeps the programs out")
{
    struct Row {
        bool no_cache;
        std::string sandbox;
        bool store;
    };
    for (const Row& row : {Row{false, "auto", true}, Row{true, "auto", false},
                           Row{false, "landlock", true}, Row{false, "none", false}}) {
        CAPTURE(row.sandbox);
        Options options;
        options.no_cache = row.no_cache;
        options.sandbox = row.sandbox;
        CHECK(make_settings(options).store == (row.store ? default_store() : fs::path()));
    }
}
