#include "landlock.h"
#include "sandbox_expected.h"
#include "syscall_filter.h"
#include "test_folders.h"

#include <doctest/doctest.h>

#include <arpa/inet.h>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <functional>
#include <linux/filter.h>
#include <netinet/in.h>
#include <sched.h>
#include <sys/personality.h>
#include <sys/ptrace.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace check;
namespace fs = std::filesystem;

namespace {

// A scratch folder of the test's own, with a file it may read, one it may not, and a folder it
// may write.
struct Folders : test::Scratch {
    Folders()
    {
        fs::create_directories(path / "allowed");
        fs::create_directories(path / "private");
        fs::create_directories(path / "writable");
        std::ofstream(path / "allowed" / "file") << "open\n";
        std::ofstream(path / "private" / "secret") << "secret\n";
    }
};

// Whether the action succeeds in a process of its own under the ruleset and the filter.
bool allowed_in_sandbox(const landlock::Ruleset& ruleset, const std::function<bool()>& action)
{
    const sock_fprog& filter = syscall_filter::tools();
    const pid_t pid = fork();
    if (pid == 0) {
        if (!landlock::restrict_self(ruleset.fd()) || !syscall_filter::apply(filter)) {
            _exit(2);
        }
        _exit(action() ? 0 : 1);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    REQUIRE(WIFEXITED(status));
    REQUIRE(WEXITSTATUS(status) != 2);
    return WEXITSTATUS(status) == 0;
}

bool opens(const fs::path& path, int flags)
{
    const int fd = open(path.c_str(), flags | O_CLOEXEC, 0600);
    if (fd >= 0) {
        close(fd);
    }
    return fd >= 0;
}

} // namespace

TEST_CASE("a sandboxed run reaches only what its rules give, and no other process" *
          doctest::skip(test::without_sandbox()))
{
    const auto problem = landlock::problem();
    REQUIRE_MESSAGE(!problem, "no Landlock here: " << problem.value_or(""));
    const Folders scratch;
    landlock::Reach reach;
    reach.read = landlock::system_folders();
    reach.read.push_back(scratch.path / "allowed");
    reach.write.push_back(scratch.path / "writable");
    reach.devices.emplace_back("/dev/null");
    const landlock::Ruleset ruleset(reach);
    const pid_t checker = getpid();

    // A port that listens, as a service on the machine would.
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    REQUIRE(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0);
    REQUIRE(listen(listener, 1) == 0);
    socklen_t length = sizeof address;
    getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
    const auto connects = [address] {
        const int fd = socket(AF_INET, SOCK_STREAM, 0);
        return fd >= 0 &&
               connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    };

    struct Attempt {
        const char* what;
        std::function<bool()> action;
        bool allowed;
    };
    const std::vector<Attempt> attempts{
        {"read a file it is given",
         [&] { return opens(scratch.path / "allowed" / "file", O_RDONLY); }, true},
        {"run the system's programs",
         [] { return access("/usr/bin/true", X_OK) == 0 && opens("/usr/bin/true", O_RDONLY); },
         true},
        {"write in its own folder",
         [&] { return opens(scratch.path / "writable" / "new", O_WRONLY | O_CREAT); }, true},
        {"write to /dev/null", [] { return opens("/dev/null", O_WRONLY); }, true},
        {"start a process of its own and signal it",
         [] {
             const pid_t child = fork();
             if (child == 0) {
                 pause();
                 _exit(0);
             }
             const bool signalled = child > 0 && kill(child, SIGKILL) == 0;
             waitpid(child, nullptr, 0);
             return signalled;
         },
         true},
        {"read another folder",
         [&] { return opens(scratch.path / "private" / "secret", O_RDONLY); }, false},
        {"write beside its folder", [&] { return opens(scratch.path / "new", O_WRONLY | O_CREAT); },
         false},
        {"read the checker's environment",
         [checker] { return opens("/proc/" + std::to_string(checker) + "/environ", O_RDONLY); },
         false},
        {"connect to a local port", connects, false},
        {"make a socket",
         [] {
             const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
             return fd >= 0;
         },
         false},
        {"trace the checker",
         [checker] { return ptrace(PTRACE_ATTACH, checker, nullptr, nullptr) == 0; }, false},
        {"signal every process it may", [] { return kill(-1, 0) == 0; }, false},
        {"signal the checker's group", [checker] { return kill(-getpgid(checker), 0) == 0; },
         false},
        {"make a user namespace", [] { return unshare(CLONE_NEWUSER) == 0; }, false},
        {"turn address randomisation off", [] { return personality(ADDR_NO_RANDOMIZE) != -1; },
         false},
    };
    for (const Attempt& attempt : attempts) {
        CAPTURE(std::string(attempt.what));
        CHECK(allowed_in_sandbox(ruleset, attempt.action) == attempt.allowed);
    }
    if (landlock::abi() >= 6) {
        CAPTURE("signal the checker");
        CHECK_FALSE(allowed_in_sandbox(ruleset, [checker] { return kill(checker, 0) == 0; }));
    }
    close(listener);
}
