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

// The outputs of the group, from the table: each its option, and the second option it needs
// where it has one. In merge, those that merge has a use for.
void add_outputs(CLI::App& app, OutputGroup group, bool merge, std::vector<OutputAsked>& given)
{
    for (std::size_t index = 0; index < outputs().size(); ++index) {
        const Output& output = outputs()[index];
        const std::string_view help = merge ? output.merge_help : output.help;
        if (output.group != group || help.empty()) {
            continue;
        }
        auto* option =
            app.add_option("--" + std::string(output.name), given[index].value, std::string(help));
        if (!output.implicit_value.empty()) {
            option->expected(0, 1)->default_str(std::string(output.implicit_value));
        }
        if (!output.second_name.empty()) {
            auto* second =
                app.add_option("--" + std::string(output.second_name), given[index].second,
                               std::string(merge ? output.second_merge_help : output.second_help));
            option->needs(second);
            second->needs(option);
        }
    }
}

// Whose programs are checked, and how they are judged.
void add_people_options(CLI::App& app, Options& options)
{
    app.add_option("FOLDER", options.folders,
                   "a person's folder of <program>.cpp files, side by side or "
                   "in digit-exercises/, calculators/ and greeting-programs/");
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
}

// What the programs may do, and the inputs they are given.
void add_limit_options(CLI::App& app, Options& options)
{
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
}

// A class split across machines, the typical faults, and the cases themselves.
void add_class_options(CLI::App& app, Options& options)
{
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
}

// Programs built elsewhere, as a cross build or another library gives them.
void add_built_options(CLI::App& app, Options& options)
{
    auto* built_option = app.add_option(
        "--built", options.built, "check the programs already built in this folder, not sources");
    app.get_option("--class")->excludes(built_option);
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
}

// exercise-check merge A.json B.json ...: the shards' reports as one.
CLI::App* add_merge(CLI::App& app, Options& options, std::vector<OutputAsked>& given)
{
    auto* merge = app.add_subcommand("merge", "join the JSON reports of a class checked in shards "
                                              "into the reports one check would have given");
    merge->add_option("REPORT", options.merge_files, "a shard's JSON report")->required();
    add_outputs(*merge, OutputGroup::results, true, given);
    merge->add_option("--cases", options.cases, "the folder of case data");
    add_outputs(*merge, OutputGroup::platforms, true, given);
    merge->add_flag("--verbose,-v", options.verbose, "show every failing case");
    return merge;
}

// The outputs given a value, or given at all where they need none.
std::vector<OutputAsked> outputs_asked(const CLI::App& app, const CLI::App& merge,
                                       std::vector<OutputAsked> given)
{
    std::vector<OutputAsked> asked;
    for (std::size_t index = 0; index < outputs().size(); ++index) {
        const Output& output = outputs()[index];
        OutputAsked& one = given[index];
        one.output = &output;
        if (output.implicit_value.empty()) {
            if (!one.value.empty()) {
                asked.push_back(one);
            }
            continue;
        }
        const std::string name = "--" + std::string(output.name);
        const auto given_in = [&name](const CLI::App& command) {
            const CLI::Option* option = command.get_option_no_throw(name);
            return option != nullptr && option->count() > 0;
        };
        if (given_in(app) || given_in(merge)) {
            if (one.value.empty()) {
                one.value = output.implicit_value;
            }
            asked.push_back(one);
        }
    }
    return asked;
}

// Why the command line cannot be right, or nothing.
std::optional<std::string> refusal(const Options& options)
{
    if (options.list_cases || options.merge) {
        return std::nullopt;
    }
    for (const OutputAsked& asked : options.outputs) {
        if (asked.output->hand_in) {
            if (!options.folders.empty() || !options.class_folder.empty() ||
                !options.built.empty()) {
                return "--" + std::string(asked.output->name) + " checks " +
                       std::string(asked.output->hand_in_shown) + ": give no folder beside it";
            }
            return std::nullopt;
        }
    }
    if (options.folders.empty() && options.built.empty() && options.class_folder.empty()) {
        return "name a folder to check, such as: exercise-check path/to/folder";
    }
    if (!options.class_folder.empty() && !options.folders.empty()) {
        return "give either --class or folders of people, not both";
    }
    return std::nullopt;
}

} // namespace

ParsedOptions parse_options(int argc, char** argv)
{
    CLI::App app{"Checks anyone's versions of the exercises' programs against the golden cases, "
                 "and answers with a verdict per program.",
                 "exercise-check"};
    ParsedOptions parsed;
    Options& options = parsed.options;
    std::vector<OutputAsked> given(outputs().size());
    add_people_options(app, options);
    add_outputs(app, OutputGroup::results, false, given);
    add_limit_options(app, options);
    add_outputs(app, OutputGroup::platforms, false, given);
    add_class_options(app, options);
    add_built_options(app, options);
    CLI::App* merge = add_merge(app, options, given);
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
    options.merge = merge->parsed();
    options.outputs = outputs_asked(app, *merge, given);
    if (const auto why = refusal(options)) {
        std::cerr << "exercise-check: " << *why << '\n';
        parsed.exit_now = usage_error;
    }
    return parsed;
}

} // namespace check
