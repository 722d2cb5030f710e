#include "shown_paths.h"

#include <string>

namespace check {

namespace fs = std::filesystem;

namespace {

void replace_all(std::string& text, const std::string& from, const std::string& to)
{
    if (from.empty()) {
        return;
    }
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
}

} // namespace

void show_as_handed_in(Report& report, const fs::path& folder, const fs::path& work)
{
    const std::string from = work.string();
    const std::string to = folder.string();
    for (PersonResult& person : report.people) {
        replace_all(person.folder, from, to);
        for (ProgramResult& program : person.programs) {
            replace_all(program.source, from, to);
            replace_all(program.compiler_output, from, to);
        }
    }
}

} // namespace check
