// Which sandbox runs a request: the one its Sandbox names, or none; and what the sandboxes share.
#include "bwrap.h"
#include "cgroup.h"
#include "process.h"
#include "run.h"
#include "sandbox_landlock.h"

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

std::optional<std::string> sandbox_problem(SandboxKind kind)
{
    return kind == SandboxKind::landlock ? landlock_problem() : bubblewrap_problem();
}

void share_with_sandbox(const std::filesystem::path& folder, bool writable)
{
    namespace fs = std::filesystem;
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

std::string memory_limit_held_by()
{
    return memory_groups_work() ? "cgroup" : "per-process limits";
}

} // namespace check
