#include "options.h"

#include <CLI/CLI.hpp>

#include <cmath>
#include <iostream>
#include <sstream>

namespace check {

namespace {

constexpr int usage_error = 2;

// A number option that must be finite and within [low, high]: CLI11's own range lets NaN through.
CLI::Validator finite_range(double low, double high)
{
    return CLI::Validator(
        [low, high](std::string& text) -> std::string {
            try {
                std::size_t used = 0;
                const double value = std::stod(text, &used);
                if (used == text.size() && std::isfinite(value) && value >= low && value <= high) {
                    return {};
                }
            } catch (const std::exception&) {
            }
            std::ostringstream range;
            range << "Value " << text << " not a number in [" << low << " - " << high << "]";
            return range.str();
        },
        "");
}

} // namespace

ParsedOptions parse_options(int argc, char** argv)
{
    CLI::App app{"Checks anyone's versions of the exercises' programs against the golden cases, "
                 "and answers with a verdict per program.",
                 "exercise-check"};
    ParsedOptions parsed;
    Options& options = parsed.options;

    app.add_option("FOLDER", options.folders,
                   "a person's folder of <program>.cpp files, side by side or "
                   "in digit-exercises/, calculators/ and greeting-programs/");
    auto* class_option =
        app.add_option("--class", options.class_folder,
                       "a class: a folder of one folder or .zip archive per person");
    app.add_option("--map", options.map,
                   "a file of `source path = program` lines: which source is which program");
    app.add_option("--jobs,-j", options.jobs, "builds and runs at a time (default: the cores)")
        ->check(CLI::Range(1U, 256U));
    app.add_option("--cxx", options.cxx,
                   "the C++ compiler (default: the one the tool was built with)");
    app.add_flag("--strict", options.strict, "count remarks as wrong");
    app.add_flag("--verbose,-v", options.verbose, "show every failing case, not only the first");
    app.add_option("--json", options.json, "also write the results as JSON to this file");
    app.add_option("--junit", options.junit, "also write the results as JUnit XML to this file");
    app.add_option("--csv", options.csv, "also write the gradebook as CSV to this file");
    app.add_option("--html", options.html, "also write the results as a web page to this file");
    app.add_option("--sandbox", options.sandbox,
                   "what keeps the programs away from the machine: auto (the default: bubblewrap "
                   "where it can start, else landlock), bubblewrap, landlock, or none (your own "
                   "rights)")
        ->check(CLI::IsMember({"auto", "bubblewrap", "landlock", "none"}));
    app.add_flag("--no-sandbox", options.no_sandbox, "the same as --sandbox none");
    app.add_option("--timeout", options.timeout_seconds,
                   "seconds a program may run in one case (default 5)")
        ->check(finite_range(0.1, 3600.0));
    app.add_option("--memory", options.memory_mib,
                   "MiB of memory a program may take (default 512; 0 for no limit)")
        ->check(finite_range(0.0, 65536.0));
    app.add_option("--output-limit", options.output_mib, "MiB a program may write (default 1)")
        ->check(finite_range(0.01, 1024.0));
    app.add_option("--processes", options.processes,
                   "processes a program may have at once (default 64)")
        ->check(CLI::Range(1, 4096));
    app.add_option("--stress-runs", options.stress_runs,
                   "random inputs per calculator (default 200)")
        ->check(CLI::Range(0, 1000000));
    app.add_option("--seed", options.seed, "seed of the random inputs (default 20261208)");
    app.add_option("--cases", options.cases,
                   "the folder of case data, with exercises.json at its root (default: the one "
                   "installed)");
    app.add_option("--programs", options.programs,
                   "check only these programs, as an assignment lists them: twodigits,circle,...");
    app.add_option("--gradescope", options.gradescope_root,
                   "grade ROOT/submission as Gradescope's autograder, writing "
                   "ROOT/results/results.json (ROOT: /autograder)")
        ->expected(0, 1)
        ->default_str("/autograder");
    app.add_option("--classroom", options.classroom,
                   "also write GitHub Classroom's autograding result to this file");
    app.add_option("--vpl", options.vpl,
                   "write Moodle VPL's comments and the grade from MIN to MAX (MIN:MAX) instead "
                   "of the report");
    auto* worksheet = app.add_option("--worksheet", options.worksheet,
                                     "Moodle's grading worksheet (CSV) to fill in with the grades");
    auto* worksheet_out = app.add_option("--worksheet-out", options.worksheet_out,
                                         "where the filled-in worksheet goes (never the one read)");
    worksheet->needs(worksheet_out);
    worksheet_out->needs(worksheet);
    app.add_option("--shard", options.shard,
                   "check only the people of shard K of N (K/N), for a class split across "
                   "machines; exercise-check merge joins the shards' JSON reports");
    app.add_flag("--no-diagnosis", options.no_diagnosis,
                 "do not name the typical faults that explain a wrong program");
    app.add_option("--fault-cache", options.fault_cache,
                   "where the builds of the typical faults are kept from one check to the next "
                   "(default: $XDG_CACHE_HOME/exercise-check/faults)");
    app.add_flag("--list-cases", options.list_cases,
                 "list every case, one a line: its name, kind and labels");
    auto* built_option = app.add_option(
        "--built", options.built, "check the programs already built in this folder, not sources");
    class_option->excludes(built_option);
    app.add_option("--case", options.only_case,
                   "run only this case, such as calculators.circle.plain");
    app.add_option("--emulator", options.emulator, "run the built programs through this command")
        ->needs(built_option);
    app.add_flag("--crlf", options.crlf, "the built programs write CRLF line ends")
        ->needs(built_option);
    app.add_option("--stdlib", options.stdlib,
                   "the built programs' C++ library: libstdc++ or libc++");
    app.add_flag("--memcheck", options.memcheck, "run the built programs under valgrind memcheck")
        ->needs(built_option);

    // exercise-check merge A.json B.json ...: the shards' reports as one.
    auto* merge = app.add_subcommand("merge", "join the JSON reports of a class checked in shards "
                                              "into the reports one check would have given");
    merge->add_option("REPORT", options.merge_files, "a shard's JSON report")->required();
    merge->add_option("--json", options.json, "write the joined results as JSON to this file");
    merge->add_option("--junit", options.junit, "write them as JUnit XML to this file");
    merge->add_option("--csv", options.csv, "write the gradebook as CSV to this file");
    merge->add_option("--html", options.html, "write them as a web page to this file");
    merge->add_option("--cases", options.cases, "the folder of case data");
    auto* merge_worksheet = merge->add_option("--worksheet", options.worksheet,
                                              "Moodle's grading worksheet to fill in");
    merge_worksheet->needs(merge->add_option("--worksheet-out", options.worksheet_out,
                                             "where the filled-in worksheet goes"));
    merge->add_flag("--verbose,-v", options.verbose, "show every failing case");

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        parsed.exit_now = app.exit(help);
        return parsed;
    } catch (const CLI::ParseError& error) {
        std::cerr << "exercise-check: " << error.what() << " (see exercise-check --help)\n";
        parsed.exit_now = usage_error;
        return parsed;
    }
    const auto refuse = [&parsed](const std::string& why) {
        std::cerr << "exercise-check: " << why << '\n';
        parsed.exit_now = usage_error;
        return parsed;
    };
    options.merge = merge->parsed();
    options.gradescope = app.count("--gradescope") > 0;
    if (options.gradescope && options.gradescope_root.empty()) {
        options.gradescope_root = "/autograder";
    }
    if (options.list_cases || options.merge) {
        return parsed;
    }
    if (options.gradescope) {
        if (!options.folders.empty() || !options.class_folder.empty() || !options.built.empty()) {
            return refuse("--gradescope checks ROOT/submission: give no folder beside it");
        }
        return parsed;
    }
    if (options.folders.empty() && options.built.empty() && options.class_folder.empty()) {
        return refuse("name a folder to check, such as: exercise-check path/to/folder");
    }
    if (!options.class_folder.empty() && !options.folders.empty()) {
        return refuse("give either --class or folders of people, not both");
    }
    return parsed;
}

} // namespace check
