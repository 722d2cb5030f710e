// The reports: the terminal's, JSON, JUnit, and a class's gradebook as a table, CSV and a web
// page, each formatting the results as they are. Which a command writes, and where, comes from
// the table of outputs (outputs.h).
#pragma once

#include "model.h"
#include "translation.h"

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace check {

struct TerminalStyle {
    bool colour = false;   // ANSI colours: as colour::wanted decides
    bool verbose = false;  // every failing case, not only each wrong program's first
    std::size_t width = 0; // the notes and advice wrapped within it; 0: each on one line
    const Translation* words = nullptr; // the learner's language; none: English
};

// One line per program with its verdict; under a wrong program its deciding case's message
// (every failing case when verbose); under a program with advice, its advice (that which all the
// person's programs share once, for the person); a closing line with the counts.
void write_terminal(std::ostream& out, const Report& report, const TerminalStyle& style);

// How many of the person's programs have each verdict, as the terminal's summary line says it:
// "8 correct, 1 wrong, 0 does not compile, 0 absent".
std::string verdict_counts(const PersonResult& person);

// The lines write_terminal writes of those of the person's programs named, alone: as a learner's
// watch shows the programs just saved.
void write_programs(std::ostream& out, const Report& report, const PersonResult& person,
                    const std::vector<std::string>& programs, const TerminalStyle& style);

// {"people": [{"name", "id", "folder", "note", "late", "points", "max_points", "programs":
// [{"program",
//   "source", "verdict", "points", "max_points", "source_sha256", "advice", "compiler_output",
//   "compile_hints", "same_source_as", "diagnosis", "unexplained", "resembles",
//   "cases": [{"name", "verdict", "departure", "message",
//   "why", "random_input", "arguments", "input", "expected", "actual", "stderr", "difference",
//   "in_words", "exit_status", "signal", "remark", "seconds"}]}]}],
//  "sandbox", "memory_limit", "limits": {"build_bytes": {"program", "person"},
//  "run_budget_seconds": {"program", "person"}, "files_bytes": {"run"}}, "sandboxed", "strict",
//  "from_store", "unmatched_hand_ins", "not_read": [{"path", "why"}], "class"}
// late is true or false where the platform's download marks it, else null; not_read names each
// entry of a class's download that is no one's hand-in; from_store is how many programs'
// results were taken from the store of kept results;
// input, expected, actual and stderr are null or {"title", "text", "left_out"}: the bytes kept
// and how many more there were; difference is null or {"line", "column", "expected", "actual"};
// in_words says what differs and what to write, in one line, or is empty; compile_hints are
// {"id", "hint"}, the beginners' mistakes the compiler's messages show;
// signal is null or its name. Bytes that are not UTF-8 become U+FFFD.
void write_json(std::ostream& out, const Report& report);

// One testsuite per person and program, one testcase per case, the message in each failure.
void write_junit(std::ostream& out, const Report& report);

// A class at a glance, within 80 columns: one row per person, one symbol per program and the
// number correct, with a key; then who handed in the same sources; then each person's notes and
// for each wrong program its first failing case in one line (the whole report when verbose).
void write_gradebook(std::ostream& out, const Report& report, const TerminalStyle& style);

// person,id,twodigits,...,greetings,points,max_points,late: one row per person in name order, the
// verdict of each program, the points, and yes or no where the platform marks late work (else
// empty). UTF-8, quoted as RFC 4180 has it, CRLF line ends; no cell
// a spreadsheet would run as a formula.
void write_csv(std::ostream& out, const Report& report);

// One page that needs nothing else: the gradebook as a coloured grid; each cell opens the
// program's verdict, advice, compiler messages, same sources, and each failing case with the
// expected and actual outputs side by side, the first difference marked; the footer names the
// sandbox.
void write_html(std::ostream& out, const Report& report);

} // namespace check
