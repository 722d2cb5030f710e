#include "run.h"
#include "sandbox_expected.h"
#include "test_folders.h"

#include <doctest/doctest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace check;

namespace {

RunResult shell(const std::string& script, const std::string& input = "", double seconds = 5)
{
    RunRequest request;
    request.command = {"/bin/sh", "-c", script};
    request.input = input;
    request.limits.wall_seconds = seconds;
    return run(request);
}

} // namespace

TEST_CASE("a run says how the process ended")
{
    const RunResult echo = shell("cat; echo err >&2; exit 3", "in\n");
    CHECK(echo.ending == Ending::exited);
    CHECK(echo.status == 3);
    CHECK(echo.out == "in\n");
    CHECK(echo.err == "err\n");

    const RunResult killed = shell("kill -SEGV $$");
    CHECK(killed.ending == Ending::signalled);
    CHECK(killed.signal == SIGSEGV);

    const RunResult slow = shell("sleep 10", "", 0.3);
    CHECK(slow.ending == Ending::timed_out);
    CHECK(slow.seconds < 2);

    const RunResult flood = shell("yes");
    CHECK(flood.ending == Ending::output_limit);
    CHECK(flood.out.size() == Limits{}.output_bytes);

    RunRequest missing;
    missing.command = {"/no/such/program"};
    CHECK(run(missing).status == 127);
}

TEST_CASE("input left open, lost output, and a program seen waiting")
{
    RunRequest open;
    open.command = {"/bin/sh", "-c", "read a; echo got $a; read b; echo never"};
    open.input = "1\n";
    open.input_stays_open = true;
    open.limits.wall_seconds = 0.5;
    const RunResult waits = run(open);
    CHECK(waits.ending == Ending::timed_out);
    CHECK(waits.out == "got 1\n");

    open.settles_on = "got 1\n";
    open.limits.wall_seconds = 5;
    const RunResult settled = run(open);
    CHECK(settled.ending == Ending::waiting);
    CHECK(settled.seconds < 2);

    for (const Stdout where : {Stdout::full, Stdout::closed}) {
        RunRequest lost;
        lost.command = {"/bin/sh", "-c", "echo text || exit 7"};
        lost.stdout_to = where;
        CHECK(run(lost).status == 7);
    }
}

TEST_CASE("nothing a run started is left running, and a child holding the pipes does not stall it")
{
    const test::Scratch scratch;
    const std::filesystem::path mark = scratch.path / "mark";
    const RunResult result = shell("(sleep 1; touch " + mark.string() + ") & echo parent");
    CHECK(result.ending == Ending::exited);
    CHECK(result.out == "parent\n");
    CHECK(result.seconds < 0.9);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    CHECK_FALSE(std::filesystem::exists(mark));
}

TEST_CASE("limits on memory and file size hold")
{
    // dd takes its buffer in one piece and says when it cannot: the limit, and only the limit,
    // stops it.
    RunRequest buffer;
    buffer.command = {"dd", "if=/dev/zero", "of=/dev/null", "bs=100M", "count=1"};
    buffer.limits.memory_bytes = 0;
    const RunResult unlimited = run(buffer);
    CHECK(unlimited.ending == Ending::exited);
    CHECK(unlimited.status == 0);
    buffer.limits.memory_bytes = 32 * mebibyte;
    const RunResult limited = run(buffer);
    CHECK(limited.ending == Ending::exited);
    CHECK(limited.status != 0);
    CHECK(limited.err.find("memory exhausted") != std::string::npos);

    const test::Scratch scratch;
    const std::filesystem::path big = scratch.path / "big";
    const RunResult writes = shell("exec head -c 3000000 /dev/zero > " + big.string());
    CHECK(writes.ending == Ending::signalled);
    CHECK(writes.signal == SIGXFSZ);
    CHECK(std::filesystem::file_size(big) <= Limits{}.file_bytes);
}

TEST_CASE("a program run without the sandbox ends with the process that started it")
{
    const std::string mark = "31.41" + std::to_string(getpid());
    const pid_t starter = fork();
    if (starter == 0) {
        RunRequest sleeps;
        sleeps.command = {"/bin/sleep", mark};
        sleeps.limits.wall_seconds = 30;
        run(sleeps);
        _exit(0);
    }
    const auto sleeping = [&] {
        std::error_code error;
        for (const auto& entry : std::filesystem::directory_iterator("/proc", error)) {
            std::ifstream file(entry.path() / "cmdline");
            std::string words;
            std::getline(file, words);
            if (words.find(mark) != std::string::npos && words.find("sleep") != std::string::npos) {
                return true;
            }
        }
        return false;
    };
    for (int wait = 0; wait < 100 && !sleeping(); ++wait) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    REQUIRE(sleeping());
    kill(starter, SIGKILL);
    waitpid(starter, nullptr, 0);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    CHECK_FALSE(sleeping());
}

