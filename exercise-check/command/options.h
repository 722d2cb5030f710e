// The checker's command line: what it says, read and checked, before anything is done.
#pragma once

#include "outputs.h"

#include <optional>
#include <string>
#include <vector>

namespace check {

struct Options {
    std::vector<std::string> folders; // people's folders
    std::string class_folder;
    std::string built;
    std::string cases; // the folder of case data; empty: the one that travels with the tool
    std::string cxx;
    std::string only_case;
    std::string emulator;
    std::string stdlib;
    std::string programs;             // an assignment's programs: twodigits,circle,...
    std::vector<OutputAsked> outputs; // those asked for, in the order of outputs()
    std::string shard;                // K/N: the people of shard K of N
    bool merge = false;               // exercise-check merge A.json B.json ...
    std::vector<std::string> merge_files;
    std::string map; // a file of `source path = program` lines
    bool no_diagnosis = false;
    std::string fault_cache; // where the typical faults' builds are kept; empty: the default
    bool list_cases = false;
    bool strict = false;
    bool verbose = false;
    bool no_sandbox = false;
    std::string sandbox = "auto"; // auto, bubblewrap, landlock or none
    bool crlf = false;
    bool memcheck = false;
    unsigned jobs = 0; // 0: one per core
    double timeout_seconds = 5;
    double memory_mib = 512;
    double output_mib = 1;
    int processes = 64;
    int stress_runs = 200;
    unsigned seed = 20261208;
};

// What the command line asks for, or the exit status to end with at once: 0 after --help, 2 with
// one line on standard error for a command line that cannot be right.
struct ParsedOptions {
    Options options;
    std::optional<int> exit_now;
};
ParsedOptions parse_options(int argc, char** argv);

} // namespace check
