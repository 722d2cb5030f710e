// Archives: entries kept inside the folder, limits, the formats and the broken ones.
#include "archives.h"
#include "test_folders.h"

#include <doctest/doctest.h>
#include <locale.h>

#include <fstream>
#include <iterator>
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

TEST_CASE("each archive format a hand-in comes in is unpacked; one that cannot be read says so")
{
    const Scratch scratch;
    const std::vector<Entry> hand_in{{"luka/twodigits.cpp", AE_IFREG, "int main() {}\n", ""}};
    for (const std::string kind : {"zip", "tar", "tar.gz", "7z"}) {
        CAPTURE(kind);
        const fs::path file = scratch.path / ("luka." + kind);
        write_archive(file, hand_in, kind);
        const fs::path into = scratch.path / ("into-" + kind);
        const Unpacked unpacked = unpack_archive(file, into);
        CHECK(unpacked.ok);
        CHECK(unpacked.files == 1);
        CHECK(files_under(into) == "luka luka/twodigits.cpp");
    }

    write_zip(scratch.path / "whole.zip",
              {{"twodigits.cpp", AE_IFREG, std::string(100000, 'x'), ""}});
    std::string whole;
    {
        std::ifstream in(scratch.path / "whole.zip", std::ios::binary);
        whole.assign(std::istreambuf_iterator<char>(in), {});
    }
    // An mtree archive is a list of files on the system that reads it: never taken.
    struct Broken {
        std::string what;
        std::string name;
        std::string bytes;
    };
    const std::vector<Broken> broken{
        {"cut short", "short.zip", whole.substr(0, whole.size() / 2)},
        {"not an archive", "junk.7z", std::string(5000, '\x5a')},
        {"a list of the system's files", "list.tar",
         "#mtree\ntwodigits.cpp type=file contents=/etc/passwd\n"},
    };
    for (const Broken& example : broken) {
        CAPTURE(example.what);
        touch(scratch.path / example.name, example.bytes);
        const fs::path into = scratch.path / ("broken-" + example.name);
        const Unpacked unpacked = unpack_archive(scratch.path / example.name, into);
        CHECK_FALSE(unpacked.ok);
        CHECK(unpacked.problem.rfind("could not be read: ", 0) == 0);
        CHECK(fs::is_empty(into));
    }

    write_archive(scratch.path / "locked.zip", hand_in, "zip", "zip:encryption=zipcrypt");
    const Unpacked locked = unpack_archive(scratch.path / "locked.zip", scratch.path / "locked");
    CHECK_FALSE(locked.ok);
    CHECK(locked.problem.rfind("could not be read: ", 0) == 0);
    CHECK(fs::is_empty(scratch.path / "locked"));

    // A link named as an archive is not followed to what it names.
    fs::create_symlink(scratch.path / "luka.zip", scratch.path / "link.zip");
    CHECK_FALSE(unpack_archive(scratch.path / "link.zip", scratch.path / "link").ok);
}

TEST_CASE("names in Windows' own code page become UTF-8, and UTF-8 names stay as they are")
{
    const std::vector<std::pair<std::string, std::string>> names{
        {"twodigits.cpp", "twodigits.cpp"},
        {"Ana Mari\xC4\x87/circle.cpp", "Ana Mari\xC4\x87/circle.cpp"},
        // Č, ć, Đ, š, ž and Ž as code page 852 writes them.
        {"\xAC"
         "ovi\x86",
         "\xC4\x8C"
         "ovi\xC4\x87"},
        {"\xD1uro \xE7"
         "a\xA7"
         "i\xA6",
         "\xC4\x90uro \xC5\xA1"
         "a\xC5\xBE"
         "i\xC5\xBD"},
    };
    for (const auto& example : names) {
        const auto& name = example.first;
        CAPTURE(name);
        CHECK(entry_name_text(name) == example.second);
    }

    const Scratch scratch;
    write_zip(scratch.path / "dos.zip", {{"\xAC"
                                          "ovi\x86\\twodigits.cpp",
                                          AE_IFREG, "int main() {}\n", ""}});
    const Unpacked unpacked = unpack_archive(scratch.path / "dos.zip", scratch.path / "into");
    CHECK(unpacked.ok);
    CHECK(files_under(scratch.path / "into") == "\xC4\x8C"
                                                "ovi\xC4\x87 \xC4\x8C"
                                                "ovi\xC4\x87/twodigits.cpp");
}

TEST_CASE("a zip's names marked as UTF-8 are read in the C locale the checker runs in")
{
    const Scratch scratch;
    const fs::path zip = scratch.path / "download.zip";
    // Written as a UTF-8 system writes it, read in the checker's own C locale.
    const locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(nullptr));
    REQUIRE(utf8 != nullptr);
    const locale_t before = uselocale(utf8);
    write_archive(zip, {{"Filip Perić/circle.cpp", AE_IFREG, "int main() {}\n", ""}}, "zip",
                  "zip:hdrcharset=UTF-8");
    uselocale(before);
    freelocale(utf8);
    const Unpacked unpacked = unpack_archive(zip, scratch.path / "out");
    REQUIRE(unpacked.ok);
    CHECK(unpacked.skipped == 0);
    CHECK(files_under(scratch.path / "out") == "Filip Perić Filip Perić/circle.cpp");
}
