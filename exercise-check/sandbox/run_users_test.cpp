#include "run_users.h"
#include "sandbox_expected.h"
#include "test_folders.h"

#include <doctest/doctest.h>

#include <sys/stat.h>
#include <unistd.h>

using namespace check;
namespace fs = std::filesystem;

TEST_CASE("a block of ids is the check's only where no account, group, range or process has one")
{
    const UserBlock block{1000000, 1000};
    struct Case {
        const char* what;
        std::string passwd, group, subuid, subgid;
        std::vector<uid_t> processes;
        bool free;
    };
    const std::string system =
        "root:x:0:0:root:/root:/bin/bash\nnobody:x:65534:65534::/:/bin/false\n";
    for (const Case& one : {
             Case{"a system of its own", system, "root:x:0:\n", "", "", {0, 65534}, true},
             Case{"an account's user",
                  system + "ana:x:1000500:100::/home/ana:/bin/sh\n",
                  "",
                  "",
                  "",
                  {},
                  false},
             Case{"an account's group",
                  system + "ana:x:1000:1000999::/home/ana:/bin/sh\n",
                  "",
                  "",
                  "",
                  {},
                  false},
             Case{"a group", system, "staff:x:1000000:ana\n", "", "", {}, false},
             Case{"a range that ends in it", system, "", "ana:999000:1001\n", "", {}, false},
             Case{"a range that starts in it", system, "", "", "ana:1000999:65536\n", {}, false},
             Case{"a range just before it", system, "", "ana:900000:100000\n", "", {}, true},
             Case{"a range just after it", system, "", "ana:1001000:65536\n", "", {}, true},
             Case{"a process left behind", system, "", "", "", {0, 1000001}, false},
             Case{"lines that are not accounts",
                  "::\nbad\nx:y:1000001x:1001000\n",
                  "x:x:-5:\n",
                  "a:b:c\n",
                  "",
                  {},
                  true},
         }) {
        CAPTURE(std::string(one.what));
        CHECK(block_is_free(block, one.passwd, one.group, one.subuid, one.subgid, one.processes) ==
              one.free);
    }
}

TEST_CASE("as root, each folder shared with the sandbox is a user's of its own, closed to others" *
          doctest::skip(geteuid() != 0))
{
    const std::optional<UserBlock> block = check_users();
    REQUIRE(block);
    const test::Scratch scratch;
    const fs::path first = scratch.path / "first";
    const fs::path second = scratch.path / "second";
    const fs::path shown = scratch.path / "shown";
    for (const fs::path& folder : {first, second, shown}) {
        fs::create_directory(folder);
        share_with_sandbox(folder, true, folder == shown);
    }
    fs::create_directory(first / "inside");
    share_with_sandbox(first / "inside", true);

    struct stat a {
    }, b{}, c{}, inner{};
    REQUIRE(stat(first.c_str(), &a) == 0);
    REQUIRE(stat(second.c_str(), &b) == 0);
    REQUIRE(stat(shown.c_str(), &c) == 0);
    REQUIRE(stat((first / "inside").c_str(), &inner) == 0);
    CHECK(block->contains(a.st_uid));
    CHECK(block->contains(b.st_uid));
    CHECK(a.st_uid != b.st_uid);
    CHECK(a.st_gid == a.st_uid);
    CHECK(inner.st_uid == a.st_uid); // within a user's folder, the same user
    CHECK((a.st_mode & 077) == 0);
    CHECK((c.st_mode & 055) == 055);

    Sandbox builds;
    builds.writable = first;
    CHECK(run_user_of(builds) == a.st_uid);
    Sandbox runs;
    runs.read_only = {"/usr/bin/true", second / "program"};
    CHECK(run_user_of(runs) == b.st_uid);
    CHECK(run_user_of(Sandbox{}) == block->first);
}
