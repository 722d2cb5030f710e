// The sandbox: bubblewrap's arguments for a run, the cgroup that holds its memory, and whether
// sandboxes can start here at all.
#pragma once

#include "cgroup.h"
#include "run.h"

#include <optional>
#include <string>

namespace check {

// Memory in a sandbox's group that goes to what runs the program (bubblewrap, a batch's server)
// rather than to the program.
constexpr std::uint64_t sandbox_own_memory = 16 * mebibyte;
// The size of the sandbox's /dev/shm, which counts with its /tmp among a program's files.
constexpr std::uint64_t shm_bytes = 16 * mebibyte;
// Where a batch's server finds its group's events file, inside the sandbox.
constexpr const char* memory_events_inside = "/run/exercise-check/memory-events";

// bubblewrap's command line that runs command in the sandbox. For a batch server, the command
// is the sandbox's first process (which no process in it can signal), and memory_events (if any)
// is shown read-only at memory_events_inside.
std::vector<std::string> bwrap_arguments(const Sandbox& sandbox, const Limits& limits,
                                         Stdout stdout_to, const std::vector<std::string>& command,
                                         bool batch_server = false,
                                         const std::filesystem::path& memory_events = {});

// The group for a sandbox whose programs may take memory_bytes together, or nothing where none
// can be made or memory is not limited.
std::unique_ptr<MemoryGroup> group_for(std::uint64_t memory_bytes, int processes);

// Where no group holds a sandbox's memory: limits under which a program's processes and files
// together cannot take more than its memory limit (fewer processes, each with a share).
Limits without_group(const Limits& limits, const Sandbox& sandbox);

// Runs the request in a sandbox of its own, in a group where one can be made, else under
// without_group's limits. A run of which a process was ended for the group's memory limit is
// marked out_of_memory.
RunResult run_in_sandbox(const RunRequest& request);
// Runs the request in a sandbox in the group (if any); a batch server marks its own runs.
RunResult run_in_sandbox(const RunRequest& request, const MemoryGroup* group, bool batch_server);

// Why bubblewrap cannot start a sandbox here, in one line, or nothing when it can.
std::optional<std::string> bubblewrap_problem();

// What says that the memory limit of the group ended one of the run's processes.
void mark_out_of_memory(RunResult& result);

} // namespace check
