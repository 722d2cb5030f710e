// Reads the golden cases of one exercise from the case data: <data>/<group>/<name>/.
#pragma once

#include "model.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace check {

enum class CaseKind {
    plain,           // <case>.in, <case>.out, <case>.args: the exact output
    waiting,         // <case>.waiting: the output while the program waits for more input
    input_left_open, // the plain case with the input left open after it: the program must end
    output_full,     // standard output on /dev/full: exit status 1
    output_closed,   // standard output closed: exit status 1
    stress,          // <case>.shape: random inputs, each output of that shape
};

struct Case {
    std::string name; // <group>.<program>.<case>
    CaseKind kind = CaseKind::plain;
    std::string input;             // bytes fed to standard input
    std::vector<std::string> args; // command-line arguments
    std::string expected;          // expected output (LF line ends), or the shape
    int expected_status = 0;
    bool failed_read = false; // a read fails or the input ends early: unset values show here
    bool departure = false;   // the expectation rests on a choice of this project
    std::string remark;       // for a departure: what a program that fails it does, and why not
    // The verdict its departure gives: other output (a number never read that is not 0, a sum
    // beyond int that is not exact), or, where the output is lost, exit status 0.
    CaseVerdict departure_gives = CaseVerdict::wrong_output;
};

// Every case of the program, in a fixed order. stdlib ("libstdc++", "libc++" or other) picks the
// <case>.<stdlib>.out files; a case with only other libraries' outputs is left out. Throws
// std::runtime_error when the data cannot be read.
std::vector<Case> load_cases(const std::filesystem::path& data, const Exercise& exercise,
                             const std::string& stdlib);

// The kind's name, as --list-cases shows it: plain, waiting, input-left-open, output-full,
// output-closed, stress.
std::string_view case_kind_name(CaseKind kind);

// The case's labels, as CTest gets them: failed-read, departure.
std::vector<std::string> case_labels(const Case& one);

// The folder of case data that travels with the tool: installed beside it, else the source tree.
// Either holds the catalogue of exercises at its root.
std::filesystem::path default_case_data();

} // namespace check
