// Archives: entries kept inside the folder, limits, the formats and the broken ones.
#include "archives.h"
#include "test_folders.h"

#include <doctest/doctest.h>

#include <optional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace check;
using namespace check::test;

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
