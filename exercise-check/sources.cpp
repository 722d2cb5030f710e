#include "sources.h"

#include <string>

namespace check {

namespace fs = std::filesystem;

std::vector<Source> find_sources(const fs::path& folder)
{
    std::vector<Source> found;
    for (const Program& program : programs()) {
        const std::string file = std::string(program.name) + ".cpp";
        for (const fs::path& candidate : {folder / file, folder / program.folder / file}) {
            std::error_code error;
            if (fs::is_regular_file(candidate, error)) {
                found.push_back({&program, candidate});
                break;
            }
        }
    }
    return found;
}

} // namespace check
