// GitHub Actions' own ways of showing a check, for a plain workflow step: annotations on the
// learner's sources, and the job's summary.
#pragma once

#include "model.h"

#include <ostream>
#include <string>

namespace check {

// One workflow command a line for each program handed in that earns no point, shown on the
// source: `::error file=<source>,line=<line>,title=<program> <verdict>::<what failed>`, the line
// where the compiler names one (else none, for the whole file); then `::notice::Points X/Y`.
// Everything from a hand-in is escaped as workflow commands need it, so that no output of a
// program can start a command of its own. The report holds one person's repository.
void write_github_annotations(std::ostream& out, const Report& report);

// The job's summary in Markdown: the points, then a table of the programs with their verdicts
// and what failed first; a hand-in's text shown as text, never as Markdown or HTML.
void write_github_summary(std::ostream& out, const Report& report);

// A source's path as the repository names it: ./twodigits.cpp is twodigits.cpp.
std::string repository_path(const std::string& source);

} // namespace check
