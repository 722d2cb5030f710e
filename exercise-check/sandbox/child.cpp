#include "child.h"

#include "syscall_filter.h"

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

extern char** environ; // NOLINT(readability-redundant-declaration): POSIX leaves it undeclared

namespace check {

namespace {

// Every step runs in the child, which shares the checker's memory until exec: each only makes
// system calls and writes to no variable but its own. A step that fails ends the child with 127.

void set_limit(int resource, rlim_t value)
{
    const rlimit limit{value, value};
    setrlimit(resource, &limit);
}

// Its own process group, the signals as a new program has them, and its cgroups joined before
// anything else, so that all it starts is counted there too.
bool detach(const Confinement& confinement)
{
    setpgid(0, 0);
    signal(SIGPIPE, SIG_DFL);
    signal(SIGXFSZ, SIG_DFL);
    sigset_t none;
    sigemptyset(&none);
    sigprocmask(SIG_SETMASK, &none, nullptr);
    for (const int group : confinement.cgroups) {
        if (write(group, "0", 1) != 1) {
            return false;
        }
    }
    return true;
}

void limit(const Limits& limits, const Confinement& confinement)
{
    if (limits.memory_bytes > 0) {
        set_limit(RLIMIT_AS, limits.memory_bytes);
    }
    set_limit(RLIMIT_CPU, static_cast<rlim_t>(limits.cpu_seconds + 0.999));
    set_limit(RLIMIT_FSIZE, limits.file_bytes);
    set_limit(RLIMIT_CORE, 0);
    if (confinement.user_processes > 0) {
        set_limit(RLIMIT_NPROC, confinement.user_processes);
    }
}

// Its standard output is never left as this process's own: that may be a stream someone trusts
// (a batch server's results).
bool take_streams(const RunRequest& request, const Streams& streams)
{
    dup2(streams.in, STDIN_FILENO);
    if (request.stdout_to == Stdout::full) {
        const int full = open("/dev/full", O_WRONLY);
        if (full < 0 || dup2(full, STDOUT_FILENO) < 0) {
            return false;
        }
    } else {
        dup2(streams.out, STDOUT_FILENO);
    }
    dup2(streams.err, STDERR_FILENO);
    // bubblewrap closes it inside, so that no descriptor of its own takes its place.
    if (request.stdout_to == Stdout::closed &&
        (!request.sandbox.enabled || request.sandbox.kind != SandboxKind::bubblewrap)) {
        close(STDOUT_FILENO);
    }
    return true;
}

// Every descriptor but the three and kept (a Landlock ruleset, or -1): one call where the system
// has it, else one by one.
void close_the_rest(int kept)
{
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
}

// Raw system calls: the library's own would try to change the ids of the checker's threads.
// The parent-death signal after the change of user, which clears it; and the parent may have
// ended already.
bool become_its_user(const Confinement& confinement, pid_t parent)
{
    if (confinement.drop_root &&
        (syscall(SYS_setgroups, 0, nullptr) != 0 || syscall(SYS_setgid, confinement.user) != 0 ||
         syscall(SYS_setuid, confinement.user) != 0)) {
        return false;
    }
    return !confinement.dies_with_parent ||
           (prctl(PR_SET_PDEATHSIG, SIGKILL) == 0 && getppid() == parent);
}

// A process that is not dumpable (as one that shares its memory, until exec) cannot write its
// own /proc files. Nothing else runs meanwhile: its parent waits for the exec.
bool ended_first()
{
    const int dumpable = prctl(PR_GET_DUMPABLE);
    prctl(PR_SET_DUMPABLE, 1);
    const int score = open("/proc/self/oom_score_adj", O_WRONLY | O_CLOEXEC);
    const bool raised = score >= 0 && write(score, "1000", 4) == 4;
    prctl(PR_SET_DUMPABLE, dumpable);
    if (score >= 0) {
        close(score);
    }
    return raised;
}

// The Landlock rules, then the system-call filter: what comes before writes the process's own
// /proc files, which the rules keep out of reach. They stay whatever user it has become.
bool confine(const Confinement& confinement)
{
    const int ruleset = confinement.landlock_ruleset;
    if (ruleset >= 0) {
        if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0 ||
            syscall(SYS_landlock_restrict_self, ruleset, 0) != 0) {
            return false;
        }
        close(ruleset);
    }
    return confinement.syscall_filter == nullptr ||
           syscall_filter::apply(*confinement.syscall_filter);
}

[[noreturn]] void start_child(const RunRequest& request, const std::vector<char*>& argv,
                              const Streams& streams, const Confinement& confinement, pid_t parent)
{
    if (!detach(confinement)) {
        _exit(127);
    }
    limit(request.limits, confinement);
    if (!take_streams(request, streams)) {
        _exit(127);
    }
    close_the_rest(confinement.landlock_ruleset);
    if ((!request.directory.empty() && chdir(request.directory.c_str()) != 0) ||
        !become_its_user(confinement, parent) || (confinement.ended_first && !ended_first()) ||
        !confine(confinement)) {
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

} // namespace

// vfork in a function of its own, so that no variable of the caller lives across it.
[[gnu::noinline]] pid_t spawn(const RunRequest& request, const std::vector<char*>& argv,
                              const Streams& streams, const Confinement& confinement)
{
    const pid_t parent = getpid();
    const pid_t pid = vfork(); // far quicker than fork: no copy of the checker's memory
    if (pid == 0) {
        start_child(request, argv, streams, confinement, parent);
    }
    return pid;
}

} // namespace check
