// Checks people's programs: plans the builds, runs every case, decides the verdicts.
#pragma once

#include "exercises_checked.h"
#include "located.h"
#include "model.h"
#include "runner.h"
#include "settings.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace check {

struct Person {
    std::string name;
    std::filesystem::path folder; // where its sources are
    std::string note;
    std::string id{}; // the number a course platform gave the person, empty when none
    std::filesystem::path handed_in{}; // the whole hand-in, where folder lies deeper in it
    std::optional<bool> late{};        // as the platform marked it; none where it does not
};

// Called as each person's check ends: people done, and all of them.
using Progress = std::function<void(std::size_t done, std::size_t total)>;

// How far one program's check is: told when its compiling starts, when it is built, and as its
// cases end (from any thread).
struct Step {
    std::size_t person = 0; // in the order of people
    std::string program;
    bool built = false; // false: still compiling
    bool finished = false;
    std::size_t cases_done = 0;
    std::size_t cases = 0;
};
using Steps = std::function<void(const Step&)>;

// The sandbox every compile and run starts from: the settings' kind, with the case data hidden.
Sandbox base_sandbox(const Settings& settings);

// Checks every person's sources as located (one LocatedSources each, in the order of people),
// several builds and runs at a time, for the exercises given (exercises_checked's).
Report check_located(const std::vector<Person>& people, std::vector<LocatedSources> located,
                     const std::vector<Exercise>& exercises, const Settings& settings,
                     Runner& runner, const Progress& progress = {}, const Steps& steps = {});

// Checks programs already built, <program> (or <program>.exe) in folder, as one person. With
// only_case, throws std::runtime_error when no case has that name or its program is not built.
Report check_built(const std::filesystem::path& folder, const Settings& settings, Runner& runner);

} // namespace check
