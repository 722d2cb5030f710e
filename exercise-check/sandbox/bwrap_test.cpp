#include "bwrap.h"
#include "sandbox_expected.h"

#include <doctest/doctest.h>

#include <string>

using namespace check;

TEST_CASE("without a cgroup, a program's processes and files together stay within its memory")
{
    struct Example {
        std::uint64_t memory_mib;
        int processes;
        std::uint64_t tmp_mib;
    };
    for (const Example example : {Example{512, 64, 64}, Example{512, 1, 64}, Example{2048, 64, 64},
                                  Example{200, 3, 64}, Example{100, 64, 64}, Example{64, 2, 1}}) {
        CAPTURE(example.memory_mib);
        CAPTURE(example.processes);
        Limits limits;
        limits.memory_bytes = example.memory_mib * mebibyte;
        limits.processes = example.processes;
        Sandbox sandbox;
        sandbox.tmp_bytes = example.tmp_mib * mebibyte;
        const Limits shared = without_group(limits, sandbox);
        CHECK(shared.processes >= 1);
        CHECK(shared.processes <= example.processes);
        const std::uint64_t files = sandbox.tmp_bytes + shm_bytes;
        const std::uint64_t taken =
            static_cast<std::uint64_t>(shared.processes) * shared.memory_bytes;
        // Where the files alone would take most of the limit, the processes get half of it.
        CHECK(taken + std::min(files, limits.memory_bytes / 2) <= limits.memory_bytes);
        CHECK(shared.memory_bytes >= limits.memory_bytes / 16);
        CHECK(shared.wall_seconds == limits.wall_seconds);
    }
    Limits unlimited;
    unlimited.memory_bytes = 0;
    CHECK(without_group(unlimited, Sandbox{}).processes == unlimited.processes);
}

TEST_CASE("without a cgroup, a sandboxed program's processes cannot hold more than its memory" *
          doctest::skip(test::without_sandbox()))
{
    const auto problem = bubblewrap_problem();
    REQUIRE_MESSAGE(!problem, "no sandbox starts here: " << problem.value_or(""));
    // Three processes of 100 MiB at once, each within a limit of 128 MiB.
    RunRequest many;
    many.command = {"/bin/sh", "-c",
                    "for i in 1 2 3; do (dd if=/dev/zero of=/dev/null bs=100M count=10 "
                    "2>/dev/null && echo held) & done; wait"};
    many.sandbox.enabled = true;
    many.limits.memory_bytes = 128 * mebibyte;
    many.limits.wall_seconds = 10;
    many.limits = without_group(many.limits, many.sandbox);
    const RunResult result = run_in_sandbox(many, nullptr, false);
    CHECK(result.ending == Ending::exited);
    CHECK(result.out.find("held") == std::string::npos);
}
