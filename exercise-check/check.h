// Checks people's programs: plans the builds, runs every case, decides the verdicts.
#pragma once

#include "model.h"
#include "run.h"
#include "runner.h"
#include "source_map.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace check {

// $XDG_CACHE_HOME/exercise-check/faults, else ~/.cache/exercise-check/faults; none when neither
// is set.
std::filesystem::path default_fault_cache();

struct Settings {
    std::filesystem::path case_data;
    std::vector<Exercise> exercises; // the catalogue's
    std::string stdlib;              // the programs' C++ library: picks library-specific cases
    unsigned jobs = 2;
    Limits run_limits;
    bool sandbox = true;
    SandboxKind sandbox_kind = SandboxKind::bubblewrap;
    std::string memory_limit; // what holds a sandboxed program's memory: see memory_limit_held_by
    bool strict = false;
    int stress_runs = 200;
    std::uint32_t seed = 20261208;
    std::vector<std::string> emulator; // runs the programs when they are built for another system
    bool crlf = false;                 // they write CRLF line ends
    std::vector<std::string> memcheck; // runs them under this (valgrind), when not empty
    std::string only_case;             // only the case of this name, when not empty
    std::vector<std::string> programs; // only these exercises (an assignment's), when not empty
    std::filesystem::path work;        // where the builds go: a folder of the checker's own
    std::vector<MapLine> map{};        // the teacher's choice of sources, over any other
    bool diagnose = true;              // name the typical faults that explain a wrong program
    // Where the builds of the faults' variants are kept from one check to the next; with none,
    // each check builds those it needs once.
    std::filesystem::path fault_cache = default_fault_cache();
};

struct Person {
    std::string name;
    std::filesystem::path folder; // where its sources are
    std::string note;
    std::string id{}; // the number a course platform gave the person, empty when none
    std::filesystem::path handed_in{}; // the whole hand-in, where folder lies deeper in it
};

// Called as each person's check ends: people done, and all of them.
using Progress = std::function<void(std::size_t done, std::size_t total)>;

// Precompiled headers are made for a set of leading headers that at least this many compiles
// share: each takes about as long as three compiles to make.
constexpr std::size_t compiles_worth_precompiling = 6;

// The sandbox every compile and run starts from: the settings' kind, with the case data hidden.
Sandbox base_sandbox(const Settings& settings);

// Checks every person's sources, several builds and runs at a time. With only_case, only the
// exercise of that case is checked and listed; throws std::runtime_error when no case has that
// name.
Report check_people(const std::vector<Person>& people, const Settings& settings, Runner& runner,
                    const Progress& progress = {});

// Checks programs already built, <program> (or <program>.exe) in folder, as one person. With
// only_case, throws std::runtime_error when no case has that name or its program is not built.
Report check_built(const std::filesystem::path& folder, const Settings& settings, Runner& runner);

} // namespace check
