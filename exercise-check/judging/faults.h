// The typical faults of an exercise, read from faults.json beside its cases, and their variants.
#pragma once

#include "model.h"

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace check {

// The file beside an exercise's cases that lists its typical faults.
constexpr const char* faults_file = "faults.json";

// One change to the exercise's own program: the first place that holds text gets replacement.
struct Change {
    std::string text;
    std::string replacement;
};

// A typical fault: what a learner gets wrong, and programs that have it. Its variants are the
// exercise's own program with its changes, each variant one way of making the same fault.
struct Fault {
    std::string id;   // integer-division
    std::string hint; // one or two lines for the learner: what is wrong and what to do
    // What of a failed case's run its variant cannot reproduce byte for byte, so that the case's
    // verdict stands for it: the output of an unset value, the words a program writes to
    // standard error. Everything else (the output, standard error, exit status) must be the same.
    bool output_may_differ = false;
    bool standard_error_may_differ = false;
    std::vector<std::vector<Change>> variants;
};

// The exercise's faults, in the file's order; none when there is no file. Throws
// std::runtime_error, in one line that says what to mend, when the file is wrong.
std::vector<Fault> load_faults(const std::filesystem::path& case_data, const Exercise& exercise);

// The exercise's own program, from which the variants are made: <group>/<name>/<name>.cpp in the
// case data as installed, else <folder>/<name>.cpp beside the case data in this project's tree;
// empty when neither is there.
std::filesystem::path own_source(const std::filesystem::path& case_data, const Exercise& exercise);

// The source with every change made, or nothing when a change finds no text to replace.
std::optional<std::string> apply(std::string source, const std::vector<Change>& changes);

} // namespace check
