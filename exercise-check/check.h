// Checks people's programs: compiles each source, runs every case, decides the verdicts.
#pragma once

#include "build.h"
#include "model.h"
#include "run.h"

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace check {

struct Settings {
    std::filesystem::path case_data;
    Compiler compiler;
    unsigned jobs = 2;
    Limits run_limits;
    Limits compile_limits;
    bool sandbox = true;
    bool strict = false;
    int stress_runs = 200;
    std::uint32_t seed = 20261208;
    std::vector<std::string> emulator; // runs the programs when they are built for another system
    bool crlf = false;                 // they write CRLF line ends
    std::vector<std::string> memcheck; // runs them under this (valgrind), when not empty
    std::string only_case;             // only the case of this name, when not empty
    std::filesystem::path work;        // where the builds go: a folder of the checker's own
};

struct Person {
    std::string name;
    std::filesystem::path folder; // where its sources are
    std::string note;
    std::string id{}; // the number a course platform gave the person, empty when none
};

// Called as each person's check ends: people done, and all of them.
using Progress = std::function<void(std::size_t done, std::size_t total)>;

// Checks every person's sources, several builds and runs at a time.
Report check_people(const std::vector<Person>& people, const Settings& settings,
                    const Progress& progress = {});

// Checks programs already built, <program> (or <program>.exe) in folder, as one person.
Report check_built(const std::filesystem::path& folder, const Settings& settings);

} // namespace check
