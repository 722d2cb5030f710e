// Processes on POSIX systems: fork and exec, pipes read with poll, rlimits, and bubblewrap for the
// sandbox (Linux namespaces: no network, its own PID space, a private /tmp, a fixed environment).
#include "run.h"

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
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ; // NOLINT(readability-redundant-declaration): POSIX leaves it undeclared

namespace check {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

constexpr uid_t unprivileged_id = 65534; // nobody: a root checker runs the sandbox as this user
constexpr int settle_milliseconds = 200;

// Where a command is found on PATH, or the name itself when it holds a slash or is not there.
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

// The system's folders as the sandbox shows them: read-only, and symbolic links kept as links.
void add_system(std::vector<std::string>& args)
{
    args.insert(args.end(), {"--ro-bind", "/usr", "/usr", "--ro-bind-try", "/etc", "/etc"});
    for (const char* top : {"/bin", "/sbin", "/lib", "/lib32", "/lib64", "/libx32"}) {
        std::error_code error;
        const fs::file_status status = fs::symlink_status(top, error);
        if (error || !fs::exists(status)) {
            continue;
        }
        if (fs::is_symlink(status)) {
            args.insert(args.end(), {"--symlink", fs::read_symlink(top).string(), top});
        } else {
            args.insert(args.end(), {"--ro-bind", top, top});
        }
    }
}

std::vector<std::string> sandboxed(const RunRequest& request)
{
    const Sandbox& sandbox = request.sandbox;
    std::vector<std::string> args{find_on_path("bwrap"), "--die-with-parent", "--new-session",
                                  "--unshare-all",       "--cap-drop",        "ALL"};
    add_system(args);
    args.insert(args.end(), {"--proc", "/proc", "--dev", "/dev", "--size",
                             std::to_string(sandbox.tmp_bytes), "--tmpfs", "/tmp"});
    for (const fs::path& path : sandbox.read_only) {
        args.insert(args.end(), {"--ro-bind", path.string(), path.string()});
    }
    std::string directory = "/tmp";
    if (!sandbox.writable.empty()) {
        args.insert(args.end(), {"--bind", sandbox.writable.string(), sandbox.writable.string()});
        directory = sandbox.writable.string();
    }
    args.insert(args.end(),
                {"--clearenv", "--setenv", "PATH", "/usr/local/bin:/usr/bin:/bin", "--setenv",
                 "LANG", "C", "--setenv", "HOME", "/tmp", "--chdir", directory, "--"});
    // The number of processes is limited inside: outside, it would count every process of the
    // user who checks, not only the sandbox's.
    args.insert(args.end(),
                {"/usr/bin/prlimit", "--nproc=" + std::to_string(request.limits.processes), "--"});
    if (request.stdout_to == Stdout::closed) {
        // Closed inside, so that no descriptor of bubblewrap's takes its place.
        args.insert(args.end(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" >&-"});
    }
    args.insert(args.end(), request.command.begin(), request.command.end());
    return args;
}

void set_limit(int resource, rlim_t value)
{
    const rlimit limit{value, value};
    setrlimit(resource, &limit);
}

// In the child, between vfork and exec: it shares the checker's memory until exec, so it only
// makes system calls and writes to no variable.
[[noreturn]] void start_child(const RunRequest& request, const std::vector<char*>& argv, int in,
                              int out, int err, bool drop_root)
{
    setpgid(0, 0);
    signal(SIGPIPE, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);

    const Limits& limits = request.limits;
    if (limits.memory_bytes > 0) {
        set_limit(RLIMIT_AS, limits.memory_bytes);
    }
    set_limit(RLIMIT_CPU, static_cast<rlim_t>(limits.cpu_seconds + 0.999));
    set_limit(RLIMIT_FSIZE, limits.file_bytes);
    set_limit(RLIMIT_CORE, 0);

    dup2(in, STDIN_FILENO);
    if (request.stdout_to == Stdout::full) {
        const int full = open("/dev/full", O_WRONLY);
        dup2(full, STDOUT_FILENO);
    } else {
        dup2(out, STDOUT_FILENO);
    }
    dup2(err, STDERR_FILENO);
    if (request.stdout_to == Stdout::closed && !request.sandbox.enabled) {
        close(STDOUT_FILENO);
    }
    // Every descriptor but the three: one call where the system has it, else one by one.
    if (syscall(SYS_close_range, STDERR_FILENO + 1, ~0U, 0) != 0) {
        for (int fd = STDERR_FILENO + 1; fd < 1024; ++fd) {
            close(fd);
        }
    }
    if (!request.directory.empty() && chdir(request.directory.c_str()) != 0) {
        _exit(127);
    }
    // Raw system calls: the library's own would try to change the ids of the checker's threads.
    if (drop_root &&
        (syscall(SYS_setgroups, 0, nullptr) != 0 || syscall(SYS_setgid, unprivileged_id) != 0 ||
         syscall(SYS_setuid, unprivileged_id) != 0)) {
        _exit(127);
    }
    execve(argv[0], argv.data(), environ);
    const char* const message = "cannot start the program\n";
    (void)!write(STDERR_FILENO, message, std::strlen(message));
    _exit(127);
}

// vfork in a function of its own, so that no variable of run() lives across it.
[[gnu::noinline]] pid_t spawn(const RunRequest& request, const std::vector<char*>& argv, int in,
                              int out, int err)
{
    const bool drop_root = request.sandbox.enabled && geteuid() == 0;
    const pid_t pid = vfork(); // far quicker than fork: no copy of the checker's memory
    if (pid == 0) {
        start_child(request, argv, in, out, err, drop_root);
    }
    return pid;
}

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

} // namespace

