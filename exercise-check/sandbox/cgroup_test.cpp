#include "cgroup.h"
#include "sandbox_expected.h"

#include <doctest/doctest.h>

using namespace check;

TEST_CASE("the processes ended for a group's memory limit are read from either version's file")
{
    // Version 1's memory.oom_control, and version 2's memory.events, which also counts the times
    // the limit was reached without a process being ended.
    CHECK(oom_kills_in("oom_kill_disable 0\nunder_oom 0\noom_kill 3\n") == 3);
    CHECK(oom_kills_in("low 0\nhigh 0\nmax 12\noom 4\noom_kill 2\noom_group_kill 0\n") == 2);
    CHECK(oom_kills_in("low 0\nhigh 0\nmax 0\noom 0\n") == 0);
    CHECK(oom_kills_in("") == 0);
}

TEST_CASE("a group is gone once it is ended" * doctest::skip(test::without_sandbox()))
{
    REQUIRE_MESSAGE(memory_groups_work(), "no cgroup can be made here");
    std::filesystem::path events;
    {
        const std::unique_ptr<MemoryGroup> group = MemoryGroup::make(64 * 1024 * 1024, 8);
        REQUIRE(group != nullptr);
        events = group->events();
        CHECK(std::filesystem::exists(events));
        CHECK(oom_kills(events) == 0);
        CHECK_FALSE(group->joins().empty());
    }
    CHECK_FALSE(std::filesystem::exists(events.parent_path()));
}