namespace {

// Where no sandbox starts, the test fails (see sandbox_expected.h).
void require_sandbox()
{
    const auto problem = sandbox_problem();
    REQUIRE_MESSAGE(!problem, "no sandbox starts here: " << problem.value_or("")
                                                         << " (EXERCISE_CHECK_TESTS_WITHOUT_"
                                                            "SANDBOX=1 if none is expected)");
}

RunRequest sandboxed(const std::string& script)
{
    RunRequest request;
    request.command = {"/bin/sh", "-c", script};
    request.sandbox.enabled = true;
    request.limits.wall_seconds = 10;
    return request;
}

} // namespace

TEST_CASE("a sandbox shows none of the checker's environment, no case data, and no namespace "
          "of a program's own" *
          doctest::skip(test::without_sandbox()))
{
    require_sandbox();
    setenv("RUN_TEST_SECRET", "do-not-show", 1);
    const test::Scratch scratch;
    const std::filesystem::path data = scratch.path / "data";
    std::filesystem::create_directories(data / "cases");
    share_with_sandbox(scratch.path, false);
    std::ofstream(data / "cases" / "one.out") << "expected\n";
    std::ofstream(data / "alone.out") << "expected\n";
    std::ofstream(data / "shown") << "shown\n";
    share_with_sandbox(data, false);
    share_with_sandbox(data / "cases", false);

    RunRequest looks = sandboxed(
        "cat /proc/[0-9]*/environ | tr '\\0' '\\n' | grep -c SECRET;"
        "cat " +
        (data / "shown").string() + "; ls -A " + (data / "cases").string() + "; cat " +
        (data / "alone.out").string() + "; unshare -U true 2>/dev/null && echo unshared; exit 0");
    looks.sandbox.read_only = {data};
    // The case data by a relative path and a link to it, as a --cases option may name it.
    std::filesystem::create_directory_symlink("cases", data / "link");
    looks.sandbox.hidden = {std::filesystem::relative(data / "link"), data / "alone.out"};
    RunRequest batched = looks;
    batched.sandbox = {};
    for (const RunResult& result : {run(looks), run_all({batched, batched}, looks.sandbox).at(1)}) {
        CHECK(result.ending == Ending::exited);
        CHECK(result.out == "0\nshown\n");
    }
    unsetenv("RUN_TEST_SECRET");
}

TEST_CASE("a run writes no file unless given room, in either sandbox, and with room writes in "
          "its /tmp alone" *
          doctest::skip(test::without_sandbox()))
{
    require_sandbox();
    // Everywhere a program might put a file: its home, its TMPDIR, /tmp, where it starts, the
    // sandbox's root, and beside the program it runs.
    const test::Scratch scratch;
    share_with_sandbox(scratch.path, false);
    const std::string tries =
        "for at in \"$HOME\" \"${TMPDIR:-/tmp}\" /tmp . / " + scratch.path.string() +
        "; do echo x 2>/dev/null >\"$at/written\" && echo \"$at\"; done; exit 0";
    for (const SandboxKind kind : {SandboxKind::bubblewrap, SandboxKind::landlock}) {
        if (kind == SandboxKind::landlock && sandbox_problem(kind)) {
            continue; // a kernel without Landlock: bubblewrap alone
        }
        CAPTURE(sandbox_name(true, kind));
        RunRequest request = sandboxed(tries);
        request.sandbox.kind = kind;
        request.sandbox.read_only = {scratch.path};
        const RunResult none = run(request);
        CHECK(none.ending == Ending::exited);
        CHECK(none.out.empty());
        request.sandbox.tmp_bytes = mebibyte;
        const RunResult room = run(request);
        CHECK(room.ending == Ending::exited);
        CHECK(room.out.find(kind == SandboxKind::bubblewrap ? "/tmp\n" : "\n") !=
              std::string::npos);
        CHECK(room.out.find('/' + scratch.path.filename().string()) == std::string::npos);
        CHECK(!std::filesystem::exists(scratch.path / "written"));
    }
}