RunResult run(const RunRequest& request)
{
    static const bool pipes_ignored = [] {
        signal(SIGPIPE, SIG_IGN); // a program that stops reading must not end the checker
        return true;
    }();
    (void)pipes_ignored;

    RunResult result;
    if (request.command.empty()) {
        result.error = "no command";
        return result;
    }
    std::vector<std::string> args = request.command;
    args.front() = find_on_path(args.front());
    if (request.sandbox.enabled) {
        args = sandboxed(request);
    }
    std::vector<char*> argv;
    for (std::string& arg : args) {
        argv.push_back(arg.data());
    }
    argv.push_back(nullptr);

    Pipe in = make_pipe();
    Pipe out = make_pipe();
    Pipe err = make_pipe();
    if (in.read < 0 || out.read < 0 || err.read < 0) {
        result.error = std::string("cannot make pipes: ") + std::strerror(errno);
        return result;
    }
    const auto start = Clock::now();
    const pid_t pid = spawn(request, argv, in.read, out.write, err.write);
    close_fd(in.read);
    close_fd(out.write);
    close_fd(err.write);
    if (pid < 0) {
        result.error = std::string("cannot start a process: ") + std::strerror(errno);
        close_fd(in.write);
        close_fd(out.read);
        close_fd(err.read);
        return result;
    }
    setpgid(pid, pid); // also in the parent, so that the group exists before any kill
    int process = static_cast<int>(syscall(SYS_pidfd_open, pid, 0));

    for (int fd : {in.write, out.read, err.read}) {
        fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    }
    std::size_t written = 0;
    if (request.input.empty() && !request.input_stays_open) {
        close_fd(in.write);
    }

    const auto deadline = start + std::chrono::duration_cast<Clock::duration>(
                                      std::chrono::duration<double>(request.limits.wall_seconds));
    auto last_output = start;
    bool running = true;
    bool out_open = true;
    bool err_open = true;
    std::optional<Ending> ended_early;
    while (running) {
        std::vector<pollfd> fds;
        fds.push_back({process, POLLIN, 0});
        if (out_open) {
            fds.push_back({out.read, POLLIN, 0});
        }
        if (err_open) {
            fds.push_back({err.read, POLLIN, 0});
        }
        if (in.write >= 0 && written < request.input.size()) {
            fds.push_back({in.write, POLLOUT, 0});
        }
        auto wake = deadline;
        const bool settled_text = request.settles_on && result.out == *request.settles_on;
        if (process < 0) { // no pidfd (before Linux 5.3): look for the end now and then
            wake = std::min(wake, Clock::now() + std::chrono::milliseconds(5));
        }
        if (settled_text) {
            wake = std::min(wake, last_output + std::chrono::milliseconds(settle_milliseconds));
        }
        const auto wait =
            std::chrono::duration_cast<std::chrono::milliseconds>(wake - Clock::now());
        const int ready =
            poll(fds.data(), fds.size(), static_cast<int>(std::max<long long>(0, wait.count())));
        if (ready < 0 && errno != EINTR) {
            break;
        }
        const auto now = Clock::now();
        for (const pollfd& fd : fds) {
            if (fd.revents == 0) {
                continue;
            }
            if (fd.fd == process) {
                running = false;
            } else if (fd.fd == out.read) {
                const std::size_t before = result.out.size();
                out_open = read_some(out.read, result.out, request.limits.output_bytes);
                if (result.out.size() != before) {
                    last_output = now;
                }
            } else if (fd.fd == err.read) {
                err_open = read_some(err.read, result.err, request.limits.output_bytes);
            } else if (fd.fd == in.write) {
                const ssize_t count =
                    write(in.write, request.input.data() + written, request.input.size() - written);
                if (count > 0) {
                    written += static_cast<std::size_t>(count);
                } else if (count < 0 && errno != EAGAIN && errno != EINTR) {
                    close_fd(in.write); // it stopped reading: the rest is never read
                }
                if (in.write >= 0 && written == request.input.size() && !request.input_stays_open) {
                    close_fd(in.write);
                }
            }
        }
        if (result.out.size() > request.limits.output_bytes ||
            result.err.size() > request.limits.output_bytes) {
            ended_early = Ending::output_limit;
            break;
        }
        if (process < 0) {
            siginfo_t info{};
            if (waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
                info.si_pid == pid) {
                running = false;
            }
        }
        if (!running) {
            break;
        }
        if (request.settles_on && result.out == *request.settles_on &&
            now - last_output >= std::chrono::milliseconds(settle_milliseconds)) {
            ended_early = Ending::waiting;
            break;
        }
        if (now >= deadline) {
            ended_early = Ending::timed_out;
            break;
        }
    }

    // Whatever it started goes with it; a child that keeps the pipes open is not waited for.
    if (ended_early) {
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
    }
    int status = 0;
    rusage usage{};
    while (wait4(pid, &status, 0, &usage) < 0 && errno == EINTR) {
    }
    kill(-pid, SIGKILL);
    result.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    if (out_open) {
        read_some(out.read, result.out, request.limits.output_bytes);
    }
    if (err_open) {
        read_some(err.read, result.err, request.limits.output_bytes);
    }
    for (std::string* text : {&result.out, &result.err}) {
        if (text->size() > request.limits.output_bytes) {
            text->resize(request.limits.output_bytes);
        }
    }
    close_fd(in.write);
    close_fd(out.read);
    close_fd(err.read);
    close_fd(process);
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
    return result;
}

