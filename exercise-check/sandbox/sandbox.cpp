// Which sandbox runs a request: the one its Sandbox names, or none; and what the sandboxes share.
#include "bwrap.h"
#include "cgroup.h"
#include "process.h"
#include "run.h"
#include "run_users.h"
#include "sandbox_landlock.h"

#include <sys/stat.h>
#include <unistd.h>

namespace check {

std::string_view sandbox_name(bool enabled, SandboxKind kind)
{
    if (!enabled) {
        return "none";
    }
    return kind == SandboxKind::landlock ? "landlock" : "bubblewrap";
}

RunResult run(const RunRequest& request)
{
    if (request.sandbox.enabled) {
        return request.sandbox.kind == SandboxKind::landlock ? run_in_landlock(request)
                                                             : run_in_sandbox(request);
    }
    std::vector<std::string> args = request.command;
    if (!args.empty()) {
        args.front() = find_on_path(args.front());
    }
    Confinement confinement;
    confinement.dies_with_parent = true;
    return run_process(request, args, confinement);
}

bool made_after(const RunRequest& request, const RunResult& previous)
{
    switch (request.runs_after) {
    case RunsAfter::exited: return previous.ending == Ending::exited;
    case RunsAfter::in_time:
        return previous.ending != Ending::timed_out && previous.ending != Ending::not_started;
    case RunsAfter::always: break;
    }
    return true;
}

RunResult not_made()
{
    RunResult result;
    result.error = "not run: the run before it did not end as this one needs";
    return result;
}

std::optional<std::string> sandbox_problem(SandboxKind kind)
{
    return kind == SandboxKind::landlock ? landlock_problem() : bubblewrap_problem();
}

void share_with_sandbox(const std::filesystem::path& folder, bool writable, bool shown_to_others)
{
    namespace fs = std::filesystem;
    constexpr fs::perms open_to_all = fs::perms::owner_all | fs::perms::group_read |
                                      fs::perms::group_exec | fs::perms::others_read |
                                      fs::perms::others_exec;
    std::error_code error;
    if (!writable || geteuid() != 0) {
        fs::permissions(folder, open_to_all, error);
        return;
    }
    // A root checker's runs are users of the check's own: this one's, or the folder's above.
    uid_t user = 0;
    struct stat parent {};
    const std::optional<UserBlock> block = check_users();
    if (block && stat(folder.parent_path().c_str(), &parent) == 0 &&
        block->contains(parent.st_uid)) {
        user = parent.st_uid;
    } else {
        user = new_run_user();
    }
    (void)!chown(folder.c_str(), user, user);
    fs::permissions(folder, shown_to_others || !block ? open_to_all : fs::perms::owner_all, error);
}

std::string memory_limit_held_by()
{
    return memory_groups_work() ? "cgroup" : "per-process limits";
}

} // namespace check
