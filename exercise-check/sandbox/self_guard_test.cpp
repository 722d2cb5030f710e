#include "run.h"
#include "self_guard.h"

#include <doctest/doctest.h>

#include <array>
#include <atomic>
#include <fcntl.h>
#include <functional>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

using namespace check;

TEST_CASE("what another process changed of the checker is told apart")
{
    struct Change {
        const char* what;
        std::function<void(SelfState&)> change;
        std::optional<std::string> told;
    };
    const auto limit = [](int resource) {
        return [resource](SelfState& state) {
            state.limits.at(static_cast<std::size_t>(resource)).rlim_cur = 0;
        };
    };
    const std::vector<Change> changes{
        {"nothing", [](SelfState&) {}, std::nullopt},
        {"the file size limit, to nothing", limit(RLIMIT_FSIZE), "the file size limit"},
        {"the processor time limit", limit(RLIMIT_CPU), "the processor time limit"},
        {"the process limit", limit(RLIMIT_NPROC), "the process limit"},
        {"the real-time limit, the last",
         [](SelfState& state) { state.limits.at(RLIMIT_RTTIME).rlim_max -= 1; },
         "the real-time processor time limit"},
        {"the priority", [](SelfState& state) { state.priority.push_back(19); }, "the priority"},
        {"the processors", [](SelfState& state) { state.affinity = {std::string(8, '\1')}; },
         "the processors it may run on"},
        {"the I/O priority", [](SelfState& state) { state.io_priority.push_back(7); },
         "the I/O priority"},
    };
    for (const Change& change : changes) {
        CAPTURE(change.what);
        const SelfState before = self_state();
        REQUIRE(before.limits.size() == RLIMIT_NLIMITS);
        SelfState now = before;
        change.change(now);
        CHECK(what_changed(before, now) == change.told);
    }
}

TEST_CASE("a checker whose limits or priority a program changes ends with status 3")
{
    struct Attack {
        const char* script;
        std::optional<std::string> told; // in the one line on standard error
    };
    for (const Attack& attack :
         {Attack{"true", std::nullopt},
          Attack{"prlimit --pid $PPID --nofile=512:512", "the open file limit"},
          Attack{"renice -n 3 -p $PPID >/dev/null", "the priority"},
          // A thread's own, not the first's: $THREAD is one of the checker's other threads.
          Attack{"renice -n 3 -p $THREAD >/dev/null", "the priority"},
          Attack{"taskset -p 1 $THREAD >/dev/null", "the processors it may run on"},
          Attack{"ionice -c 3 -p $THREAD", "the I/O priority"}}) {
        CAPTURE(std::string(attack.script));
        std::array<int, 2> errors{};
        REQUIRE(pipe(errors.data()) == 0);
        const pid_t checker = fork();
        if (checker == 0) {
            dup2(errors[1], STDERR_FILENO);
            std::atomic<pid_t> thread{0};
            std::thread([&thread] {
                thread = static_cast<pid_t>(syscall(SYS_gettid));
                for (;;) {
                    pause();
                }
            }).detach();
            while (thread == 0) {
                std::this_thread::yield();
            }
            setenv("THREAD", std::to_string(thread).c_str(), 1);
            RunRequest request;
            request.command = {"/bin/sh", "-c", attack.script};
            run(request);
            request.command = {"/bin/true"};
            run(request);
            _exit(0);
        }
        close(errors[1]);
        std::string said;
        std::array<char, 512> buffer{};
        for (ssize_t count = 0; (count = read(errors[0], buffer.data(), buffer.size())) > 0;) {
            said.append(buffer.data(), static_cast<std::size_t>(count));
        }
        close(errors[0]);
        int status = 0;
        waitpid(checker, &status, 0);
        REQUIRE(WIFEXITED(status));
        CHECK(WEXITSTATUS(status) == (attack.told ? 3 : 0));
        if (attack.told) {
            CHECK(said.find(*attack.told) != std::string::npos);
            CHECK(said.find('\n') == said.size() - 1);
        } else {
            CHECK(said.empty());
        }
    }
}
