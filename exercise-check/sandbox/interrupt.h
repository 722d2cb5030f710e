// Ends an interrupted check cleanly: on SIGINT, SIGTERM or SIGHUP every run is ended, the work
// folder removed, and the checker exits with 128 and the signal's number (130, 143, 129).
#pragma once

#include <filesystem>
#include <string>

namespace check {

// From now on the signals are taken by a thread of their own. Call before any other thread is
// started, so that every thread leaves them to it.
void handle_interruptions();

// The folders an interruption removes: one is added, and taken off again when it is gone.
void remove_when_interrupted(const std::filesystem::path& folder);
void keep_when_interrupted(const std::filesystem::path& folder);

// Whether an interruption has begun to end the check: from then on the runs it ends give
// results that are not the programs' own, and nothing of the check may be kept.
bool interruption_began();

// Ends the check at once as an interruption does, after the line on standard error, with the
// status: for a check that cannot go on.
[[noreturn]] void abandon_check(const std::string& line, int status);

} // namespace check
