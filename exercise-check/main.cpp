// exercise-check: checks anyone's versions of the nine programs and answers in verdicts.
#include "cases.h"
#include "check.h"
#include "class.h"
#include "report.h"
#include "run.h"
#include "sources.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <thread>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr int usage_error = 2;

int usage(const std::string& what)
{
    std::cerr << "exercise-check: " << what << '\n';
    return usage_error;
}

// A command given as one argument: its words split at semicolons (a CMake list) or blanks.
std::vector<std::string> words(const std::string& command)
{
    std::vector<std::string> found;
    const char separator = command.find(';') != std::string::npos ? ';' : ' ';
    std::string word;
    for (const char byte : command + separator) {
        if (byte == separator) {
            if (!word.empty()) {
                found.push_back(word);
            }
            word.clear();
        } else {
            word += byte;
        }
    }
    return found;
}

// A folder of the checker's own for the builds, removed at the end.
struct WorkFolder {
    fs::path path;
    WorkFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "exercise-check-XXXXXX").string();
        if (mkdtemp(pattern.data()) != nullptr) {
            path = pattern;
        }
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    WorkFolder(WorkFolder&&) = delete;
    WorkFolder& operator=(WorkFolder&&) = delete;
    ~WorkFolder()
    {
        std::error_code error;
        fs::remove_all(path, error);
    }
};

