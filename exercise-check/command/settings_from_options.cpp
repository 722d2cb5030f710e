#include "settings_from_options.h"

#include "cases.h"
#include "catalogue.h"
#include "kept.h"

#include <algorithm>
#include <optional>
#include <stdexcept>
#include <thread>

namespace check {

namespace fs = std::filesystem;

std::vector<std::string> command_words(const std::string& command)
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

Limits compile_limits(const BuildLimits& builds)
{
    Limits limits;
    limits.wall_seconds = 60;
    limits.cpu_seconds = 120;
    limits.memory_bytes = 2048 * mebibyte;
    limits.output_bytes = mebibyte;
    limits.file_bytes = builds.program_bytes;
    limits.processes = 64;
    return limits;
}

Settings make_settings(const Options& options)
{
    Settings settings;
    settings.jobs =
        options.jobs > 0 ? options.jobs : std::max(1U, std::thread::hardware_concurrency());
    settings.strict = options.strict;
    settings.sandbox = !options.no_sandbox && options.sandbox != "none";
    settings.sandbox_kind =
        options.sandbox == "landlock" ? SandboxKind::landlock : SandboxKind::bubblewrap;
    settings.crlf = options.crlf;
    settings.emulator = command_words(options.emulator);
    settings.only_case = options.only_case;
    settings.diagnose = !options.no_diagnosis;
    if (!options.fault_cache.empty()) {
        settings.fault_cache = options.fault_cache;
    }
    // Without a sandbox the programs run with the checker's rights, and could write into the
    // store what a later check would take: nothing is kept or taken then.
    settings.store = options.no_cache || !settings.sandbox ? fs::path() : default_store();
    for (const std::string& name : command_words(options.programs)) {
        for (std::size_t start = 0; start <= name.size();) {
            const std::size_t comma = std::min(name.find(',', start), name.size());
            if (comma > start) {
                settings.programs.push_back(name.substr(start, comma - start));
            }
            start = comma + 1;
        }
    }
    settings.stdlib = options.stdlib;
    settings.stress_runs = options.stress_runs;
    settings.seed = options.seed;

    Limits& limits = settings.run_limits;
    limits.wall_seconds = options.timeout_seconds;
    limits.cpu_seconds = limits.wall_seconds * 2;
    limits.memory_bytes = static_cast<std::uint64_t>(options.memory_mib * mebibyte);
    limits.output_bytes = static_cast<std::uint64_t>(options.output_mib * mebibyte);
    limits.file_bytes = limits.output_bytes;
    limits.processes = options.processes;
    settings.run_budget.program_seconds = options.program_seconds;
    settings.run_budget.person_seconds = options.person_seconds;
    if (!settings.emulator.empty()) {
        limits.memory_bytes = 0; // an emulator reserves the whole guest's memory
    }
    if (options.memcheck) {
        settings.memcheck = {"valgrind",
                             "--quiet",
                             "--error-exitcode=99",
                             "--track-origins=yes",
                             "--leak-check=full",
                             "--errors-for-leak-kinds=definite,indirect"};
        limits.memory_bytes = 0;
        limits.wall_seconds *= 4;
        limits.cpu_seconds *= 4;
        settings.run_budget.program_seconds *= 4;
        settings.run_budget.person_seconds *= 4;
    }
    settings.case_data = options.cases.empty() ? default_case_data() : fs::path(options.cases);
    settings.exercises = load_catalogue(settings.case_data);
    if (const fs::path hints = settings.case_data / "diagnosis" / "compile-hints.json";
        fs::exists(hints)) {
        settings.compile_hints = load_compile_hints(hints);
    }
    return settings;
}

Options files_as_folder(const Options& options, Settings& settings)
{
    std::vector<std::string> programs;
    std::optional<fs::path> folder;
    for (const std::string& named : options.folders) {
        std::error_code error;
        if (!fs::is_regular_file(named, error)) {
            continue;
        }
        const fs::path path(named);
        const std::string program = path.stem().string();
        if (path.extension() != ".cpp" || find_exercise(settings.exercises, program) == nullptr) {
            throw std::runtime_error(named +
                                     " is none of the exercises' programs: a source is checked as "
                                     "the program its name says, such as " +
                                     settings.exercises.front().name + ".cpp");
        }
        const fs::path parent = path.parent_path().empty() ? fs::path(".") : path.parent_path();
        if (folder && !fs::equivalent(*folder, parent, error)) {
            throw std::runtime_error(
                "the sources named are in more than one folder: name sources of one "
                "folder, or folders");
        }
        if (!folder) {
            folder = parent;
        }
        programs.push_back(program);
    }
    if (!folder) {
        return options;
    }
    if (programs.size() < options.folders.size()) {
        throw std::runtime_error("name either sources of one folder or folders, not both");
    }
    if (!options.programs.empty()) {
        throw std::runtime_error(
            "--programs goes with folders: the sources named are the programs checked");
    }
    settings.programs = programs;
    Options result = options;
    result.folders = {folder->string()};
    return result;
}

} // namespace check
