#include "test_folders.h"
#include "work_folder.h"

#include <doctest/doctest.h>

#include <array>
#include <csignal>
#include <cstdlib>
#include <sys/wait.h>
#include <unistd.h>

using namespace check;
namespace fs = std::filesystem;

namespace {

// A check in a process of its own that makes its work folder in folder, puts a file in it (in
// a subfolder it closes, as a run might have), and then waits to be killed: its pid.
pid_t check_killed_later(const fs::path& folder)
{
    std::array<int, 2> ready{};
    REQUIRE(pipe(ready.data()) == 0);
    const pid_t pid = fork();
    if (pid == 0) {
        setenv("TMPDIR", folder.c_str(), 1);
        const WorkFolder work(false);
        fs::create_directories(work.path() / "closed");
        std::ofstream(work.path() / "closed" / "copy.cpp") << "int main() {}\n";
        fs::permissions(work.path() / "closed", fs::perms::none);
        (void)!write(ready[1], "x", 1);
        for (;;) {
            pause();
        }
    }
    char byte = 0;
    close(ready[1]);
    REQUIRE(read(ready[0], &byte, 1) == 1);
    close(ready[0]);
    return pid;
}

std::size_t work_folders_in(const fs::path& folder)
{
    std::size_t count = 0;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        count += entry.path().filename().string().rfind("exercise-check-", 0) == 0 ? 1 : 0;
    }
    return count;
}

} // namespace

TEST_CASE("a killed check's work folder is removed at the next start, a running check's is not")
{
    const test::Scratch scratch;
    const pid_t running = check_killed_later(scratch.path);
    const pid_t killed = check_killed_later(scratch.path);
    kill(killed, SIGKILL);
    waitpid(killed, nullptr, 0);
    // Folders of that name that are no check's, or have no lock yet, stay as they are.
    fs::create_directories(scratch.path / "exercise-check-mine");
    REQUIRE(work_folders_in(scratch.path) == 3);

    CHECK(remove_left_work_folders(scratch.path) == 1);
    CHECK(work_folders_in(scratch.path) == 2);
    {
        setenv("TMPDIR", scratch.path.c_str(), 1);
        const WorkFolder next(false); // removes the killed one's at its start: none is left
        CHECK(work_folders_in(scratch.path) == 3);
    }
    unsetenv("TMPDIR");
    CHECK(work_folders_in(scratch.path) == 2);

    kill(running, SIGKILL);
    waitpid(running, nullptr, 0);
    CHECK(remove_left_work_folders(scratch.path) == 1);
    CHECK(work_folders_in(scratch.path) == 1);
}
