#include "files.h"

#include "test_folders.h"

#include <sys/stat.h>

#include <doctest/doctest.h>

using namespace check;

namespace {

namespace fs = std::filesystem;

enum class Made {
    file,
    nothing,
    folder,
    link_to_file,
    pipe
};

struct ReadCase {
    std::string name;
    Made made;
    std::string held; // what the file (or the one the link leads to) holds
    std::uint64_t bound;
    Links links;
    std::optional<std::string> bytes; // expected; none when it is refused
    std::string why;                  // the end of the problem when refused
};

fs::path make(const fs::path& folder, const ReadCase& one)
{
    const fs::path path = folder / "file";
    switch (one.made) {
    case Made::file: test::touch(path, one.held); break;
    case Made::nothing: break;
    case Made::folder: fs::create_directories(path / "inside"); break;
    case Made::link_to_file:
        test::touch(folder / "target", one.held);
        fs::create_symlink(folder / "target", path);
        break;
    case Made::pipe: REQUIRE(::mkfifo(path.c_str(), 0600) == 0); break;
    }
    return path;
}

} // namespace

TEST_CASE("a file is read whole, or refused with why")
{
    const std::string nul("a\0b\r\n", 5);
    const std::vector<ReadCase> cases = {
        {"a small file", Made::file, "int main() {}\n", 100, Links::refused, "int main() {}\n", ""},
        {"an empty file is empty, not an error", Made::file, "", 100, Links::refused, "", ""},
        {"bytes kept as they are", Made::file, nul, 100, Links::refused, nul, ""},
        {"exactly as large as the bound", Made::file, "12345678", 8, Links::refused, "12345678",
         ""},
        {"a byte over the bound", Made::file, "123456789", 8, Links::refused, std::nullopt,
         "it is larger than 8 bytes"},
        {"far over the bound", Made::file, std::string(3 * 1024, 'x'), 2048, Links::followed,
         std::nullopt, "it is larger than 2 KiB"},
        {"no such file", Made::nothing, "", 100, Links::followed, std::nullopt, "no such file"},
        {"a folder", Made::folder, "", 100, Links::followed, std::nullopt, "it is a folder"},
        {"a link where links are followed", Made::link_to_file, "linked", 100, Links::followed,
         "linked", ""},
        {"a link where they are refused", Made::link_to_file, "linked", 100, Links::refused,
         std::nullopt, "it is a link"},
        {"a pipe, without waiting for a writer", Made::pipe, "", 100, Links::followed, std::nullopt,
         "it is not a plain file"},
    };
    for (const ReadCase& one : cases) {
        CAPTURE(one.name);
        const test::Scratch scratch;
        const fs::path path = make(scratch.path, one);
        const FileRead read = read_file(path, one.bound, one.links);
        CHECK(read.bytes == one.bytes);
        if (one.bytes) {
            CHECK(read.problem.empty());
            CHECK(read_file_or_throw(path, one.bound, one.links) == *one.bytes);
        } else {
            CHECK(read.problem == "cannot read " + path.string() + ": " + one.why);
            CHECK(read.missing == (one.made == Made::nothing));
            CHECK_THROWS_WITH_AS(read_file_or_throw(path, one.bound, one.links),
                                 read.problem.c_str(), std::runtime_error);
        }
    }
}

TEST_CASE("sizes are said in the largest unit they are whole in")
{
    const std::vector<std::pair<std::uint64_t, std::string>> sizes = {
        {0, "0 bytes"},
        {1, "1 byte"},
        {1000, "1000 bytes"},
        {1024, "1 KiB"},
        {1536, "1536 bytes"},
        {64 * 1024, "64 KiB"},
        {1024 * 1024, "1 MiB"},
        {1024 * 1024 + 1024, "1025 KiB"},
        {256ULL << 20, "256 MiB"},
    };
    for (const auto& [bytes, text] : sizes) {
        CHECK(size_text(bytes) == text);
    }
}
