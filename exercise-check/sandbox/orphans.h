// The processes of the runs under way, and what runs leave behind: an interruption ends the
// first, end_orphans the second.
#pragma once

#include <functional>
#include <sys/types.h>

namespace check {

// Starts a run's first process with start (which returns its id, or -1 with errno set) and
// enters it among the runs under way, under the same lock, so that no process of the checker's
// is ever taken for an orphan. Once every run was ended (end_every_run), starts nothing: -1 with
// errno ECANCELED.
pid_t enter_run(const std::function<pid_t()>& start);

// The run's first process has been waited for.
void leave_run(pid_t pid);

// Ends every process that has lost the process that started it and come to the checker (which
// takes in orphans, see take_in_orphans), with all it started: what a run left behind after
// leaving its process group. Runs under way are left alone.
void end_orphans();

// From now on the checker takes in every orphan of the processes it starts, so that end_orphans
// finds them.
void take_in_orphans();

} // namespace check
