#include "landlock.h"
#include "sandbox_expected.h"
#include "sandbox_landlock.h"
#include "test_folders.h"

#include <doctest/doctest.h>

#include <filesystem>
#include <sys/stat.h>

using namespace check;
namespace fs = std::filesystem;

TEST_CASE("in the Landlock sandbox the system's programs may do more than a checked program" *
          doctest::skip(test::without_sandbox()))
{
    const auto problem = landlock_problem();
    REQUIRE_MESSAGE(!problem, "no Landlock sandbox here: " << problem.value_or(""));
    const test::Scratch scratch;
    share_with_sandbox(scratch.path, true);
    const fs::path file = scratch.path / "file";
    test::touch(file, "text\n");
    share_with_sandbox(file, true);
    // The same program, once where the system keeps it and once as a checked program would be.
    const fs::path copy = scratch.path / "chmod";
    fs::copy_file("/bin/chmod", copy);
    share_with_sandbox(copy, false);

    struct Run {
        fs::path program;
        bool changes;
    };
    for (const Run& one : {Run{"/bin/chmod", true}, Run{copy, false}}) {
        CAPTURE(one.program);
        REQUIRE(chmod(file.c_str(), 0644) == 0);
        RunRequest request;
        request.command = {one.program.string(), "600", file.string()};
        request.sandbox.enabled = true;
        request.sandbox.kind = SandboxKind::landlock;
        request.sandbox.read_only = {scratch.path};
        request.sandbox.writable = scratch.path;
        request.limits.wall_seconds = 10;
        const RunResult result = run_in_landlock(request);
        CHECK(result.ending == Ending::exited);
        CHECK((result.status == 0) == one.changes);
        CHECK(((fs::status(file).permissions() & fs::perms::group_read) == fs::perms::none) ==
              one.changes);
    }
}
