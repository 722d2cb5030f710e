#include "watch.h"

#include "saves.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

namespace check {

namespace fs = std::filesystem;

namespace {

// The path as the kernel names it, for comparing two ways of naming one file.
fs::path real(const fs::path& path)
{
    std::error_code error;
    const fs::path found = fs::weakly_canonical(fs::absolute(path, error), error);
    return error ? path : found;
}

std::string names_of(const std::vector<fs::path>& files)
{
    std::string names;
    for (const fs::path& file : files) {
        names += (names.empty() ? "" : ", ") + file.filename().string();
    }
    return names;
}

} // namespace

std::string summary_line(const PersonResult& person, const Translation& tr)
{
    return person.name + ": " + tr(verdict_counts(person));
}

std::vector<std::string> programs_saved(const PersonResult& person,
                                        const std::vector<fs::path>& saved)
{
    std::vector<fs::path> files;
    std::transform(saved.begin(), saved.end(), std::back_inserter(files), real);
    std::vector<std::string> programs;
    for (const ProgramResult& result : person.programs) {
        if (!result.source.empty() &&
            std::find(files.begin(), files.end(), real(result.source)) != files.end()) {
            programs.push_back(result.program);
        }
    }
    return programs;
}

void watch(const fs::path& folder, const std::function<Report()>& check, const TerminalStyle& style,
           std::ostream& out, int rechecks, const std::function<void(const Report&)>& prepare)
{
    Saves saves(folder); // before the first check: what is saved during it is checked after
    const Report first = check();
    write_terminal(out, first, style);
    out.flush();
    if (prepare) {
        prepare(first);
    }
    out << "watching " << folder.string()
        << ": each program is checked again as its source is saved; Ctrl-C ends" << std::endl;
    for (int done = 0; rechecks < 0 || done < rechecks; ++done) {
        std::vector<fs::path> saved;
        while (saved.empty()) {
            for (const fs::path& file : saves.next(save_settles, std::chrono::milliseconds(-1))) {
                if (file.extension() == ".cpp") { // a source, not an editor's own file
                    saved.push_back(file);
                }
            }
        }
        const auto started = std::chrono::steady_clock::now();
        out << '\n';
        try {
            const Report report = check();
            const double seconds =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
            std::ostringstream took;
            took << std::fixed << std::setprecision(2) << seconds;
            const PersonResult& person = report.people.at(0);
            const std::vector<std::string> programs = programs_saved(person, saved);
            out << names_of(saved) << " saved: checked in " << took.str() << " s";
            if (programs.empty()) {
                out << ", and it is none of the programs' sources";
            }
            out << '\n';
            write_programs(out, report, person, programs, style);
            out << summary_line(person, load_translation(report.language)) << std::endl;
        } catch (const std::exception& error) { // the folder as it is cannot be checked now
            out << names_of(saved) << " saved: cannot be checked: " << error.what() << std::endl;
        }
    }
}

} // namespace check
