#include "sandbox_landlock.h"

#include "bwrap.h"
#include "cgroup.h"
#include "interrupt.h"
#include "landlock.h"
#include "orphans.h"
#include "process.h"
#include "run_users.h"
#include "syscall_filter.h"

#include <algorithm>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace check {

namespace fs = std::filesystem;

namespace {

// The devices every run may read and write.
const std::vector<fs::path>& devices()
{
    static const std::vector<fs::path> all{"/dev/null", "/dev/zero", "/dev/full", "/dev/random",
                                           "/dev/urandom"};
    return all;
}

std::mutex& base_mutex()
{
    static std::mutex mutex;
    return mutex;
}

fs::path& base()
{
    static fs::path folder;
    return folder;
}

// A fresh folder for one run, which only its user may enter.
class RunFolder {
  public:
    explicit RunFolder(uid_t user)
    {
        fs::path parent;
        {
            const std::lock_guard<std::mutex> lock(base_mutex());
            parent = base().empty() ? fs::temp_directory_path() : base();
        }
        std::string pattern = (parent / "run-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw std::runtime_error("cannot make a folder for the run in " + parent.string());
        }
        path_ = pattern;
        remove_when_interrupted(path_);
        if (geteuid() == 0 && chown(path_.c_str(), user, user) != 0) {
            throw std::runtime_error("cannot give the run's folder to its user");
        }
    }
    RunFolder(const RunFolder&) = delete;
    RunFolder& operator=(const RunFolder&) = delete;
    RunFolder(RunFolder&&) = delete;
    RunFolder& operator=(RunFolder&&) = delete;
    ~RunFolder()
    {
        keep_when_interrupted(path_);
        std::error_code error;
        fs::remove_all(path_, error);
    }
    const fs::path& path() const { return path_; }

    // Leaves it as it was made, for the next run.
    void empty() const
    {
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator(path_, error)) {
            fs::remove_all(entry.path(), error);
        }
    }

  private:
    fs::path path_;
};

// How many processes (threads included) the user has now: without a PID namespace the limit
// on processes counts all of them, so a run gets its own number on top.
std::uint64_t processes_of(uid_t user)
{
    std::uint64_t count = 0;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error)) {
        struct stat status {};
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos ||
            stat(entry.path().c_str(), &status) != 0 || status.st_uid != user) {
            continue;
        }
        std::error_code ignored;
        const auto tasks = std::distance(fs::directory_iterator(entry.path() / "task", ignored),
                                         fs::directory_iterator());
        count += static_cast<std::uint64_t>(std::max<std::ptrdiff_t>(tasks, 1));
    }
    return count;
}

bool inside(const fs::path& path, const fs::path& folder)
{
    const fs::path relative = path.lexically_relative(folder);
    return !relative.empty() && *relative.begin() != "..";
}

// A checked program, rather than one of the system's (a compiler, a linker): it lies in none of
// the system's folders.
bool checked_program(const fs::path& program)
{
    const std::vector<fs::path> system = landlock::system_folders();
    return std::none_of(system.begin(), system.end(), [&](const fs::path& folder) {
        return program == folder || inside(program, folder);
    });
}

RunResult not_started(const std::string& why)
{
    RunResult result;
    result.error = why;
    return result;
}

} // namespace

void make_run_folders_in(const fs::path& folder)
{
    const std::lock_guard<std::mutex> lock(base_mutex());
    base() = folder;
}

namespace {

// What a batch of runs shares: one folder, emptied after each run, and one ruleset that lets
// them reach what any of them may (they are runs of one program).
class Prepared {
  public:
    explicit Prepared(const std::vector<RunRequest>& requests)
        : user_(geteuid() != 0     ? getuid()
                : requests.empty() ? unprivileged_id
                                   : run_user_of(requests.front().sandbox)),
          folder_(user_)
    {
        landlock::Reach reach;
        reach.read = landlock::system_folders();
        reach.read.push_back(folder_.path());
        reach.devices = devices();
        std::vector<fs::path> hidden;
        for (const RunRequest& request : requests) {
            const Sandbox& sandbox = request.sandbox;
            // The folder is their /tmp: read-only where they have no room for files, since no
            // bound on disk would hold what they wrote there together.
            if (sandbox.tmp_bytes > 0) {
                reach.write.push_back(folder_.path());
            }
            reach.read.insert(reach.read.end(), sandbox.read_only.begin(), sandbox.read_only.end());
            if (!request.command.empty()) {
                const std::string program = find_on_path(request.command.front());
                if (program.find('/') != std::string::npos) {
                    reach.read.emplace_back(program);
                }
            }
            if (!sandbox.writable.empty()) {
                reach.write.push_back(sandbox.writable);
            }
            hidden.insert(hidden.end(), sandbox.hidden.begin(), sandbox.hidden.end());
        }
        for (std::vector<fs::path>* paths : {&reach.read, &reach.write}) {
            std::sort(paths->begin(), paths->end());
            paths->erase(std::unique(paths->begin(), paths->end()), paths->end());
        }
        std::sort(hidden.begin(), hidden.end());
        hidden.erase(std::unique(hidden.begin(), hidden.end()), hidden.end());
        // What must stay hidden may not lie in what the runs may read.
        for (const fs::path& path : hidden) {
            std::error_code error;
            const fs::path real = fs::weakly_canonical(fs::absolute(path), error);
            for (const fs::path& open : reach.read) {
                if (real == open || inside(real, open)) {
                    throw std::runtime_error("the case data in " + real.string() +
                                             " lies where every run may read: keep it elsewhere");
                }
            }
        }
        ruleset_.emplace(reach);
        variables_ = {"PATH=/usr/local/bin:/usr/bin:/bin", "LANG=C",
                      "HOME=" + folder_.path().string(), "TMPDIR=" + folder_.path().string()};
        for (std::string& variable : variables_) {
            environment_.push_back(variable.data());
        }
        environment_.push_back(nullptr);
    }

