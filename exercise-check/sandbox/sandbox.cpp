// Which sandbox runs a request: the one its Sandbox names, or none.
#include "bwrap.h"
#include "process.h"
#include "run.h"
#include "sandbox_landlock.h"

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

} // namespace check
