// Copying hand-ins: links never read, sizes bounded before anything is read.
#include "hand_in_folder.h"
#include "handins.h"
#include "known_test.h"
#include "sources.h"
#include "test_folders.h"

#include <doctest/doctest.h>
#include <sys/stat.h>

#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace check;
using namespace check::test;

} // namespace

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
