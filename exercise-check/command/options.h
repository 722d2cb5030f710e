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
    bool no_cache = false;   // take nothing kept, keep nothing: build and run every program
    bool watch = false;      // check the folder again as each of its sources is saved
    std::string fault_cache; // where the typical faults' builds are kept; empty: the default
    bool list_cases = false;
    bool strict = false;
    bool verbose = false;
    bool no_sandbox = false;
    std::string sandbox = "auto"; // auto, bubblewrap, landlock or none
    std::string colour = "auto";  // --color: auto, always or never
    std::string language;         // --language: hr or en; empty: as the environment says
    bool crlf = false;
    bool memcheck = false;
    unsigned jobs = 0; // 0: one per core
    double timeout_seconds = 5;
    double program_seconds = 60; // the runs of one program, after which the rest are cut short
    double person_seconds = 300; // the runs of one person's programs together
    double memory_mib = 512;
    double output_mib = 1;
    int processes = 64;
    int stress_runs = 200;
    unsigned seed = 20261208;
};

// One option as --help, the man page and the completions show it.
struct OptionDoc {
    std::string names; // "--jobs,-j"; a positional's name alone: "FOLDER"
    std::string value; // what it takes, FILE, N...; empty for a flag
    std::string help;
    std::string group;                // empty: left out of --help and the man page
    std::vector<std::string> choices; // the values it takes, where they are few
    bool optional_value = false;      // it may be given without its value
};

// A command (the checker's own, or merge) and its options, in the order of --help.
struct CommandDoc {
    std::string name; // empty for the checker's own
    std::string summary;
    std::vector<OptionDoc> options;
};

// The groups of --help, in order.
inline const std::vector<std::string>& option_groups()
{
    static const std::vector<std::string> groups{"For learners", "For teachers", "For platforms",
                                                 "For this project's own tests"};
    return groups;
}

// Every option of the command line, the checker's first and then merge's: what --help, the man
// page and the completions are made from.
std::vector<CommandDoc> command_line_docs();

// What the command line asks for, or the exit status to end with at once: 0 after --help,
// --version or the hidden --print-man-page and --print-completion, 2 with one line on standard
// error for a command line that cannot be right.
struct ParsedOptions {
    Options options;
    std::optional<int> exit_now;
};
ParsedOptions parse_options(int argc, char** argv);

} // namespace check
