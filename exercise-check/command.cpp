#include "command.h"

#include "cases.h"
#include "check.h"
#include "handins.h"
#include "progress.h"
#include "report.h"
#include "settings.h"
#include "sources.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <optional>
#include <unistd.h>

namespace check {

namespace fs = std::filesystem;

namespace {

// A command line or a file that cannot be used: its one line goes to standard error, exit 2.
struct Refusal : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A folder of the checker's own for the builds, removed at the end.
class WorkFolder {
  public:
    WorkFolder()
    {
        std::string pattern = (fs::temp_directory_path() / "exercise-check-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) {
            throw Refusal("cannot make a folder for the builds in " +
                          fs::temp_directory_path().string() + ": set TMPDIR to a writable folder");
        }
        path_ = pattern;
    }
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    WorkFolder(WorkFolder&&) = delete;
    WorkFolder& operator=(WorkFolder&&) = delete;
    ~WorkFolder()
    {
        std::error_code error;
        fs::remove_all(path_, error);
    }
    const fs::path& path() const { return path_; }

  private:
    fs::path path_;
};

using ReportWriter = void (*)(std::ostream&, const Report&);

struct ReportFile {
    std::string path;
    ReportWriter writer;
};

// The report's file must be one that can be written: its folder is there and takes files. Found
// out before anything is checked, so that a long check does not end in a report lost.
void check_writable(const std::string& file)
{
    const fs::path path(file);
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        throw Refusal("cannot write " + file + ": there is no folder " + folder.string());
    }
    if (fs::is_directory(path, error)) {
        throw Refusal("cannot write " + file + ": it is a folder");
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0 ||
        (fs::exists(path, error) && access(path.c_str(), W_OK) != 0)) {
        throw Refusal("cannot write " + file + ": permission denied");
    }
}

// Writes the report beside its file and renames it into place: a reader never sees half a
// report, and a report that cannot be written leaves what was there.
bool write_report(const ReportFile& file, const Report& report)
{
    const std::string partial = file.path + ".partial";
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        file.writer(out, report);
        out.close();
        if (out && std::rename(partial.c_str(), file.path.c_str()) == 0) {
            return true;
        }
    }
    std::error_code error;
    fs::remove(partial, error);
    std::cerr << "exercise-check: cannot write " << file.path << '\n';
    return false;
}

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

Report check_sources(const Options& options, Settings& settings)
{
    std::error_code error;
    if (!options.class_folder.empty() && !fs::exists(options.class_folder, error)) {
        throw Refusal("no such folder or archive: " + options.class_folder +
                      ": give --class a folder of one folder or archive per person, or a "
                      "course platform's download (.zip)");
    }
    std::vector<Person> people = people_of(options.folders, settings.exercises);
    const WorkFolder work;
    share_with_sandbox(work.path(), true);
    settings.work = work.path();
    const fs::path hand_ins = work.path() / "hand-ins";
    if (!options.class_folder.empty()) {
        people = find_class(options.class_folder, hand_ins, settings.exercises);
        if (people.empty()) {
            throw Refusal(options.class_folder +
                          " holds no folder or archive: --class needs one for each person");
        }
    }
    const Sandbox sandbox{settings.sandbox, {}, {}};
    const Compiler compiler = probe_compiler(options.cxx, work.path(), sandbox);
    settings.stdlib = compiler.stdlib;
    SystemRunner runner(compiler, sandbox, compile_limits());
    std::optional<ProgressMeter> meter;
    if (people.size() > 1 && isatty(STDERR_FILENO) != 0) {
        const auto empty = static_cast<std::size_t>(
            std::count_if(people.begin(), people.end(), [&](const Person& person) {
                const FolderSources found = sources_in(person.folder, settings.exercises);
                return found.sources.empty() && found.unnamed.empty();
            }));
        meter.emplace(std::cerr, people.size(), empty);
    }
    Report report = check_people(people, settings, runner, meter ? meter->callback() : Progress{});
    if (meter) {
        meter->finish();
    }
    if (!options.class_folder.empty()) {
        show_as_handed_in(report, options.class_folder, hand_ins);
    }
    return report;
}

int carry_out(const Options& options)
{
    Settings settings = make_settings(options);
    if (!options.map.empty()) {
        settings.map = read_map(options.map, settings.exercises);
    }
    if (options.list_cases) {
        list_cases(settings);
        std::cout.flush();
        return std::cout ? exit_right : exit_usage;
    }
    const std::vector<ReportFile> files{{options.json, write_json},
                                        {options.junit, write_junit},
                                        {options.csv, write_csv},
                                        {options.html, write_html}};
    for (const ReportFile& file : files) {
        if (!file.path.empty()) {
            check_writable(file.path);
        }
    }
    if (!options.built.empty() && !fs::is_directory(options.built)) {
        throw Refusal("no such folder: " + options.built);
    }
    if (settings.sandbox) {
        if (const auto problem = sandbox_problem()) {
            throw Refusal(*problem);
        }
    }

    Report report;
    if (!options.built.empty()) {
        SystemRunner runner(Compiler{}, Sandbox{settings.sandbox, {}, {}}, compile_limits());
        report = check_built(options.built, settings, runner);
    } else {
        report = check_sources(options, settings);
    }

    TerminalStyle style;
    style.colour = isatty(STDOUT_FILENO) != 0 && std::getenv("NO_COLOR") == nullptr;
    style.verbose = options.verbose;
    if (options.class_folder.empty()) {
        write_terminal(std::cout, report, style);
    } else {
        write_gradebook(std::cout, report, style);
    }
    bool written = true;
    for (const ReportFile& file : files) {
        if (!file.path.empty()) {
            written = write_report(file, report) && written;
        }
    }
    std::cout.flush();
    return written ? exit_status(report) : exit_usage;
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
    try {
        return carry_out(options);
    } catch (const std::exception& error) {
        std::cerr << "exercise-check: " << error.what() << '\n';
        return exit_usage;
    }
}

} // namespace check