void share_with_sandbox(const fs::path& folder, bool writable)
{
    std::error_code error;
    fs::permissions(folder,
                    fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                        fs::perms::others_read | fs::perms::others_exec,
                    error);
    // A root checker runs sandboxes as an unprivileged user, who must be able to write there.
    if (writable && geteuid() == 0) {
        (void)!chown(folder.c_str(), unprivileged_id, unprivileged_id);
    }
}

namespace {

// The runs travel between run_all and serve_runs as numbers and length-prefixed bytes.
class Writer {
  public:
    void number(std::uint64_t value) { bytes_.append(reinterpret_cast<const char*>(&value), 8); }
    void text(const std::string& value)
    {
        number(value.size());
        bytes_ += value;
    }
    void real(double value) { bytes_.append(reinterpret_cast<const char*>(&value), 8); }
    const std::string& bytes() const { return bytes_; }

  private:
    std::string bytes_;
};

class Reader {
  public:
    explicit Reader(const std::string& bytes) : bytes_(bytes) {}
    bool more() const { return at_ < bytes_.size(); }
    bool good() const { return good_; }
    std::uint64_t number()
    {
        std::uint64_t value = 0;
        take(&value, 8);
        return value;
    }
    double real()
    {
        double value = 0;
        take(&value, 8);
        return value;
    }
    std::string text()
    {
        const std::uint64_t size = number();
        if (!good_ || size > bytes_.size() - at_) {
            good_ = false;
            return {};
        }
        std::string value = bytes_.substr(at_, size);
        at_ += size;
        return value;
    }

