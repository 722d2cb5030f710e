// The typical faults' variants of a class's wrong programs: built once for the class, run on the
// cases those programs failed, and the faults they explain named in each program's diagnosis.
#pragma once

#include "model.h"
#include "runner.h"
#include "settings.h"

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

namespace check {

// A program already built, to be run on those of its exercise's cases that are named.
struct BuiltRun {
    const Exercise* exercise = nullptr;
    std::filesystem::path executable;
    std::filesystem::path filled; // its build with unset variables filled, or empty
    const std::set<std::string>* cases = nullptr;
    ProgramResult result; // what running them found
};

// Runs each program on its cases as the check runs a person's, within the settings' limits.
using RunBuilt = std::function<void(std::vector<BuiltRun>& programs, const Settings& settings)>;

// Names the typical faults of each wrong program of the report. The variants of an exercise's
// faults are built once for the class (or taken from the settings' fault cache), and run first on
// the first case each wrong program fails each way; only those that explain one run on the other
// failed cases, and then on the cases the programs passed, to show they pass where the program
// does. A variant that explains none of those first failures names no fault: at most it is
// resembled. The programs diagnosed before (their results taken from the store with their
// diagnosis) are left as they are.
void diagnose_people(Report& report, const Settings& settings, Runner& runner,
                     const RunBuilt& run_built,
                     const std::set<const ProgramResult*>& diagnosed = {});

} // namespace check
