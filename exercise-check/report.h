// The reports: the terminal's, JSON and JUnit. The only code that knows about output formats.
#pragma once

#include "model.h"

#include <ostream>

namespace check {

struct TerminalStyle {
    bool colour = false;  // ANSI colours: only on a terminal, never with NO_COLOR
    bool verbose = false; // every failing case, not only each wrong program's first
};

// One line per program with its verdict; under a wrong program its first failing case's message
// (every failing case when verbose); under a program with remarks, the remarks; a closing line
// with the counts.
void write_terminal(std::ostream& out, const Report& report, const TerminalStyle& style);

// {"people": [{"name", "folder", "programs": [{"program", "source", "verdict", "remarks",
// "compiler_output", "cases": [{"name", "verdict", "departure", "message", "seconds"}]}]}]}
void write_json(std::ostream& out, const Report& report);

// One testsuite per person and program, one testcase per case, the message in each failure.
void write_junit(std::ostream& out, const Report& report);

} // namespace check
