// Moodle VPL's evaluation output: comments for the learner and the proposed grade, as VPL reads
// them from what its vpl_execution prints.
#pragma once

#include "model.h"

#include <ostream>

namespace check {

// One comment block ("<|--" ... "--|>") with a title line ("-") per program, its verdict, and
// under it what the learner is told as preformatted lines (">"); then "Grade :=>> G", with G =
// grade_min + points / max_points x (grade_max - grade_min), two decimals. No line a hand-in's
// bytes reach can end the block or pass for a grade or a comment: each is preformatted, so
// begins with ">".
void write_vpl(std::ostream& out, const Report& report, double grade_min, double grade_max);

} // namespace check
