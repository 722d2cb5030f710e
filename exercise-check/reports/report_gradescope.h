// Gradescope's results.json: one submission's score and one test per program, as its autograder
// harness reads the file.
#pragma once

#include "model.h"

#include <ostream>

namespace check {

// {"score", "execution_time", "output", "tests": [{"name", "score", "max_score", "status",
// "output"}]}: score the person's points, one test per program worth one point, "passed" when it
// earns it; a test's output its verdict and what the learner is told (the first failing case
// with its input, expected and actual output, or the compiler's messages). seconds is how long
// the check took. The report holds the one submission; throws std::invalid_argument otherwise.
void write_gradescope(std::ostream& out, const Report& report, double seconds);

} // namespace check
