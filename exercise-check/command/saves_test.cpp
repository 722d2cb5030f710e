// Saves: a file counts once written whole, in the folder or one made in it later.
#include "saves.h"

#include "test_folders.h"

#include <doctest/doctest.h>

#include <cstdio>
#include <fcntl.h>
#include <string>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using check::Saves;
using namespace std::chrono_literals;

} // namespace

TEST_CASE("a save counts once the file is written whole, wherever in the folder it is")
{
    const check::test::Scratch scratch;
    Saves saves(scratch.path);
    CHECK(saves.next(10ms, 50ms).empty());

    // Half written: the writer has not closed it yet, so it is not read.
    const fs::path circle = scratch.path / "circle.cpp";
    const int writer = ::open(circle.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    REQUIRE(writer >= 0);
    REQUIRE(::write(writer, "int main()", 10) == 10);
    CHECK(saves.next(10ms, 100ms).empty());
    REQUIRE(::write(writer, " {}\n", 4) == 4);
    ::close(writer);
    CHECK(saves.next(10ms, 1000ms) == std::vector<fs::path>{circle});

    // Written elsewhere and moved into place, as many editors save; twice is one save.
    check::test::touch(scratch.path / ".circle.cpp.tmp");
    check::test::touch(scratch.path / "twodigits.cpp");
    CHECK(saves.next(10ms, 1000ms).size() == 2); // the temporary file and twodigits.cpp
    check::test::touch(scratch.path / ".circle.cpp.tmp");
    fs::rename(scratch.path / ".circle.cpp.tmp", circle);
    check::test::touch(circle);
    CHECK(saves.next(50ms, 1000ms) ==
          std::vector<fs::path>{scratch.path / ".circle.cpp.tmp", circle});

    // In a folder made after the watch began, and in one that was there before.
    fs::create_directories(scratch.path / "calculators");
    CHECK(saves.next(10ms, 100ms).empty());
    check::test::touch(scratch.path / "calculators" / "circle.cpp");
    CHECK(saves.next(10ms, 1000ms) ==
          std::vector<fs::path>{scratch.path / "calculators" / "circle.cpp"});
}
