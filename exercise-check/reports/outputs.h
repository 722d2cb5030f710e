// Every output the checker writes besides its terminal report, one entry each: the command line's
// options, the checks of where they go before anything is compiled, and the writing come from it.
#pragma once

#include "model.h"

#include <chrono>
#include <functional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace check {

struct Output;

// An output asked for on the command line.
struct OutputAsked {
    const Output* output = nullptr;
    std::string value; // the option's value: a file, VPL's MIN:MAX, Gradescope's ROOT
    std::string
        second; // the value of the option that goes with it: the worksheet's --worksheet-out
    std::string third{}; // the value of an option it may take besides: --worksheet-columns
};

// Where an output goes, and when it is written.
enum class OutputPlace {
    file,            // a file of its own, written after the report on standard output
    standard_output, // standard output, instead of the terminal's report
    filled_in,       // another's file filled in, before every other output: it says who is missing
};

// How --help groups the outputs.
enum class OutputGroup {
    results,  // the results as files, for a teacher's own tools
    platforms // what a course platform reads
};

struct Output {
    std::string_view name;       // the option: --name
    std::string_view value_name; // the value, as --help shows it
    std::string_view help;
    std::string_view
        merge_help; // its help in exercise-check merge; empty where merge has no use for it
    OutputGroup group = OutputGroup::results;
    OutputPlace place = OutputPlace::file;
    // The value when the option is given without one; empty: the option takes one, and an empty
    // value asks for nothing.
    std::string_view implicit_value;
    // A second option it cannot go without, and that cannot go without it.
    std::string_view second_name;
    std::string_view second_help;
    std::string_view second_merge_help;
    // An option it may take besides, never without it; empty where it has none.
    std::string_view third_name;
    std::string_view third_value_name;
    std::string_view third_help;
    // Where the output takes the one hand-in it grades from, in place of folders named on the
    // command line; empty where it grades what is named. Shown as hand_in_shown.
    std::function<std::string(const OutputAsked&)> hand_in;
    std::string_view hand_in_shown;
    // The exit status says whether grading worked, not what the programs earned.
    bool status_is_grading = false;
    // The file it writes; for place file only.
    std::function<std::string(const OutputAsked&)> file;
    // Refuses what cannot be written, before anything is compiled: throws std::runtime_error
    // saying why. Where it is empty, the file must be one that can be written.
    std::function<void(const OutputAsked&)> check;
    // Writes the report (place file and standard_output); started is when the check began.
    std::function<void(std::ostream&, const Report&, const OutputAsked&,
                       std::chrono::steady_clock::time_point started)>
        write;
    // Fills its file in (place filled_in), noting in the report what it must; returns the lines
    // for standard error.
    std::function<std::vector<std::string>(Report&, const OutputAsked&)> fill;
};

// The table, in the order of --help, of the checks and of the writing.
const std::vector<Output>& outputs();

// The file must be one that can be written: its folder is there and takes files. Found out
// before anything is checked, so that a long check does not end in a report lost. Throws
// std::runtime_error saying why.
void check_writable(const std::string& file);

// Writes through a file beside it renamed into place: a reader never sees half a report, and one
// that cannot be written (or whose writer throws) leaves what was there. False, with a line on
// errors, when it cannot be written; the writer's exception passes on.
bool write_file(const std::string& file, const std::function<void(std::ostream&)>& writer,
                std::ostream& errors);

// Checks every output asked for, in the table's order; throws std::runtime_error for the first
// that cannot be written.
void check_outputs(const std::vector<OutputAsked>& asked);

// Writes every output asked for: first those that fill a file in, then standard output (the one
// that takes the terminal report's place, else terminal), then the files. False when a file
// could not be written.
bool write_outputs(const std::vector<OutputAsked>& asked, Report& report,
                   std::chrono::steady_clock::time_point started,
                   const std::function<void(std::ostream&, const Report&)>& terminal,
                   std::ostream& out, std::ostream& errors);

} // namespace check
