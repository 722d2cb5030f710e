// The exercises a check covers: an assignment's, in the catalogue's order, or the one whose case
// is asked for.
#pragma once

#include "model.h"
#include "settings.h"

#include <vector>

namespace check {

// The exercises a check covers: the assignment's, or with only_case, the one whose case it is.
// Throws std::runtime_error when no case has that name, or an assignment names no exercise.
std::vector<Exercise> exercises_checked(const Settings& settings);

} // namespace check
