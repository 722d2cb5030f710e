#include "bwrap.h"

#include "process.h"
#include "run_users.h"

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace check {

namespace fs = std::filesystem;

namespace {

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

} // namespace

std::vector<std::string> bwrap_arguments(const Sandbox& sandbox, const Limits& limits,
                                         Stdout stdout_to, const std::vector<std::string>& command,
                                         bool batch_server, const fs::path& memory_events)
{
    // A user namespace of its own, in which no program may make another.
    std::vector<std::string> args{
        find_on_path("bwrap"), "--die-with-parent", "--new-session", "--unshare-all",
        "--unshare-user",      "--disable-userns",  "--cap-drop",    "ALL"};
    if (batch_server) {
        args.emplace_back("--as-pid-1");
    }
    add_system(args);
    // Its own /dev with a small, empty /dev/shm, and nothing else there it may write; its own
    // /tmp, made read-only below where it has no room for files.
    const std::uint64_t tmp_bytes = std::max<std::uint64_t>(sandbox.tmp_bytes, 1);
    args.insert(args.end(), {"--proc", "/proc", "--dev", "/dev", "--size",
                             std::to_string(shm_bytes), "--tmpfs", "/dev/shm", "--remount-ro",
                             "/dev", "--size", std::to_string(tmp_bytes), "--tmpfs", "/tmp"});
    for (const fs::path& path : sandbox.read_only) {
        args.insert(args.end(), {"--ro-bind", path.string(), path.string()});
    }
    std::string directory = "/tmp";
    if (!sandbox.writable.empty()) {
        args.insert(args.end(), {"--bind", sandbox.writable.string(), sandbox.writable.string()});
        directory = sandbox.writable.string();
    }
    // Last, so that no folder shown above shows them again; where they are, through any links.
    for (const fs::path& given : sandbox.hidden) {
        std::error_code error;
        const fs::path path = fs::weakly_canonical(fs::absolute(given, error), error);
        if (error) {
            continue;
        }
        if (fs::is_directory(path, error)) {
            args.insert(args.end(), {"--tmpfs", path.string(), "--remount-ro", path.string()});
        } else if (fs::exists(path, error)) {
            args.insert(args.end(), {"--ro-bind", "/dev/null", path.string()});
        }
    }
    if (!memory_events.empty()) {
        args.insert(args.end(), {"--ro-bind", memory_events.string(), memory_events_inside});
    }
    // Once the folders shown in them are in place: the root that holds them all is bubblewrap's
    // own, in memory, and were it writable a run could fill it past every bound.
    if (sandbox.tmp_bytes == 0) {
        args.insert(args.end(), {"--remount-ro", "/tmp"});
    }
    args.insert(args.end(), {"--remount-ro", "/"});
    args.insert(args.end(),
                {"--clearenv", "--setenv", "PATH", "/usr/local/bin:/usr/bin:/bin", "--setenv",
                 "LANG", "C", "--setenv", "HOME", "/tmp", "--chdir", directory, "--"});
    // The number of processes is limited inside: outside, it would count every process of the
    // user who checks, not only the sandbox's.
    args.insert(args.end(),
                {"/usr/bin/prlimit", "--nproc=" + std::to_string(limits.processes), "--"});
    if (stdout_to == Stdout::closed) {
        // Closed inside, so that no descriptor of bubblewrap's takes its place.
        args.insert(args.end(), {"/bin/sh", "-c", "exec \"$0\" \"$@\" >&-"});
    }
    args.insert(args.end(), command.begin(), command.end());
    return args;
}

std::unique_ptr<MemoryGroup> group_for(std::uint64_t memory_bytes, int processes)
{
    if (memory_bytes == 0) {
        return nullptr;
    }
    // bubblewrap's two processes and a batch's server are counted beside the program's.
    return MemoryGroup::make(memory_bytes + sandbox_own_memory,
                             static_cast<std::uint64_t>(std::max(processes, 0)) + 3);
}

Limits without_group(const Limits& limits, const Sandbox& sandbox)
{
    if (limits.memory_bytes == 0) {
        return limits;
    }
    constexpr int most_processes = 4;
    Limits shared = limits;
    shared.processes = std::min(limits.processes, most_processes);
    const std::uint64_t files = sandbox.tmp_bytes + shm_bytes;
    const std::uint64_t left =
        limits.memory_bytes > 2 * files ? limits.memory_bytes - files : limits.memory_bytes / 2;
    shared.memory_bytes = left / static_cast<std::uint64_t>(std::max(shared.processes, 1));
    return shared;
}

void mark_out_of_memory(RunResult& result)
{
    result.out_of_memory = true;
    if (result.error.empty()) {
        result.error = "its processes and files together took more than the memory limit";
    }
}

RunResult run_in_sandbox(const RunRequest& request, const MemoryGroup* group, bool batch_server)
{
    RunRequest sandboxed = request;
    sandboxed.command.front() = find_on_path(sandboxed.command.front());
    Confinement confinement;
    confinement.drop_root = geteuid() == 0;
    confinement.user = run_user_of(request.sandbox);
    confinement.dies_with_parent = true;
    // bubblewrap's own environment is the one its first process inside shows to all.
    confinement.empty_environment = true;
    fs::path events;
    if (group != nullptr) {
        confinement.cgroups = group->joins();
        if (batch_server) {
            events = group->events();
        }
    }
    const std::vector<std::string> args =
        bwrap_arguments(request.sandbox, request.limits, request.stdout_to, sandboxed.command,
                        batch_server, events);
    RunResult result = run_process(request, args, confinement);
    if (group != nullptr && !batch_server && oom_kills(group->events()) > 0) {
        mark_out_of_memory(result);
    }
    return result;
}

RunResult run_in_sandbox(const RunRequest& request)
{
    if (request.command.empty()) {
        RunResult result;
        result.error = "no command";
        return result;
    }
    const std::unique_ptr<MemoryGroup> group =
        group_for(request.limits.memory_bytes, request.limits.processes);
    if (group != nullptr) {
        return run_in_sandbox(request, group.get(), false);
    }
    RunRequest limited = request;
    limited.limits = without_group(request.limits, request.sandbox);
    return run_in_sandbox(limited, nullptr, false);
}

std::optional<std::string> bubblewrap_problem()
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

} // namespace check
