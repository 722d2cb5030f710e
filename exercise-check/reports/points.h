// Points: one per program that passes, what every platform's grade is made of; and what a
// learner is told about each program.
#pragma once

#include "model.h"
#include "translation.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace check {

// correct 1, anything else 0: a departure is wrong when strict, correct with advice otherwise.
int program_points(const ProgramResult& program, bool strict);

struct Points {
    int points = 0;
    int max_points = 0; // one per program listed for the person
};

// The person's points over the programs listed for them, absent ones included.
Points person_points(const PersonResult& person, bool strict);

// points / max_points scaled to [low, high], low when there is nothing to earn.
double scaled_grade(const Points& points, double low, double high);

// One line about the program for a learner: "circle wrong: calculators.circle.plain wrong-output",
// "twodigits correct; advice: exits with 0 when ...", "echonumber does-not-compile"; in the
// learner's language where words are given (the names of programs and cases stay).
std::string program_summary(const ProgramResult& program, bool strict,
                            const Translation& words = Translation());

// What the program's verdict says.
std::string verdict_shown(const ProgramResult& program, bool strict,
                          const Translation& words = Translation());

// What a learner is told under the summary, line by line: a correct program's advice; the first
// case that counts against the program, its verdict and message (input, first difference, both
// outputs); or the compiler's messages, cut after limit bytes. The compiler's and the program's
// own words stay as they were.
std::vector<std::string> program_details(const ProgramResult& program, bool strict,
                                         const Translation& words = Translation(),
                                         std::size_t limit = 4000);

} // namespace check
