#include "command.h"

#include "cases.h"
#include "check_people.h"
#include "hand_in_folder.h"
#include "handins.h"
#include "help.h"
#include "interrupt.h"
#include "kept.h"
#include "made_headers.h"
#include "merge.h"
#include "outputs.h"
#include "process.h"
#include "progress.h"
#include "report.h"
#include "report_colour.h"
#include "sandbox_landlock.h"
#include "settings_from_options.h"
#include "shard.h"
#include "source_map.h"
#include "sources.h"
#include "text.h"
#include "watch.h"
#include "work_folder.h"

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <functional>
#include <iostream>
#include <memory>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace check {

namespace fs = std::filesystem;

namespace {

// A command line or a file that cannot be used: its one line goes to standard error, exit 2.
struct Refusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// No sandbox of either kind can start here.
struct NoSandbox : std::runtime_error {
    using std::runtime_error::runtime_error;
};

void list_cases(const Settings& settings)
{
    for (const Exercise& exercise : settings.exercises) {
        for (const Case& one : load_cases(settings.case_data, exercise, settings.stdlib)) {
            std::string labels;
            for (const std::string& label : case_labels(one)) {
                labels += (labels.empty() ? "" : ",") + label;
            }
            std::cout << one.name << '\t' << case_kind_name(one.kind) << '\t' << labels << '\n';
        }
    }
}

// The first few names, and how many more: "ana, bob, cid and 4 more".
std::string shown_names(const std::vector<std::string>& names)
{
    constexpr std::size_t shown_at_most = 3;
    std::string text;
    for (std::size_t at = 0; at < names.size() && at < shown_at_most; ++at) {
        text += (text.empty() ? "" : ", ") + plain_text(names[at], 200, true);
    }
    return names.size() > shown_at_most
               ? text + " and " + std::to_string(names.size() - shown_at_most) + " more"
               : text;
}

std::vector<Person> people_of(const std::vector<std::string>& folders,
                              const std::vector<Exercise>& exercises)
{
    std::vector<Person> people;
    for (const std::string& folder : folders) {
        std::error_code error;
        if (!fs::is_directory(folder, error)) {
            throw Refusal("no such folder: " + folder);
        }
        const FolderSources found = sources_in(folder, exercises);
        const std::vector<std::string>& left_out = found.notes;
        if (found.sources.empty() && found.unnamed.empty() && left_out.empty()) {
            std::string names;
            for (std::size_t index = 0; index < exercises.size() && index < 3; ++index) {
                names += exercises[index].name + ".cpp, ";
            }
            throw Refusal(folder + " holds none of the exercises' programs (" + names +
                          "...): name the folder that holds them");
        }
        if (const std::vector<std::string> several = several_hand_ins(folder, exercises);
            !several.empty()) {
            throw Refusal(folder + " holds the hand-ins of " + std::to_string(several.size()) +
                          " people (" + shown_names(several) + "): give --class " + folder +
                          " to check each as a person, or name one person's folder");
        }
        const fs::path absolute = fs::absolute(folder).lexically_normal();
        std::string name = absolute.filename().string();
        if (name.empty()) {
            name = absolute.parent_path().filename().string();
        }
        std::string note;
        for (const std::string& line : left_out) {
            note += (note.empty() ? "" : "; ") + line;
        }
        people.push_back({name, folder, note});
    }
    return people;
}

// The output asked for that grades a hand-in of its own, or nullptr.
const OutputAsked* grading_own_hand_in(const Options& options)
{
    for (const OutputAsked& asked : options.outputs) {
        if (asked.output->hand_in) {
            return &asked;
        }
    }
    return nullptr;
}

// The people of the folders named, or of the one hand-in an output grades; a class's are found
// later, once there is a work folder to unpack them in.
std::vector<Person> people_named(const Options& options, const Settings& settings)
{
    std::error_code error;
    if (!options.class_folder.empty() && !fs::exists(options.class_folder, error)) {
        throw Refusal("no such folder or archive: " + options.class_folder +
                      ": give --class a folder of one folder or archive per person, or a "
                      "course platform's download (.zip)");
    }
    if (const OutputAsked* grading = grading_own_hand_in(options)) {
        // A submission with none of the programs is not graded, rather than given 0: the
        // platform's run then fails where the teacher sees it.
        const std::string submission = grading->output->hand_in(*grading);
        if (!fs::is_directory(submission, error)) {
            throw Refusal("no submission to grade: " + submission + " is not a folder");
        }
        return people_of({submission}, settings.exercises);
    }
    return people_of(options.folders, settings.exercises);
}

// The class's people, unpacked into hand_ins; those of the shard asked for. What of the class is
// no one's goes to not_read, the whole class's in every shard.
std::vector<Person> class_people(const Options& options, const Settings& settings,
                                 const fs::path& hand_ins, std::vector<Person> people,
                                 std::vector<LeftUnread>& not_read)
{
    if (!options.class_folder.empty()) {
        ClassFound found = read_class(options.class_folder, hand_ins, settings.exercises);
        people = std::move(found.people);
        not_read = std::move(found.not_read);
        if (people.empty()) {
            throw Refusal(options.class_folder +
                          " holds no folder or archive: --class needs one for each person");
        }
    }
    if (const auto shard = parse_shard(options.shard); shard && !options.shard.empty()) {
        people.erase(
            std::remove_if(people.begin(), people.end(),
                           [&](const Person& person) { return !in_shard(person.name, *shard); }),
            people.end());
    }
    return people;
}

// Checks the people, with a meter on standard error where it is a terminal (never in a pipe or
// a file): for a class, how many are done; for one person, their builds and cases.
Report check_with_meter(const std::vector<Person>& people, const Settings& settings, Runner& runner)
{
    std::optional<ProgressMeter> meter;
    if (!people.empty() && isatty(STDERR_FILENO) != 0) {
        const auto empty = static_cast<std::size_t>(
            std::count_if(people.begin(), people.end(), [&](const Person& person) {
                const FolderSources found = sources_in(person.folder, settings.exercises);
                return found.sources.empty() && found.unnamed.empty();
            }));
        meter.emplace(std::cerr, people.size(), empty);
    }
    Report report = check_people(people, settings, runner, meter ? meter->callback() : Progress{},
                                 meter ? meter->steps() : Steps{});
    if (meter) {
        meter->finish();
    }
    return report;
}

// What the store had to say, on standard error; and, once, to a person at a terminal, where it
// is and how large.
void tell_store_notes(const Report& report, const Settings& settings)
{
    for (const std::string& note : report.store_notes) {
        std::cerr << "exercise-check: " << note << '\n';
    }
    if (isatty(STDERR_FILENO) == 1) {
        if (const auto note = first_use_note(settings.store)) {
            std::cerr << "exercise-check: " << *note << '\n';
        }
    }
}

// Makes the work folder of a check of sources, and the runner of its compiler, for checking.
void with_runner(const Options& options, Settings& settings,
                 const std::function<void(const fs::path& work, Runner& runner)>& checking)
{
    const std::unique_ptr<WorkFolder> work = [&settings] {
        try {
            return std::make_unique<WorkFolder>(settings.sandbox);
        } catch (const WorkFolderRefused& refused) {
            throw Refusal(refused.what());
        }
    }();
    settings.work = work->path();
    make_run_folders_in(work->path());
    if (!settings.sandbox) {
        // The compilers' own temporary files then go with the work folder, even when they are
        // stopped halfway. No other thread reads the environment yet.
        const fs::path temporary = work->path() / "tmp";
        fs::create_directories(temporary);
        setenv("TMPDIR", temporary.c_str(), 1); // NOLINT(concurrency-mt-unsafe)
    }
    const Sandbox sandbox = base_sandbox(settings);
    const Compiler compiler = probe_compiler(options.cxx, work->path(), sandbox);
    settings.stdlib = compiler.stdlib;
    SystemRunner runner(compiler, sandbox, compile_limits(settings.build_limits));
    checking(work->path(), runner);
}

Report check_sources(const Options& options, Settings& settings)
{
    std::vector<Person> people = people_named(options, settings);
    Report report;
    with_runner(options, settings, [&](const fs::path& work, Runner& runner) {
        const fs::path hand_ins = work / "hand-ins";
        std::vector<LeftUnread> not_read;
        people = class_people(options, settings, hand_ins, std::move(people), not_read);
        report = check_with_meter(people, settings, runner);
        report.not_read = std::move(not_read);
        if (!options.class_folder.empty()) {
            show_as_handed_in(report, options.class_folder, hand_ins);
        }
    });
    return report;
}

// A learner's watch of one folder: the compiler is found once, and each check after the first
// takes from the store every program whose source was not saved, and compiles a saved one with
// the standard headers it starts with precompiled once, after the first check.
void watch_sources(const Options& options, Settings& settings, const TerminalStyle& style)
{
    people_named(options, settings); // a folder that holds no program is refused at once
    settings.made_headers = std::make_shared<MadeHeaders>();
    with_runner(options, settings, [&](const fs::path& work, Runner& runner) {
        watch(
            options.folders.front(),
            [&] {
                Report report = check_people(people_named(options, settings), settings, runner);
                tell_store_notes(report, settings);
                return report;
            },
            style, std::cout, -1,
            [&](const Report& first) {
                std::vector<fs::path> sources;
                for (const PersonResult& person : first.people) {
                    for (const ProgramResult& program : person.programs) {
                        if (!program.source.empty()) {
                            sources.emplace_back(program.source);
                        }
                    }
                }
                prepare_headers(sources, work, settings.jobs, runner, *settings.made_headers);
            });
    });
}

// The sandbox the options ask for, where it can start: with auto, bubblewrap where it can and
// Landlock where it cannot (in containers and jails that refuse user namespaces).
void choose_sandbox(const Options& options, Settings& settings)
{
    if (!settings.sandbox) {
        return;
    }
    if (options.sandbox == "auto") {
        const auto bubblewrap = sandbox_problem(SandboxKind::bubblewrap);
        if (!bubblewrap) {
            settings.sandbox_kind = SandboxKind::bubblewrap;
        } else if (const auto landlock = sandbox_problem(SandboxKind::landlock)) {
            throw NoSandbox("neither sandbox can start here: " + *bubblewrap + "; and " +
                            *landlock);
        } else {
            settings.sandbox_kind = SandboxKind::landlock;
        }
    } else if (const auto problem = sandbox_problem(settings.sandbox_kind)) {
        throw NoSandbox(*problem + " (--sandbox auto takes the other where it can)");
    }
    settings.memory_limit = memory_limit_held_by();
}

// Everything that can be known wrong before the check starts, refused before it does.
void check_before(const Options& options)
{
    check_outputs(options.outputs);
    if (!options.shard.empty() && !parse_shard(options.shard)) {
        throw Refusal("--shard " + options.shard + ": give it as K/N, K from 1 to N, such as 2/3");
    }
}

// The outputs written; the exit status.
int finish(const Options& options, Report& report, std::chrono::steady_clock::time_point started,
           const std::function<void(std::ostream&, const Report&)>& terminal)
{
    const bool written =
        write_outputs(options.outputs, report, started, terminal, std::cout, std::cerr);
    std::cout.flush();
    if (!written) {
        return exit_usage;
    }
    const bool grading =
        std::any_of(options.outputs.begin(), options.outputs.end(),
                    [](const OutputAsked& asked) { return asked.output->status_is_grading; });
    return grading && !options.merge ? exit_right : exit_status(report);
}

int carry_out(const Options& named)
{
    const auto started = std::chrono::steady_clock::now();
    Settings settings = make_settings(named);
    const Options options = files_as_folder(named, settings);
    if (!options.map.empty()) {
        settings.map = read_map(options.map, settings.exercises);
    }
    if (options.list_cases) {
        list_cases(settings);
        std::cout.flush();
        return std::cout ? exit_right : exit_usage;
    }
    check_before(options);
    TerminalStyle style;
    style.colour =
        colour::wanted(options.colour, isatty(STDOUT_FILENO) != 0, std::getenv("NO_COLOR"));
    style.verbose = options.verbose;
    const std::string language = learner_language(options.language, std::getenv("LC_ALL"),
                                                  std::getenv("LC_MESSAGES"), std::getenv("LANG"));
    const Translation words = load_translation(language);
    style.words = &words;
    if (isatty(STDOUT_FILENO) != 0) { // a file or a pipe gets each note on one line, as ever
        style.width = terminal_width(std::getenv("COLUMNS"), STDOUT_FILENO);
    }
    const auto gradebook = [&style](std::ostream& out, const Report& report) {
        write_gradebook(out, report, style);
    };
    if (options.merge) {
        Report report = merge_report_files(options.merge_files, settings.exercises);
        report.language = language;
        return finish(options, report, started, gradebook);
    }
    if (!options.built.empty() && !fs::is_directory(options.built)) {
        throw Refusal("no such folder: " + options.built);
    }
    choose_sandbox(options, settings);
    if (options.watch) {
        watch_sources(options, settings, style);
        return exit_right;
    }
    Report report;
    if (!options.built.empty()) {
        SystemRunner runner(Compiler{}, base_sandbox(settings),
                            compile_limits(settings.build_limits));
        report = check_built(options.built, settings, runner);
    } else {
        report = check_sources(options, settings);
    }
    tell_store_notes(report, settings);
    report.language = language;
    if (!options.class_folder.empty()) {
        return finish(options, report, started, gradebook);
    }
    return finish(options, report, started, [&style](std::ostream& out, const Report& checked) {
        write_terminal(out, checked, style);
    });
}

} // namespace

int exit_status(const Report& report)
{
    for (const PersonResult& person : report.people) {
        for (const ProgramResult& program : person.programs) {
            if (program.verdict == ProgramVerdict::wrong ||
                program.verdict == ProgramVerdict::does_not_compile) {
                return exit_wrong;
            }
        }
    }
    return exit_right;
}

int run_command(const Options& options)
{
    handle_interruptions(); // before any thread starts
    try {
        return carry_out(options);
    } catch (const NoSandbox& error) {
        std::cerr << "exercise-check: " << error.what() << '\n';
        return exit_no_sandbox;
    } catch (const std::exception& error) {
        std::cerr << "exercise-check: " << error.what() << '\n';
        return exit_usage;
    }
}

} // namespace check
