// The kept builds: found again by what they were made from, and removed only when unused.
#include "fault_cache.h"

#include "test_folders.h"

#include <doctest/doctest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <string>

using namespace check;
using namespace check::test;

TEST_CASE("a kept build is found by its compiler and source, and by nothing else")
{
    const Scratch scratch;
    const fs::path cache = scratch.path / "cache";
    CHECK(kept_folder({}, "c++ 12", "int main() {}").empty());
    CHECK(kept_folder(cache, "", "int main() {}").empty());
    const fs::path kept = kept_folder(cache, "c++ 12", "int main() {}");
    CHECK(kept.parent_path() == cache);
    CHECK(kept != kept_folder(cache, "c++ 13", "int main() {}"));
    CHECK(kept != kept_folder(cache, "c++ 12", "int main() { }"));
    // The boundary between the two is kept: "a" + "b\0c" is not "a\0b" + "c".
    CHECK(kept_folder(cache, "a", std::string("b\0c", 3)) != kept_folder(cache, "a\0b", "c"));

    touch(scratch.path / "built", "the program");
    CHECK_FALSE(fetch_kept(kept, "circle", scratch.path / "copy"));
    keep(kept, "circle", scratch.path / "built");
    REQUIRE(fetch_kept(kept, "circle", scratch.path / "copy"));
    std::ifstream copy(scratch.path / "copy");
    CHECK(std::string(std::istreambuf_iterator<char>(copy), {}) == "the program");
    // Nothing but the build is left beside it.
    CHECK(std::distance(fs::directory_iterator(kept), fs::directory_iterator()) == 1);
}

TEST_CASE("only kept folders unused for longer than the age are removed")
{
    const Scratch scratch;
    const fs::path cache = scratch.path / "cache";
    const auto long_ago = fs::file_time_type::clock::now() - std::chrono::hours(24 * 40);
    const auto aged = [&](const fs::path& path) { fs::last_write_time(path, long_ago); };
    touch(scratch.path / "built");
    const fs::path old = kept_folder(cache, "c++", "old");
    const fs::path fresh = kept_folder(cache, "c++", "fresh");
    const fs::path used = kept_folder(cache, "c++", "used");
    for (const fs::path& kept : {old, fresh, used}) {
        keep(kept, "circle", scratch.path / "built");
    }
    aged(old);
    aged(used);
    CHECK(fetch_kept(used, "circle", scratch.path / "copy"));
    // What else the folder holds stays, however old: a folder and a file of other names, a file
    // with a kept folder's name, a link with one to an old folder elsewhere.
    const std::string hash_like(64, 'a');
    fs::create_directories(cache / "notes");
    aged(cache / "notes");
    touch(cache / std::string(64, 'b'));
    aged(cache / std::string(64, 'b'));
    fs::create_directories(scratch.path / "elsewhere");
    touch(scratch.path / "elsewhere" / "mine");
    aged(scratch.path / "elsewhere");
    fs::create_directory_symlink(scratch.path / "elsewhere", cache / hash_like);

    prune_kept(cache, std::chrono::hours(24 * 30));
    CHECK_FALSE(fs::exists(old));
    CHECK(fs::exists(fresh / "circle"));
    CHECK(fs::exists(used / "circle"));
    CHECK(fs::exists(cache / "notes"));
    CHECK(fs::exists(cache / std::string(64, 'b')));
    CHECK(fs::is_symlink(cache / hash_like));
    CHECK(fs::exists(scratch.path / "elsewhere" / "mine"));
    prune_kept(scratch.path / "no such folder", std::chrono::hours(1)); // nothing to do
}
