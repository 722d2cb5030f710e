#include "run.h"

#include <doctest/doctest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

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
    const std::filesystem::path mark = std::filesystem::temp_directory_path() / "run-test-mark";
    std::filesystem::remove(mark);
    const RunResult result = shell("(sleep 1; touch " + mark.string() + ") & echo parent");
    CHECK(result.ending == Ending::exited);
    CHECK(result.out == "parent\n");
    CHECK(result.seconds < 0.9);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    CHECK_FALSE(std::filesystem::exists(mark));
}

TEST_CASE("limits on memory and file size hold")
{
    RunRequest hungry;
    hungry.command = {"/bin/sh", "-c", "x=$(head -c 100000000 /dev/zero | tr '\\0' a); echo ${#x}"};
    hungry.limits.memory_bytes = 32 * mebibyte;
    CHECK(run(hungry).out != "100000000\n");

    const std::filesystem::path big = std::filesystem::temp_directory_path() / "run-test-big";
    const RunResult writes = shell("exec head -c 3000000 /dev/zero > " + big.string());
    CHECK(writes.ending == Ending::signalled);
    CHECK(writes.signal == SIGXFSZ);
    CHECK(std::filesystem::file_size(big) <= Limits{}.file_bytes);
    std::filesystem::remove(big);
}
