// One command line of the checker carried out: finds what to check, checks it, writes the
// reports, and gives the exit status.
#pragma once

#include "model.h"
#include "options.h"

namespace check {

// The exit statuses: 0 when every program checked is correct, 1 when one is
// wrong or does not compile, 2 when the command line or its files cannot be used, 3 when no
// sandbox can be made here; 128 and the signal's number when interrupted.
constexpr int exit_right = 0;
constexpr int exit_wrong = 1;
constexpr int exit_usage = 2;
constexpr int exit_no_sandbox = 3;

int exit_status(const Report& report);

// Carries the options out, writing to standard output and error; returns the exit status.
int run_command(const Options& options);

} // namespace check
