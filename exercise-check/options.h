// The checker's command line: what it says, read and checked, before anything is done.
#pragma once

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
    std::string json;
    std::string junit;
    std::string csv;
    std::string html;
    std::string only_case;
    std::string emulator;
    std::string stdlib;
    std::string map; // a file of `source path = program` lines
    bool list_cases = false;
    bool strict = false;
    bool verbose = false;
    bool no_sandbox = false;
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
