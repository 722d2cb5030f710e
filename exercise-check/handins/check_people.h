// Checks people's hand-ins: finds each person's sources, then judges them.
#pragma once

#include "check.h"

#include <vector>

namespace check {

// Locates every person's sources and checks them, several builds and runs at a time. With
// only_case, only the exercise of that case is checked and listed; throws std::runtime_error when
// no case has that name.
Report check_people(const std::vector<Person>& people, const Settings& settings, Runner& runner,
                    const Progress& progress = {}, const Steps& steps = {});

} // namespace check