bool write_report(const std::string& file, void (*writer)(std::ostream&, const check::Report&),
                  const check::Report& report)
{
    if (file.empty()) {
        return true;
    }
    std::ofstream out(file, std::ios::binary);
    writer(out, report);
    out.close();
    if (!out) {
        std::cerr << "exercise-check: cannot write " << file << '\n';
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::string(argv[1]) == check::serve_runs_argument) {
        return check::serve_runs();
    }
    CLI::App app{"Checks anyone's versions of the nine console programs against the golden cases, "
                 "and answers with a verdict per program.",
                 "exercise-check"};
    std::vector<std::string> folders;
    std::string cxx;
    std::string json;
    std::string junit;
    std::string csv;
    std::string html;
    std::string class_folder;
    std::string built;
    std::string only_case;
    std::string emulator;
    std::string stdlib;
    std::string cases;
    bool strict = false;
    bool verbose = false;
    bool no_sandbox = false;
    bool crlf = false;
    bool memcheck = false;
    check::Settings settings;
    settings.jobs = std::max(1U, std::thread::hardware_concurrency());
    double memory_mib = 512;
    double output_mib = 1;

    app.add_option("FOLDER", folders,
                   "a person's folder of <program>.cpp files, side by side or "
                   "in digit-exercises/, calculators/ and greeting-programs/");
    auto* class_option = app.add_option(
        "--class", class_folder, "a class: a folder of one folder or .zip archive per person");
    app.add_option("--jobs,-j", settings.jobs, "builds and runs at a time (default: the cores)")
        ->check(CLI::Range(1U, 256U));
    app.add_option("--cxx", cxx, "the C++ compiler (default: the one the tool was built with)");
    app.add_flag("--strict", strict, "count remarks as wrong");
    app.add_flag("--verbose,-v", verbose, "show every failing case, not only the first");
    app.add_option("--json", json, "also write the results as JSON to this file");
    app.add_option("--junit", junit, "also write the results as JUnit XML to this file");
    app.add_option("--csv", csv, "also write the gradebook as CSV to this file");
    app.add_option("--html", html, "also write the results as a web page to this file");
    app.add_flag("--no-sandbox", no_sandbox,
                 "run the programs without the sandbox, with your own rights");
    app.add_option("--timeout", settings.run_limits.wall_seconds,
                   "seconds a program may run in one case (default 5)")
        ->check(CLI::Range(0.1, 3600.0));
    app.add_option("--memory", memory_mib,
                   "MiB of memory a program may take (default 512; 0 for no limit)")
        ->check(CLI::Range(0.0, 65536.0));
    app.add_option("--output-limit", output_mib, "MiB a program may write (default 1)")
        ->check(CLI::Range(0.01, 1024.0));
    app.add_option("--processes", settings.run_limits.processes,
                   "processes a program may have at once (default 64)")
        ->check(CLI::Range(1, 4096));
    app.add_option("--stress-runs", settings.stress_runs,
                   "random inputs per calculator (default 200)")
        ->check(CLI::Range(0, 1000000));
    app.add_option("--seed", settings.seed, "seed of the random inputs (default 20261208)");
    app.add_option("--cases", cases, "the folder of case data (default: the one installed)");
    auto* built_option = app.add_option(
        "--built", built, "check the programs already built in this folder, not sources");
    class_option->excludes(built_option);
    app.add_option("--case", only_case, "run only this case, such as calculators.circle.plain");
    app.add_option("--emulator", emulator, "run the built programs through this command")
        ->needs(built_option);
    app.add_flag("--crlf", crlf, "the built programs write CRLF line ends")->needs(built_option);
    app.add_option("--stdlib", stdlib, "the built programs' C++ library: libstdc++ or libc++")
        ->needs(built_option);
    app.add_flag("--memcheck", memcheck, "run the built programs under valgrind memcheck")
        ->needs(built_option);

    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::ParseError& error) {
        return usage(std::string(error.what()) + " (see exercise-check --help)");
    }

    if (folders.empty() && built.empty() && class_folder.empty()) {
        return usage("name a folder to check, such as: exercise-check path/to/folder");
    }
    if (!class_folder.empty() && !folders.empty()) {
        return usage("give either --class or folders of people, not both");
    }
    if (!class_folder.empty() && !fs::is_directory(class_folder)) {
        return usage("no such folder: " + class_folder +
                     ": give --class a folder of one folder or .zip archive per person");
    }
    settings.strict = strict;
    settings.sandbox = !no_sandbox;
    settings.crlf = crlf;
    settings.emulator = words(emulator);
    settings.only_case = only_case;
    settings.run_limits.memory_bytes = static_cast<std::uint64_t>(memory_mib * check::mebibyte);
    settings.run_limits.output_bytes = static_cast<std::uint64_t>(output_mib * check::mebibyte);
    settings.run_limits.file_bytes = settings.run_limits.output_bytes;
    if (!settings.emulator.empty()) {
        settings.run_limits.memory_bytes = 0; // an emulator reserves the whole guest's memory
    }
    settings.run_limits.cpu_seconds = settings.run_limits.wall_seconds * 2;
    settings.compile_limits.wall_seconds = 60;
    settings.compile_limits.cpu_seconds = 120;
    settings.compile_limits.memory_bytes = 2048 * check::mebibyte;
    settings.compile_limits.output_bytes = check::mebibyte;
    settings.compile_limits.file_bytes = 256 * check::mebibyte;
    settings.compile_limits.processes = 64;
    if (memcheck) {
        settings.memcheck = {"valgrind",
                             "--quiet",
                             "--error-exitcode=99",
                             "--track-origins=yes",
                             "--leak-check=full",
                             "--errors-for-leak-kinds=definite,indirect"};
        settings.run_limits.memory_bytes = 0;
        settings.run_limits.wall_seconds *= 4;
        settings.run_limits.cpu_seconds *= 4;
    }
    settings.case_data = cases.empty() ? check::default_case_data() : fs::path(cases);
    if (!fs::is_directory(settings.case_data / "digits")) {
        return usage("no case data in " + settings.case_data.string() +
                     ": give the folder of cases with --cases");
    }

    std::vector<check::Person> people;
    for (const std::string& folder : folders) {
        std::error_code error;
        if (!fs::is_directory(folder, error)) {
            return usage("no such folder: " + folder);
        }
        if (check::find_sources(folder).empty()) {
            return usage(folder +
                         " holds none of the nine programs (twodigits.cpp, echonumber.cpp, "
                         "helloworld.cpp, ...): name the folder that holds them");
        }
        people.push_back({fs::absolute(folder).lexically_normal().filename().string(), folder, ""});
        if (people.back().name.empty()) {
            people.back().name = fs::absolute(folder).parent_path().filename().string();
        }
    }
    if (!built.empty() && !fs::is_directory(built)) {
        return usage("no such folder: " + built);
    }

    if (settings.sandbox) {
        if (const auto problem = check::sandbox_problem()) {
            return usage(*problem);
        }
    }
    check::Report report;
    try {
        if (!built.empty()) {
            settings.compiler.stdlib = stdlib;
            report = check::check_built(built, settings);
        } else {
            const WorkFolder work;
            if (work.path.empty()) {
                return usage("cannot make a folder for the builds in " +
                             fs::temp_directory_path().string());
            }
            check::share_with_sandbox(work.path, true);
            settings.work = work.path;
            const fs::path hand_ins = work.path / "hand-ins";
            if (!class_folder.empty()) {
                people = check::find_class(class_folder, hand_ins);
                if (people.empty()) {
                    return usage(class_folder + " holds no folder or .zip archive: --class needs "
                                                "one for each person");
                }
            }
            settings.compiler =
                check::probe_compiler(cxx, work.path, check::Sandbox{settings.sandbox, {}, {}});
            std::optional<check::ProgressMeter> meter;
            if (people.size() > 1 && isatty(STDERR_FILENO) != 0) {
                const auto empty = static_cast<std::size_t>(
                    std::count_if(people.begin(), people.end(), [](const check::Person& person) {
                        return check::find_sources(person.folder).empty();
                    }));
                meter.emplace(std::cerr, people.size(), empty);
            }
            report = check::check_people(people, settings,
                                         meter ? meter->callback() : check::Progress{});
            if (meter) {
                meter->finish();
            }
            if (!class_folder.empty()) {
                check::show_as_handed_in(report, class_folder, hand_ins);
            }
        }
    } catch (const std::exception& error) {
        return usage(error.what());
    }

    check::TerminalStyle style;
    style.colour = isatty(STDOUT_FILENO) != 0 && std::getenv("NO_COLOR") == nullptr;
    style.verbose = verbose;
    if (class_folder.empty()) {
        check::write_terminal(std::cout, report, style);
    } else {
        check::write_gradebook(std::cout, report, style);
    }
    if (!write_report(json, check::write_json, report) ||
        !write_report(junit, check::write_junit, report) ||
        !write_report(csv, check::write_csv, report) ||
        !write_report(html, check::write_html, report)) {
        return usage_error;
    }

    bool wrong = false;
    for (const check::PersonResult& person : report.people) {
        for (const check::ProgramResult& program : person.programs) {
            wrong = wrong || program.verdict == check::ProgramVerdict::wrong ||
                    program.verdict == check::ProgramVerdict::does_not_compile;
        }
    }
    std::cout.flush();
    return wrong ? 1 : 0;
}
