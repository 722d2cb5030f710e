// The sandbox where namespaces are refused (containers, CI runners, grading jails): each run in a
// fresh private folder of its own, under Landlock's rules on files, the network and signals, a
// seccomp filter on system calls, and the limits; whatever it leaves running is ended after it.
#pragma once

#include "run.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace check {

// Runs the request in the Landlock sandbox: it may read and run the system's programs and
// libraries and what the sandbox's read_only names, and write its writable folder and a fresh
// folder that is its working folder, HOME and TMPDIR; nothing else.
RunResult run_in_landlock(const RunRequest& request);

// The runs one after another, in one group that holds each run's memory (where the checker can
// make one), everything a run leaves ended before the next.
std::vector<RunResult> run_all_in_landlock(const std::vector<RunRequest>& requests);

// Where the runs' own folders are made from now on (the checker's work folder); until then, and
// with an empty path, in the folder for temporary files.
void make_run_folders_in(const std::filesystem::path& folder);

// Why the Landlock sandbox cannot be used here, in one line, or nothing when it can.
std::optional<std::string> landlock_problem();

} // namespace check
