// GitHub Classroom's autograding result: what a runner step hands its grading reporter.
#pragma once

#include "model.h"

#include <ostream>

namespace check {

// {"version": 1, "status": "pass"|"fail"|"error", "max_score", "tests": [{"name", "status",
// "message", "test_code", "filename", "line_no", "duration", "score"}]}: one test per program,
// worth one point, "pass" when it earns it, "error" when it does not compile; the status "pass"
// when every program passes, "error" when the report holds no one to grade. The reporter adds up
// the tests' scores against max_score. The report holds one person's repository.
void write_classroom(std::ostream& out, const Report& report);

} // namespace check
