// Processes on POSIX systems: vfork and exec, pipes read with poll, rlimits, and what confines a
// process before it starts (cgroups, a system-call filter, the parent-death signal).
#include "process.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <linux/audit.h>
#include <linux/filter.h>
#include <linux/seccomp.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <set>
#include <sstream>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ; // NOLINT(readability-redundant-declaration): POSIX leaves it undeclared

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

// The system calls by which one process reaches into another's memory, refused with EPERM; the
// rest allowed. Where a second kind of system call exists (32-bit calls on x86-64), its numbers
// are its own; x32 calls are refused whole.
#if defined(__x86_64__)
constexpr std::uint32_t native_arch = AUDIT_ARCH_X86_64;
#elif defined(__aarch64__)
constexpr std::uint32_t native_arch = AUDIT_ARCH_AARCH64;
#elif defined(__i386__)
constexpr std::uint32_t native_arch = AUDIT_ARCH_I386;
#endif

#define CHECK_REFUSE(number)                                                                       \
    BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, (number), 0, 1),                                           \
        BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM)

const sock_filter tracing_filter[] = {
    BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, arch)),
#if defined(__x86_64__)
    BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, AUDIT_ARCH_I386, 0, 8), // past the 8 that follow
    BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
    CHECK_REFUSE(26),  // ptrace
    CHECK_REFUSE(347), // process_vm_readv
    CHECK_REFUSE(348), // process_vm_writev
    BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
#endif
    BPF_JUMP(BPF_JMP | BPF_JEQ | BPF_K, native_arch, 1, 0),
    BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
    BPF_STMT(BPF_LD | BPF_W | BPF_ABS, offsetof(seccomp_data, nr)),
#if defined(__x86_64__)
    BPF_JUMP(BPF_JMP | BPF_JGE | BPF_K, 0x40000000U, 0, 1),
    BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ERRNO | EPERM),
#endif
    CHECK_REFUSE(SYS_ptrace),
    CHECK_REFUSE(SYS_process_vm_readv),
    CHECK_REFUSE(SYS_process_vm_writev),
    BPF_STMT(BPF_RET | BPF_K, SECCOMP_RET_ALLOW),
};

#undef CHECK_REFUSE

void set_limit(int resource, rlim_t value)
{
    const rlimit limit{value, value};
    setrlimit(resource, &limit);
}

// In the child, between vfork and exec: it shares the checker's memory until exec, so it only
// makes system calls and writes to no variable.
[[noreturn]] void start_child(const RunRequest& request, const std::vector<char*>& argv, int in,
                              int out, int err, const Confinement& confinement, pid_t parent)
{
    setpgid(0, 0);
    signal(SIGPIPE, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    // Into its cgroups before anything else, so that all it starts is counted there too.
    for (const int group : confinement.cgroups) {
        if (write(group, "0", 1) != 1) {
            _exit(127);
        }
    }

    const Limits& limits = request.limits;
    if (limits.memory_bytes > 0) {
        set_limit(RLIMIT_AS, limits.memory_bytes);
    }
    set_limit(RLIMIT_CPU, static_cast<rlim_t>(limits.cpu_seconds + 0.999));
    set_limit(RLIMIT_FSIZE, limits.file_bytes);
    set_limit(RLIMIT_CORE, 0);

    // Its standard output is never left as this process's own: that may be a stream someone
    // trusts (a batch server's results).
    dup2(in, STDIN_FILENO);
    if (request.stdout_to == Stdout::full) {
        const int full = open("/dev/full", O_WRONLY);
        if (full < 0 || dup2(full, STDOUT_FILENO) < 0) {
            _exit(127);
        }
    } else {
        dup2(out, STDOUT_FILENO);
    }
    dup2(err, STDERR_FILENO);
    // bubblewrap closes it inside, so that no descriptor of its own takes its place.
    if (request.stdout_to == Stdout::closed &&
        (!request.sandbox.enabled || request.sandbox.kind != SandboxKind::bubblewrap)) {
        close(STDOUT_FILENO);
    }
    if (confinement.user_processes > 0) {
        set_limit(RLIMIT_NPROC, confinement.user_processes);
    }
    // Every descriptor but the three (and a Landlock ruleset, applied below): one call where
    // the system has it, else one by one.
    const int kept = confinement.landlock_ruleset;
    for (const auto& [first, last] :
         {std::pair<int, int>{STDERR_FILENO + 1, kept > STDERR_FILENO ? kept - 1 : -1},
          std::pair<int, int>{kept > STDERR_FILENO ? kept + 1 : -1, -1}}) {
        if (first < 0 || (last >= 0 && last < first)) {
            continue;
        }
        const unsigned end = last < 0 ? ~0U : static_cast<unsigned>(last);
        if (syscall(SYS_close_range, first, end, 0) != 0) {
            for (int fd = first; fd < 1024 && (last < 0 || fd <= last); ++fd) {
                close(fd);
            }
        }
    }
    if (!request.directory.empty() && chdir(request.directory.c_str()) != 0) {
        _exit(127);
    }
    // Raw system calls: the library's own would try to change the ids of the checker's threads.
    if (confinement.drop_root &&
        (syscall(SYS_setgroups, 0, nullptr) != 0 || syscall(SYS_setgid, unprivileged_id) != 0 ||
         syscall(SYS_setuid, unprivileged_id) != 0)) {
        _exit(127);
    }
    // After the change of user, which clears it; and the parent may have ended already.
    if (confinement.dies_with_parent &&
        (prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || getppid() != parent)) {
        _exit(127);
    }
    if (confinement.ended_first) {
        // A process that is not dumpable (as one that shares its memory, until exec) cannot
        // write its own /proc files. Nothing else runs meanwhile: its parent waits for the exec.
        const int dumpable = prctl(PR_GET_DUMPABLE);
        prctl(PR_SET_DUMPABLE, 1);
        const int score = open("/proc/self/oom_score_adj", O_WRONLY | O_CLOEXEC);
        const bool raised = score >= 0 && write(score, "1000", 4) == 4;
        prctl(PR_SET_DUMPABLE, dumpable);
        if (!raised) {
            _exit(127);
        }
        close(score);
    }
    if (confinement.untraceable_others) {
        sock_fprog program{static_cast<unsigned short>(std::size(tracing_filter)),
                           const_cast<sock_filter*>(tracing_filter)};
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            prctl(PR_SET_SECCOMP, SECCOMP_MODE_FILTER, &program) != 0) {
            _exit(127);
        }
    }
    // The Landlock rules last but for the filter: what comes before writes the process's own
    // /proc files, which the rules keep out of reach. They stay whatever user it has become.
    if (kept >= 0) {
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            syscall(SYS_landlock_restrict_self, kept, 0) != 0) {
            _exit(127);
        }
        close(kept);
    }
    if (confinement.syscall_filter != nullptr &&
        (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
         syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, confinement.syscall_filter) != 0)) {
        _exit(127);
    }
    static char* const no_environment[] = {nullptr};
    char* const* environment = confinement.empty_environment ? no_environment : environ;
    if (confinement.environment != nullptr) {
        environment = confinement.environment;
    }
    execve(argv[0], argv.data(), environment);
    const char* const message = "cannot start the program\n";
    (void)!write(STDERR_FILENO, message, std::strlen(message));
    _exit(127);
}

