// How a check is done, from the command line: the case data and its catalogue, the limits, the
// way the programs are started.
#pragma once

#include "check.h"
#include "options.h"

namespace check {

// The settings the options ask for. Throws std::runtime_error, in one line that says what to do,
// when the case data cannot be read.
Settings make_settings(const Options& options);

// The limits every compile runs within: a minute, 2 GiB, and no file larger than a build may be
// (builds' program_bytes), so that a program too large stops its linker at the limit.
Limits compile_limits(const BuildLimits& builds);

// A command given as one argument: its words split at semicolons (a CMake list) or blanks.
std::vector<std::string> command_words(const std::string& command);

// Sources named in place of folders: <program>.cpp files, all of one folder, which is then
// checked for those programs alone (settings.programs). The options as they would be with that
// folder named; throws std::runtime_error, saying why, for sources that cannot be checked so.
Options files_as_folder(const Options& options, Settings& settings);

} // namespace check
