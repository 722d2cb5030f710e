// For the hand-ins' tests: the exercises of this project's case data.
#pragma once

#include "cases.h"
#include "catalogue.h"

#include <vector>

namespace check::test {

inline const std::vector<Exercise>& known()
{
    static const std::vector<Exercise> exercises = load_catalogue(default_case_data());
    return exercises;
}

} // namespace check::test
