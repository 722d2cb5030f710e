// Starts one process and watches it: its pipes, its limits, the wall clock, and how it ended.
#pragma once

#include "run.h"

#include <cstdint>
#include <sys/types.h>

struct sock_fprog;

namespace check {

constexpr uid_t unprivileged_id = 65534; // nobody: a root checker runs the sandbox as this user

// What confines a process beyond its limits; set up after it starts and before it executes.
struct Confinement {
    std::vector<int> cgroups;       // open cgroup.procs files the process joins
    bool drop_root = false;         // a root checker's process becomes user
    uid_t user = unprivileged_id;   // (and its group the same number)
    bool dies_with_parent = false;  // ended when the thread that started it ends
    bool empty_environment = false; // starts with no environment at all
    bool ended_first = false;       // the first its cgroup ends when memory runs out
    // A system-call filter it applies to itself last (one of syscall_filter's), or none.
    const sock_fprog* syscall_filter = nullptr;
    // The Landlock sandbox's: a ruleset it applies to itself, the environment it starts with
    // (nullptr: the checker's, or none with empty_environment), and the most processes its user
    // may have (0: as it is).
    int landlock_ruleset = -1;
    char* const* environment = nullptr;
    std::uint64_t user_processes = 0;
};

// Runs args (the program first, as a path) with the request's input, output and limits.
RunResult run_process(const RunRequest& request, const std::vector<std::string>& args,
                      const Confinement& confinement);

// Where a command is found on PATH, or the name itself when it holds a slash or is not there.
std::string find_on_path(const std::string& name);

} // namespace check