  private:
    void take(void* into, std::size_t size)
    {
        if (size > bytes_.size() - at_) {
            good_ = false;
            at_ = bytes_.size();
            return;
        }
        std::memcpy(into, bytes_.data() + at_, size);
        at_ += size;
    }
    const std::string& bytes_;
    std::size_t at_ = 0;
    bool good_ = true;
};

void put(Writer& out, const RunRequest& request)
{
    out.number(request.command.size());
    for (const std::string& word : request.command) {
        out.text(word);
    }
    out.text(request.input);
    out.number(request.input_stays_open ? 1 : 0);
    out.number(static_cast<std::uint64_t>(request.stdout_to));
    out.number(request.settles_on ? 1 : 0);
    out.text(request.settles_on.value_or(""));
    const Limits& limits = request.limits;
    out.real(limits.wall_seconds);
    out.real(limits.cpu_seconds);
    out.number(limits.memory_bytes);
    out.number(limits.output_bytes);
    out.number(limits.file_bytes);
    out.number(static_cast<std::uint64_t>(limits.processes));
}

RunRequest get_request(Reader& in)
{
    RunRequest request;
    const std::uint64_t words = in.number();
    for (std::uint64_t word = 0; word < words && in.good(); ++word) {
        request.command.push_back(in.text());
    }
    request.input = in.text();
    request.input_stays_open = in.number() != 0;
    request.stdout_to = static_cast<Stdout>(in.number());
    const bool settles = in.number() != 0;
    const std::string settles_on = in.text();
    if (settles) {
        request.settles_on = settles_on;
    }
    Limits& limits = request.limits;
    limits.wall_seconds = in.real();
    limits.cpu_seconds = in.real();
    limits.memory_bytes = in.number();
    limits.output_bytes = in.number();
    limits.file_bytes = in.number();
    limits.processes = static_cast<int>(in.number());
    return request;
}

// What comes back of a run is cut short: the messages show only the start of an output.
constexpr std::size_t returned_bytes = 64 * 1024;

void put(Writer& out, const RunResult& result)
{
    out.number(static_cast<std::uint64_t>(result.ending));
    out.number(static_cast<std::uint64_t>(static_cast<std::int64_t>(result.status)));
    out.number(static_cast<std::uint64_t>(result.signal));
    out.text(result.out.substr(0, returned_bytes));
    out.text(result.err.substr(0, returned_bytes));
    out.real(result.seconds);
    out.number(result.peak_memory_bytes);
    out.text(result.error);
}

RunResult get_result(Reader& in)
{
    RunResult result;
    result.ending = static_cast<Ending>(in.number());
    result.status = static_cast<int>(static_cast<std::int64_t>(in.number()));
    result.signal = static_cast<int>(in.number());
    result.out = in.text();
    result.err = in.text();
    result.seconds = in.real();
    result.peak_memory_bytes = in.number();
    result.error = in.text();
    return result;
}

bool write_all(int fd, const std::string& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    return true;
}

// Inside the sandbox, after a run: ends every process but this one and the sandbox's first, and
// empties /tmp.
void clean_sandbox()
{
    const pid_t self = getpid();
    for (int round = 0; round < 3; ++round) {
        bool found = false;
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error)) {
            const std::string name = entry.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos) {
                continue;
            }
            const pid_t pid = static_cast<pid_t>(std::stol(name));
            if (pid != self && pid != 1) {
                kill(pid, SIGKILL);
                found = true;
            }
        }
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        if (!found) {
            break;
        }
    }
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator("/tmp", error)) {
        fs::remove_all(entry.path(), error);
    }
}

} // namespace

int serve_runs()
{
    std::string bytes;
    std::array<char, 65536> buffer{};
    while (true) {
        const ssize_t count = read(STDIN_FILENO, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break;
        }
        bytes.append(buffer.data(), static_cast<std::size_t>(count));
    }
    Reader in(bytes);
    while (in.more() && in.good()) {
        const RunRequest request = get_request(in);
        if (!in.good()) {
            return 1;
        }
        const RunResult result = run(request);
        clean_sandbox();
        Writer out;
        put(out, result);
        if (!write_all(STDOUT_FILENO, out.bytes())) {
            return 1;
        }
    }
    return in.good() ? 0 : 1;
}