// vfork in a function of its own, so that no variable of run_process() lives across it.
[[gnu::noinline]] pid_t spawn(const RunRequest& request, const std::vector<char*>& argv, int in,
                              int out, int err, const Confinement& confinement)
{
    const pid_t parent = getpid();
    const pid_t pid = vfork(); // far quicker than fork: no copy of the checker's memory
    if (pid == 0) {
        start_child(request, argv, in, out, err, confinement, parent);
    }
    return pid;
}

// The processes of the runs under way, each its group's first: what an interruption ends, and
// what end_orphans leaves alone. A run is entered as it starts, under the same lock, so that no
// process of the checker's is ever taken for an orphan.
struct Runs {
    std::mutex mutex;
    std::set<pid_t> live;
    bool ended = false;
};

Runs& runs()
{
    static Runs all;
    return all;
}

pid_t spawn_and_enter(const RunRequest& request, const std::vector<char*>& argv, int in, int out,
                      int err, const Confinement& confinement)
{
    Runs& all = runs();
    const std::lock_guard<std::mutex> lock(all.mutex);
    if (all.ended) {
        errno = ECANCELED;
        return -1;
    }
    const pid_t pid = spawn(request, argv, in, out, err, confinement);
    if (pid > 0) {
        all.live.insert(pid);
    }
    return pid;
}

void leave_runs(pid_t pid)
{
    Runs& all = runs();
    const std::lock_guard<std::mutex> lock(all.mutex);
    all.live.erase(pid);
}

// Each process's parent, from /proc.
std::map<pid_t, pid_t> parents()
{
    std::map<pid_t, pid_t> found;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream in(entry.path() / "stat");
        std::string line;
        std::getline(in, line);
        // pid (name) state ppid ...: the name may hold blanks and parentheses of its own.
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream rest(line.substr(close + 1));
        std::string state;
        long parent = 0;
        if (rest >> state >> parent) {
            found[static_cast<pid_t>(std::stol(name))] = static_cast<pid_t>(parent);
        }
    }
    return found;
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

RunResult run_process(const RunRequest& request, const std::vector<std::string>& args,
                      const Confinement& confinement)
{
    static const bool pipes_ignored = [] {
        signal(SIGPIPE, SIG_IGN); // a program that stops reading must not end the checker
        return true;
    }();
    (void)pipes_ignored;

    RunResult result;
    if (args.empty()) {
        result.error = "no command";
        return result;
    }
    std::vector<std::string> words = args;
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
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
    const pid_t pid = spawn_and_enter(request, argv, in.read, out.write, err.write, confinement);
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
    leave_runs(pid);
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

void end_every_run()
{
    Runs& all = runs();
    const std::lock_guard<std::mutex> lock(all.mutex);
    all.ended = true;
    for (const pid_t pid : all.live) {
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
    }
}

void take_in_orphans()
{
    static const bool taken = prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) == 0;
    (void)taken;
}

void end_orphans()
{
    Runs& all = runs();
    const std::lock_guard<std::mutex> lock(all.mutex);
    const pid_t self = getpid();
    const std::map<pid_t, pid_t> parent_of = parents();
    std::vector<pid_t> orphans;
    for (const auto& [pid, parent] : parent_of) {
        if (parent == self && all.live.count(pid) == 0) {
            orphans.push_back(pid);
        }
    }
    // Each orphan with everything below it, stopped first so that none starts more meanwhile.
    std::vector<pid_t> doomed = orphans;
    for (std::size_t index = 0; index < doomed.size(); ++index) {
        for (const auto& [pid, parent] : parent_of) {
            if (parent == doomed[index]) {
                doomed.push_back(pid);
            }
        }
    }
    for (const pid_t pid : doomed) {
        kill(pid, SIGSTOP);
    }
    for (const pid_t pid : doomed) {
        kill(pid, SIGKILL);
    }
    for (const pid_t pid : orphans) {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
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

} // namespace check
