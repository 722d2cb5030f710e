#include "options.h"

#include "help.h"

#include <CLI/CLI.hpp>
#include <unistd.h>

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

constexpr std::string_view summary = "checks anyone's versions of the exercises' programs "
                                     "against the golden cases, and answers with a verdict per "
                                     "program";

// A command's options as they are added: each bound to its field and described once, for
// --help, the man page and the completions.
class Builder {
  public:
    Builder(CLI::App& app, CommandDoc& doc) : app_(app), doc_(doc) {}

    void group(std::string name) { group_ = std::move(name); }

    template <typename Field>
    CLI::Option* option(const std::string& names, std::string value, const std::string& help,
                        Field& field)
    {
        doc_.options.push_back({names, std::move(value), help, group_, {}, false});
        return app_.add_option(names, field, help);
    }

    CLI::Option* flag(const std::string& names, const std::string& help, bool& field)
    {
        doc_.options.push_back({names, "", help, group_, {}, false});
        return app_.add_flag(names, field, help);
    }

    // An option that takes one of a few values.
    CLI::Option* choice(const std::string& names, std::string value, const std::string& help,
                        std::string& field, const std::vector<std::string>& choices)
    {
        doc_.options.push_back({names, std::move(value), help, group_, choices, false});
        return app_.add_option(names, field, help)->check(CLI::IsMember(choices));
    }

    void help_flag()
    {
        doc_.options.push_back({"--help,-h", "", "show this help and exit", group_, {}, false});
        app_.set_help_flag("--help,-h", "show this help and exit");
    }

    // The outputs of the group, from the table: each its option, and the second option it needs
    // where it has one. In merge, those that merge has a use for.
    void outputs_of(OutputGroup group, bool merge, std::vector<OutputAsked>& given)
    {
        for (std::size_t index = 0; index < outputs().size(); ++index) {
            const Output& output = outputs()[index];
            const std::string_view help = merge ? output.merge_help : output.help;
            if (output.group != group || help.empty()) {
                continue;
            }
            auto* option =
                this->option("--" + std::string(output.name), std::string(output.value_name),
                             std::string(help), given[index].value);
            if (!output.implicit_value.empty()) {
                option->expected(0, 1)->default_str(std::string(output.implicit_value));
                doc_.options.back().optional_value = true;
            }
            if (!output.second_name.empty()) {
                auto* second = this->option(
                    "--" + std::string(output.second_name), std::string(output.value_name),
                    std::string(merge ? output.second_merge_help : output.second_help),
                    given[index].second);
                option->needs(second);
                second->needs(option);
            }
            if (!output.third_name.empty()) {
                this->option("--" + std::string(output.third_name),
                             std::string(output.third_value_name), std::string(output.third_help),
                             given[index].third)
                    ->needs(option);
            }
        }
    }

  private:
    CLI::App& app_;
    CommandDoc& doc_;
    std::string group_;
};

// What a learner checking their own programs needs.
void add_learner_options(Builder& add, Options& options, bool& version)
{
    add.group(option_groups()[0]);
    add.option("FOLDER", "FOLDER",
               "a person's folder of <program>.cpp files, side by side or in digit-exercises/, "
               "calculators/ and greeting-programs/",
               options.folders);
    add.option("--programs", "NAMES",
               "check only these programs, as an assignment lists them: twodigits,circle,...",
               options.programs);
    add.option("--map", "FILE",
               "a file of `source path = program` lines: which source is which program",
               options.map);
    add.flag("--verbose,-v", "show every failing case, not only the first", options.verbose);
    add.flag("--strict", "count a departure from this project's stricter choices as wrong",
             options.strict);
    add.flag("--watch",
             "check FOLDER, then each program again as its source is saved, until Ctrl-C",
             options.watch);
    add.flag("--no-cache",
             "take no build or result kept by an earlier check, and keep none (the store: "
             "$XDG_CACHE_HOME/exercise-check)",
             options.no_cache);
    add.choice("--color", "WHEN",
               "colour the report: auto (the default: on a terminal, unless NO_COLOR is set and "
               "not empty), always or never",
               options.colour, {"auto", "always", "never"});
    add.choice("--language", "LANGUAGE",
               "the language of what the learner reads: hr or en (the default: as LC_ALL, "
               "LC_MESSAGES or LANG say, hr for hr_HR.UTF-8)",
               options.language, {"hr", "en"});
    add.help_flag();
    add.flag("--version", "say which version this is and exit", version);
}

