// Processes on POSIX systems: a process started confined (child.cpp), its pipes read with poll
// within the limits and the wall clock, and how it ended.
#include "process.h"

#include "child.h"
#include "orphans.h"
#include "self_guard.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

namespace check {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

std::string find_on_path(const std::string& name)
{
    if (name.find('/') != std::string::npos) {
        return name;
    }
    const char* path = std::getenv("PATH");
    std::string folders = path != nullptr ? path : "/usr/bin:/bin";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos) {
            end = folders.size();
        }
        const fs::path candidate = fs::path(folders.substr(start, end - start)) / name;
        if (access(candidate.c_str(), X_OK) == 0) {
            return candidate.string();
        }
        start = end + 1;
    }
    return name;
}

namespace {

constexpr int settle_milliseconds = 200;

struct Pipe {
    int read = -1;
    int write = -1;
};

Pipe make_pipe()
{
    std::array<int, 2> ends{};
    if (pipe2(ends.data(), O_CLOEXEC) != 0) {
        return {};
    }
    return {ends[0], ends[1]};
}

void close_fd(int& fd)
{
    if (fd >= 0) {
        close(fd);
        fd = -1;
    }
}

// Reads what is there now; false at the end of the stream.
bool read_some(int fd, std::string& into, std::uint64_t limit)
{
    std::array<char, 65536> buffer{};
    while (true) {
        const ssize_t count = read(fd, buffer.data(), buffer.size());
        if (count > 0) {
            if (into.size() <= limit) {
                into.append(buffer.data(), static_cast<std::size_t>(count));
            }
            continue;
        }
        return count < 0 && (errno == EAGAIN || errno == EINTR);
    }
}

// A started process and the checker's ends of its pipes.
struct Child {
    pid_t pid = -1;
    int process = -1; // a pidfd, or -1 before Linux 5.3
    int in = -1;      // its standard input, until all of the input is written
    int out = -1;
    int err = -1;
    Clock::time_point start;
    bool out_open = true;
    bool err_open = true;

    Child() = default;
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;
    Child(Child&&) = delete;
    Child& operator=(Child&&) = delete;
    ~Child()
    {
        for (int* fd : {&in, &out, &err, &process}) {
            close_fd(*fd);
        }
    }
};

// Starts the process with its pipes; an error says why it did not start.
std::string start(const RunRequest& request, const std::vector<std::string>& args,
                  const Confinement& confinement, Child& child)
{
    std::vector<std::string> words = args;
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);

    Pipe in = make_pipe();
    Pipe out = make_pipe();
    Pipe err = make_pipe();
    child.in = in.write;
    child.out = out.read;
    child.err = err.read;
    if (in.read < 0 || out.read < 0 || err.read < 0) {
        const int error = errno;
        for (int* fd : {&in.read, &out.write, &err.write}) {
            close_fd(*fd);
        }
        return std::string("cannot make pipes: ") + std::strerror(error);
    }
    child.start = Clock::now();
    const Streams streams{in.read, out.write, err.write};
    child.pid = enter_run([&] { return spawn(request, argv, streams, confinement); });
    const int error = errno;
    for (int* fd : {&in.read, &out.write, &err.write}) {
        close_fd(*fd);
    }
    if (child.pid < 0) {
        return std::string("cannot start a process: ") + std::strerror(error);
    }
    setpgid(child.pid, child.pid); // also in the parent, so that the group exists before any kill
    child.process = static_cast<int>(syscall(SYS_pidfd_open, child.pid, 0));
    for (int fd : {child.in, child.out, child.err}) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    if (request.input.empty() && !request.input_stays_open) {
        close_fd(child.in);
    }
    return {};
}

// Writes what the input pipe takes now.
void feed(const RunRequest& request, Child& child, std::size_t& written)
{
    const ssize_t count =
        write(child.in, request.input.data() + written, request.input.size() - written);
    if (count > 0) {
        written += static_cast<std::size_t>(count);
    } else if (count < 0 && errno != EAGAIN && errno != EINTR) {
        close_fd(child.in); // it stopped reading: the rest is never read
    }
    if (child.in >= 0 && written == request.input.size() && !request.input_stays_open) {
        close_fd(child.in);
    }
}

// Whether the process has ended, for a system without pidfds.
bool ended_by_now(pid_t pid)
{
    siginfo_t info{};
    return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
           info.si_pid == pid;
}