std::vector<RunResult> run_all(const std::vector<RunRequest>& requests, const Sandbox& sandbox)
{
    std::vector<RunResult> results;
    if (!sandbox.enabled) {
        for (const RunRequest& request : requests) {
            results.push_back(run(request));
        }
        return results;
    }
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    std::size_t next = 0;
    while (next < requests.size()) {
        RunRequest batch;
        batch.command = {self.string(), serve_runs_argument};
        batch.sandbox = sandbox;
        batch.sandbox.read_only.push_back(self);
        batch.limits.wall_seconds = 5;
        batch.limits.cpu_seconds = 5;
        batch.limits.memory_bytes = 0;
        batch.limits.output_bytes = 0;
        batch.limits.processes = 0;
        Writer out;
        for (std::size_t index = next; index < requests.size(); ++index) {
            put(out, requests[index]);
            batch.sandbox.read_only.insert(batch.sandbox.read_only.end(),
                                           requests[index].sandbox.read_only.begin(),
                                           requests[index].sandbox.read_only.end());
            const Limits& limits = requests[index].limits;
            batch.limits.wall_seconds += limits.wall_seconds + 1;
            batch.limits.cpu_seconds += limits.cpu_seconds + 1;
            batch.limits.output_bytes += 2 * (returned_bytes + 256);
            batch.limits.processes = std::max(batch.limits.processes, limits.processes + 1);
            batch.limits.file_bytes = std::max(batch.limits.file_bytes, limits.file_bytes);
        }
        std::sort(batch.sandbox.read_only.begin(), batch.sandbox.read_only.end());
        batch.sandbox.read_only.erase(
            std::unique(batch.sandbox.read_only.begin(), batch.sandbox.read_only.end()),
            batch.sandbox.read_only.end());
        batch.input = out.bytes();
        const RunResult served = run(batch);
        Reader in(served.out);
        const std::size_t before = results.size();
        while (in.more()) {
            RunResult result = get_result(in);
            if (!in.good()) {
                break;
            }
            results.push_back(std::move(result));
        }
        next += results.size() - before;
        if (next < requests.size()) {
            // The sandbox ended before this run did: the program ended what ran it.
            RunResult lost;
            lost.ending = Ending::signalled;
            lost.signal = SIGKILL;
            lost.error = "its sandbox ended during the run: it killed the process that ran it";
            results.push_back(lost);
            ++next;
        }
    }
    return results;
}

std::optional<std::string> sandbox_problem()
{
    if (find_on_path("bwrap").find('/') == std::string::npos) {
        return "bubblewrap is not installed: install it (Debian and Ubuntu: apt-get install "
               "bubblewrap), or give --no-sandbox to run the programs unprotected";
    }
    RunRequest probe;
    probe.command = {"/bin/true"};
    probe.sandbox.enabled = true;
    probe.limits.wall_seconds = 10;
    const RunResult result = run(probe);
    if (result.ending == Ending::exited && result.status == 0) {
        return std::nullopt;
    }
    std::string why = result.err.substr(0, result.err.find('\n'));
    if (why.empty()) {
        why = result.error.empty() ? "it failed" : result.error;
    }
    return "bubblewrap cannot start a sandbox here (" + why +
           "): allow unprivileged user namespaces (sysctl kernel.unprivileged_userns_clone=1 or "
           "user.max_user_namespaces), or give --no-sandbox to run the programs unprotected";
}

std::string signal_name(int signal)
{
    switch (signal) {
    case SIGSEGV: return "SIGSEGV (segmentation fault: an invalid memory access)";
    case SIGABRT: return "SIGABRT (aborted)";
    case SIGFPE: return "SIGFPE (arithmetic error, such as a division by zero)";
    case SIGILL: return "SIGILL (illegal instruction)";
    case SIGBUS: return "SIGBUS (bus error: an invalid memory access)";
    case SIGKILL: return "SIGKILL (killed)";
    case SIGTERM: return "SIGTERM (terminated)";
    case SIGPIPE: return "SIGPIPE (wrote to a pipe nobody reads)";
    case SIGXCPU: return "SIGXCPU (CPU time limit)";
    case SIGXFSZ: return "SIGXFSZ (file size limit)";
    case SIGTRAP: return "SIGTRAP (trap)";
    default: break;
    }
    const char* name = strsignal(signal);
    return "signal " + std::to_string(signal) +
           (name != nullptr ? std::string(" (") + name + ")" : "");
}

} // namespace check