// A class, its reports, and what the programs may do.
void add_teacher_options(Builder& add, Options& options, std::vector<OutputAsked>& given)
{
    add.group(option_groups()[1]);
    add.option("--class", "FOLDER", "a class: a folder of one folder or .zip archive per person",
               options.class_folder);
    add.outputs_of(OutputGroup::results, false, given);
    add.option("--shard", "K/N",
               "check only the people of shard K of N (K/N), for a class split across machines; "
               "exercise-check merge joins the shards' JSON reports",
               options.shard);
    add.option("--jobs,-j", "N", "builds and runs at a time (default: the cores)", options.jobs)
        ->check(CLI::Range(1U, 256U));
    add.option("--cxx", "COMPILER", "the C++ compiler (default: the one the tool was built with)",
               options.cxx);
    add.choice("--sandbox", "KIND",
               "what keeps the programs away from the machine: auto (the default: bubblewrap "
               "where it can start, else landlock), bubblewrap, landlock, or none (your own "
               "rights)",
               options.sandbox, {"auto", "bubblewrap", "landlock", "none"});
    add.flag("--no-sandbox", "the same as --sandbox none", options.no_sandbox);
    add.option("--timeout", "SECONDS", "seconds a program may run in one case (default 5)",
               options.timeout_seconds)
        ->check(finite_range(0.1, 3600.0));
    add.option("--program-seconds", "SECONDS",
               "seconds all of a program's runs may take before its remaining cases are cut short "
               "(default 60)",
               options.program_seconds)
        ->check(finite_range(1.0, 86400.0));
    add.option("--person-seconds", "SECONDS",
               "seconds the runs of all of a person's programs may take before the rest are cut "
               "short (default 300)",
               options.person_seconds)
        ->check(finite_range(1.0, 86400.0));
    add.option("--memory", "MIB", "MiB of memory a program may take (default 512; 0 for no limit)",
               options.memory_mib)
        ->check(finite_range(0.0, 65536.0));
    add.option("--output-limit", "MIB", "MiB a program may write (default 1)", options.output_mib)
        ->check(finite_range(0.01, 1024.0));
    add.option("--processes", "N", "processes a program may have at once (default 64)",
               options.processes)
        ->check(CLI::Range(1, 4096));
    add.flag("--no-diagnosis", "do not name the typical faults that explain a wrong program",
             options.no_diagnosis);
    add.option("--fault-cache", "FOLDER",
               "where the builds of the typical faults are kept from one check to the next "
               "(default: $XDG_CACHE_HOME/exercise-check/faults)",
               options.fault_cache);
}

// Programs built elsewhere, as a cross build or another library gives them, and the cases.
void add_test_options(Builder& add, CLI::App& app, Options& options)
{
    add.group(option_groups()[3]);
    auto* built =
        add.option("--built", "FOLDER",
                   "check the programs already built in this folder, not sources", options.built);
    app.get_option("--class")->excludes(built);
    add.option("--case", "NAME", "run only this case, such as calculators.circle.plain",
               options.only_case);
    add.option("--emulator", "COMMAND", "run the built programs through this command",
               options.emulator)
        ->needs(built);
    add.flag("--crlf", "the built programs write CRLF line ends", options.crlf)->needs(built);
    add.option("--stdlib", "LIBRARY", "the built programs' C++ library: libstdc++ or libc++",
               options.stdlib);
    add.flag("--memcheck", "run the built programs under valgrind memcheck", options.memcheck)
        ->needs(built);
    add.option("--cases", "FOLDER",
               "the folder of case data, with exercises.json at its root (default: the one "
               "installed)",
               options.cases);
    add.flag("--list-cases", "list every case, one a line: its name, kind and labels",
             options.list_cases);
    add.option("--stress-runs", "N", "random inputs per calculator (default 200)",
               options.stress_runs)
        ->check(CLI::Range(0, 1000000));
    add.option("--seed", "N", "seed of the random inputs (default 20261208)", options.seed);
}