// Feeds the input and reads the outputs until the process ends, or until it must be ended:
// then how it ends.
std::optional<Ending> watch(const RunRequest& request, Child& child, RunResult& result)
{
    const auto deadline =
        child.start + std::chrono::duration_cast<Clock::duration>(
                          std::chrono::duration<double>(request.limits.wall_seconds));
    const auto settle = std::chrono::milliseconds(settle_milliseconds);
    auto last_output = child.start;
    std::size_t written = 0;
    while (true) {
        std::vector<pollfd> fds{{child.process, POLLIN, 0}};
        for (const auto& [fd, open] :
             {std::pair{child.out, child.out_open}, std::pair{child.err, child.err_open}}) {
            if (open) {
                fds.push_back({fd, POLLIN, 0});
            }
        }
        if (child.in >= 0 && written < request.input.size()) {
            fds.push_back({child.in, POLLOUT, 0});
        }
        const bool settled_text = request.settles_on && result.out == *request.settles_on;
        auto wake = settled_text ? std::min(deadline, last_output + settle) : deadline;
        if (child.process < 0) { // no pidfd: look for the end now and then
            wake = std::min(wake, Clock::now() + std::chrono::milliseconds(5));
        }
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(wake - Clock::now());
        if (poll(fds.data(), fds.size(), static_cast<int>(std::max<long long>(0, wait.count()))) <
                0 &&
            errno != EINTR) {
            return std::nullopt;
        }
        const auto now = Clock::now();
        bool running = true;
        for (const pollfd& fd : fds) {
            if (fd.revents == 0) {
                continue;
            }
            if (fd.fd == child.process) {
                running = false;
            } else if (fd.fd == child.out) {
                const std::size_t before = result.out.size();
                child.out_open = read_some(child.out, result.out, request.limits.output_bytes);
                last_output = result.out.size() != before ? now : last_output;
            } else if (fd.fd == child.err) {
                child.err_open = read_some(child.err, result.err, request.limits.output_bytes);
            } else if (fd.fd == child.in) {
                feed(request, child, written);
            }
        }
        if (result.out.size() > request.limits.output_bytes ||
            result.err.size() > request.limits.output_bytes) {
            return Ending::output_limit;
        }
        if (!running || (child.process < 0 && ended_by_now(child.pid))) {
            return std::nullopt;
        }
        if (request.settles_on && result.out == *request.settles_on &&
            now - last_output >= settle) {
            return Ending::waiting;
        }
        if (now >= deadline) {
            return Ending::timed_out;
        }
    }
}

// Waits for the process, ends whatever it started, takes the rest of its output, and says how
// it ended.
void reap(const RunRequest& request, Child& child, std::optional<Ending> ended_early,
          RunResult& result)
{
    // Whatever it started goes with it; a child that keeps the pipes open is not waited for.
    if (ended_early) {
        kill(-child.pid, SIGKILL);
        kill(child.pid, SIGKILL);
    }
    int status = 0;
    rusage usage{};
    while (wait4(child.pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    kill(-child.pid, SIGKILL);
    leave_run(child.pid);
    result.seconds = std::chrono::duration<double>(Clock::now() - child.start).count();
    if (child.out_open) {
        read_some(child.out, result.out, request.limits.output_bytes);
    }
    if (child.err_open) {
        read_some(child.err, result.err, request.limits.output_bytes);
    }
    for (std::string* text : {&result.out, &result.err}) {
        if (text->size() > request.limits.output_bytes) {
            text->resize(request.limits.output_bytes);
        }
    }
    result.peak_memory_bytes = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024U;

    if (ended_early) {
        result.ending = *ended_early;
    } else if (WIFSIGNALED(status)) {
        result.ending = Ending::signalled;
        result.signal = WTERMSIG(status);
    } else {
        result.ending = Ending::exited;
        result.status = WEXITSTATUS(status);
        // bubblewrap reports a program ended by a signal as 128 and the signal.
        if (request.sandbox.enabled && result.status > 128 && result.status < 128 + 65) {
            result.ending = Ending::signalled;
            result.signal = result.status - 128;
        }
    }
}

} // namespace

RunResult run_process(const RunRequest& request, const std::vector<std::string>& args,
                      const Confinement& confinement)
{
    static const bool ignored = [] {
        signal(SIGPIPE, SIG_IGN); // a program that stops reading must not end the checker
        // Nor one that lowered the checker's file size limit, before guard_self sees it.
        signal(SIGXFSZ, SIG_IGN);
        return true;
    }();
    (void)ignored;
    guard_self();

    RunResult result;
    if (args.empty()) {
        result.error = "no command";
        return result;
    }
    Child child;
    result.error = start(request, args, confinement, child);
    if (!result.error.empty()) {
        return result;
    }
    const std::optional<Ending> ended_early = watch(request, child, result);
    reap(request, child, ended_early, result);
    guard_self();
    return result;
}

} // namespace check
