// What a check is asked to do: the case data, the limits, the sandbox, what to leave out.
#pragma once

#include "compile_hints.h"
#include "model.h"
#include "run.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace check {

class MadeHeaders;

// A line of a teacher's map of sources to programs: `source path = program`.
struct MapLine {
    std::string path;    // relative to a person's folder, or the person's name first
    std::string program; // an exercise's name
    std::size_t line = 0;
};

// $XDG_CACHE_HOME/exercise-check/faults, else ~/.cache/exercise-check/faults; none when neither
// is set.
std::filesystem::path default_fault_cache();

// What the builds of a check may take on disk: each program, and all of one person's that are
// kept at once (a build is removed once its cases have run). A larger program does not compile.
struct BuildLimits {
    std::uint64_t program_bytes = 64 * mebibyte;
    std::uint64_t person_bytes = 256 * mebibyte;
};

// How long a program's runs may take together, and a person's: once that is spent, the runs left
// are cut short (see cut_seconds). Far more than a right program's runs take: they are for one
// that stops answering, whose every case would wait out its time limit.
struct RunBudget {
    double program_seconds = 60;
    double person_seconds = 300;
};

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
    // Where the people's builds and results are kept, by what they depend on, to be taken by the
    // next check that would make the same (kept.h); with none, nothing is kept or taken.
    std::filesystem::path store{};
    std::string judge{}; // the judge's version in the keys of kept results; empty: this one's
    BuildLimits build_limits{};
    RunBudget run_budget{};
    // What shows a beginner's typical compile error, and what to write instead; none: no hints.
    std::vector<CompileHintRule> compile_hints{};
    // Precompiled headers kept from one check to the next (made_headers.h), where the checker
    // checks again; none: each check makes those that enough of its compiles share.
    std::shared_ptr<MadeHeaders> made_headers{};
};

} // namespace check