// The whole command line: the options bound to their fields, and their descriptions.
struct CommandLine {
    CLI::App app{std::string(summary), "exercise-check"};
    std::vector<CommandDoc> docs{CommandDoc{"", std::string(summary), {}},
                                 CommandDoc{"merge",
                                            "join the JSON reports of a class checked in shards "
                                            "into the reports one check would have given",
                                            {}}};
    std::vector<OutputAsked> given = std::vector<OutputAsked>(outputs().size());
    CLI::App* merge = nullptr;
    bool version = false;
    bool man_page = false;
    std::string completion;

    explicit CommandLine(Options& options)
    {
        Builder add(app, docs[0]);
        add_learner_options(add, options, version);
        add_teacher_options(add, options, given);
        add.group(option_groups()[2]);
        add.outputs_of(OutputGroup::platforms, false, given);
        add_test_options(add, app, options);
        add.group("");
        add.flag("--print-man-page", "print the manual page (troff) and exit", man_page);
        add.choice("--print-completion", "SHELL", "print the completion of this shell and exit",
                   completion, {"bash", "zsh"});
        add_merge(options);
    }

    // exercise-check merge A.json B.json ...: the shards' reports as one.
    void add_merge(Options& options)
    {
        merge = app.add_subcommand("merge", docs[1].summary);
        Builder add(*merge, docs[1]);
        add.group("Options");
        add.option("REPORT", "REPORT", "a shard's JSON report", options.merge_files)->required();
        add.outputs_of(OutputGroup::results, true, given);
        add.outputs_of(OutputGroup::platforms, true, given);
        add.option("--cases", "FOLDER", "the folder of case data", options.cases);
        add.flag("--verbose,-v", "show every failing case", options.verbose);
        add.help_flag();
    }
};

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
    if (options.watch && (options.folders.size() != 1 || !options.class_folder.empty() ||
                          !options.built.empty() || !options.shard.empty())) {
        return "--watch watches one person's folder: give it one FOLDER, such as: "
               "exercise-check --watch path/to/folder";
    }
    return std::nullopt;
}

// The first word of the command line that is no option of its command, as it was typed.
std::optional<std::string> unknown_option(int argc, char** argv,
                                          const std::vector<CommandDoc>& docs)
{
    std::vector<std::string> known = option_names(docs);
    for (int index = 1; index < argc; ++index) {
        const std::string word = argv[index];
        if (word == "--") {
            break;
        }
        const std::string name = word.substr(0, word.find('='));
        if (name.size() > 1 && name[0] == '-' &&
            std::find(known.begin(), known.end(), name) == known.end()) {
            return name;
        }
    }
    return std::nullopt;
}

int usage(const std::string& why)
{
    std::cerr << "exercise-check: " << why << '\n';
    return usage_error;
}

// Ends at once with what the command line asked to be shown, if it asked for something.
std::optional<int> shown(const CommandLine& line)
{
    if (line.version) {
        std::cout << "exercise-check " << EXERCISE_CHECK_VERSION << '\n';
    } else if (line.man_page) {
        std::cout << man_page(line.docs, EXERCISE_CHECK_VERSION);
    } else if (!line.completion.empty()) {
        std::cout << completion(line.docs, line.completion);
    } else {
        return std::nullopt;
    }
    std::cout.flush();
    return std::cout ? 0 : usage_error;
}

} // namespace

std::vector<CommandDoc> command_line_docs()
{
    Options options;
    return CommandLine(options).docs;
}

ParsedOptions parse_options(int argc, char** argv)
{
    ParsedOptions parsed;
    Options& options = parsed.options;
    CommandLine line(options);
    try {
        line.app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        const CommandDoc& doc = line.merge->parsed() ? line.docs[1] : line.docs[0];
        std::cout << help_text(doc, terminal_width(std::getenv("COLUMNS"), STDOUT_FILENO));
        parsed.exit_now = 0;
        return parsed;
    } catch (const CLI::ParseError& error) {
        std::string why = error.what();
        if (const auto typed = unknown_option(argc, argv, line.docs)) {
            if (const auto meant = closest_option(option_names(line.docs), *typed)) {
                why += "; did you mean " + *meant + "?";
            }
        }
        parsed.exit_now = usage(why + " (see exercise-check --help)");
        return parsed;
    }
    if (const auto status = shown(line)) {
        parsed.exit_now = status;
        return parsed;
    }
    options.merge = line.merge->parsed();
    options.outputs = outputs_asked(line.app, *line.merge, line.given);
    if (const auto why = refusal(options)) {
        parsed.exit_now = usage(*why);
    }
    return parsed;
}

} // namespace check