TEST_CASE("a program in a sandbox holds no descriptor but its three" *
          doctest::skip(test::without_sandbox()))
{
    require_sandbox();
    RunRequest lists = sandboxed("ls /proc/$$/fd");
    const RunResult alone = run(lists);
    lists.sandbox = {};
    Sandbox sandbox;
    sandbox.enabled = true;
    for (const RunResult& result : {alone, run_all({lists, lists}, sandbox).at(1)}) {
        CHECK(result.out == "0\n1\n2\n");
    }
}

TEST_CASE("a sandbox's /dev/shm is small and empty for each run, and the rest of /dev read-only" *
          doctest::skip(test::without_sandbox()))
{
    require_sandbox();
    RunRequest leaves = sandboxed("echo mark > /dev/shm/mark; head -c 20000000 /dev/zero > "
                                  "/dev/shm/big 2>/dev/null || echo full; touch /dev/mark "
                                  "2>/dev/null || echo read-only");
    leaves.limits.file_bytes = 64 * mebibyte;
    RunRequest finds = sandboxed("ls -A /dev/shm");
    leaves.sandbox = finds.sandbox = {};
    Sandbox sandbox;
    sandbox.enabled = true;
    const std::vector<RunResult> results = run_all({leaves, finds}, sandbox);
    REQUIRE(results.size() == 2);
    CHECK(results[0].out == "full\nread-only\n");
    CHECK(results[1].out.empty());
}

TEST_CASE("the memory limit holds for all of a sandboxed program's processes together" *
          doctest::skip(test::without_sandbox()))
{
    require_sandbox();
    // Three processes of 100 MiB at once, each within a limit of 128 MiB.
    RunRequest many = sandboxed("for i in 1 2 3; do (dd if=/dev/zero of=/dev/null bs=100M "
                                "count=10 2>/dev/null && echo held) & done; wait");
    many.limits.memory_bytes = 128 * mebibyte;
    Sandbox sandbox;
    sandbox.enabled = true;
    RunRequest batched = many;
    batched.sandbox = {};
    for (const RunResult& result : {run(many), run_all({batched}, sandbox).at(0)}) {
        CHECK(result.out != "held\nheld\nheld\n");
        if (memory_limit_held_by() == "cgroup") {
            CHECK(result.out_of_memory);
        }
    }
    MESSAGE("the memory limit is held by " << memory_limit_held_by());
}

TEST_CASE("a run of a batch is made only where the run before it ended as it needs")
{
    struct Row {
        std::string before; // the script of the run before it
        RunsAfter runs_after;
        bool made;
    };
    const std::vector<Row> rows = {
        {"sleep 10", RunsAfter::always, true},       {"sleep 10", RunsAfter::exited, false},
        {"sleep 10", RunsAfter::in_time, false},     {"exit 3", RunsAfter::exited, true},
        {"exit 3", RunsAfter::in_time, true},        {"kill -SEGV $$", RunsAfter::exited, false},
        {"kill -SEGV $$", RunsAfter::in_time, true},
    };
    std::vector<Sandbox> sandboxes(1);
    if (!test::without_sandbox()) {
        for (const SandboxKind kind : {SandboxKind::bubblewrap, SandboxKind::landlock}) {
            if (!sandbox_problem(kind)) {
                Sandbox sandbox;
                sandbox.enabled = true;
                sandbox.kind = kind;
                sandboxes.push_back(sandbox);
            }
        }
    }
    for (const Sandbox& sandbox : sandboxes) {
        for (const Row& row : rows) {
            CAPTURE(sandbox_name(sandbox.enabled, sandbox.kind));
            CAPTURE(row.before);
            CAPTURE(static_cast<int>(row.runs_after));
            RunRequest before;
            before.command = {"/bin/sh", "-c", row.before};
            before.limits.wall_seconds = 0.3;
            RunRequest after;
            after.command = {"/bin/sh", "-c", "echo made"};
            after.runs_after = row.runs_after;
            // And one after it that needs it to have ended in time: made where it was.
            RunRequest last = after;
            last.runs_after = RunsAfter::in_time;
            const std::vector<RunResult> results = run_all({before, after, last}, sandbox);
            REQUIRE(results.size() == 3);
            CHECK((results[1].out == "made\n") == row.made);
            CHECK((results[1].ending == Ending::not_started) == !row.made);
            CHECK((results[2].out == "made\n") == row.made);
        }
    }
}