    RunResult run(const RunRequest& request, const MemoryGroup* group)
    {
        if (request.command.empty()) {
            return not_started("no command");
        }
        RunRequest local = request;
        local.directory = folder_.path();
        std::vector<std::string> args = request.command;
        args.front() = find_on_path(args.front());
        const bool checked = checked_program(args.front());
        Confinement confinement;
        confinement.drop_root = geteuid() == 0;
        confinement.user = user_;
        confinement.dies_with_parent = true;
        confinement.landlock_ruleset = ruleset_->fd();
        confinement.syscall_filter =
            checked ? &syscall_filter::programs() : &syscall_filter::tools();
        confinement.environment = environment_.data();

        RunResult result;
        if (group != nullptr) {
            // Whatever the run leaves behind stays in the group, where it is ended.
            confinement.cgroups = group->joins();
            confinement.ended_first = true;
            const std::uint64_t ended_before = oom_kills(group->events());
            result = run_process(local, args, confinement);
            group->end_all();
            if (oom_kills(group->events()) > ended_before) {
                mark_out_of_memory(result);
            }
        } else {
            // Without a group, a process that leaves its process group and its parent is found
            // as an orphan of the checker's.
            take_in_orphans();
            local.limits = without_group(request.limits, Sandbox{});
            const uid_t user = user_;
            // Only a checked program's: on top of every process its user has now, the
            // checker's threads and other runs among them, a compiler would find too little
            // room left when they start more meanwhile.
            if (checked && request.limits.processes > 0) {
                confinement.user_processes =
                    processes_of(user) + static_cast<std::uint64_t>(local.limits.processes);
            }
            result = run_process(local, args, confinement);
            end_orphans();
        }
        folder_.empty();
        return result;
    }

  private:
    uid_t user_; // who every run of them is
    RunFolder folder_;
    std::optional<landlock::Ruleset> ruleset_;
    std::vector<std::string> variables_;
    std::vector<char*> environment_;
};

// A group as large as the largest of the runs' limits: they take turns in it.
std::unique_ptr<MemoryGroup> group_for_all(const std::vector<RunRequest>& requests)
{
    std::uint64_t memory = 0;
    int processes = 0;
    for (const RunRequest& request : requests) {
        if (request.limits.memory_bytes == 0) {
            return nullptr;
        }
        memory = std::max(memory, request.limits.memory_bytes);
        processes = std::max(processes, request.limits.processes);
    }
    return requests.empty() ? nullptr : group_for(memory, processes);
}

} // namespace

RunResult run_in_landlock(const RunRequest& request)
{
    return run_all_in_landlock({request}).front();
}

std::vector<RunResult> run_all_in_landlock(const std::vector<RunRequest>& requests)
{
    std::vector<RunResult> results;
    results.reserve(requests.size());
    try {
        const std::unique_ptr<MemoryGroup> group = group_for_all(requests);
        Prepared prepared(requests);
        for (const RunRequest& request : requests) {
            results.push_back(results.empty() || made_after(request, results.back())
                                  ? prepared.run(request, group.get())
                                  : not_made());
        }
    } catch (const std::exception& error) {
        while (results.size() < requests.size()) {
            results.push_back(not_started(error.what()));
        }
    }
    if (results.empty()) {
        results.push_back(not_started("no command"));
    }
    return results;
}

std::optional<std::string> landlock_problem()
{
    if (const auto problem = landlock::problem()) {
        return problem;
    }
    try {
        (void)syscall_filter::tools();
        (void)syscall_filter::programs();
    } catch (const std::exception& error) {
        return std::string(error.what());
    }
    RunRequest probe;
    probe.command = {"/bin/true"};
    probe.sandbox.enabled = true;
    probe.sandbox.kind = SandboxKind::landlock;
    probe.limits.wall_seconds = 10;
    const RunResult result = run_in_landlock(probe);
    if (result.ending == Ending::exited && result.status == 0) {
        return std::nullopt;
    }
    return "a program cannot start in the Landlock sandbox here (" +
           (result.error.empty() ? result.err.substr(0, result.err.find('\n')) : result.error) +
           ")";
}

} // namespace check
