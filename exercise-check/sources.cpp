#include "sources.h"

#include <string>

namespace check {

namespace fs = std::filesystem;

std::vector<Source> find_sources(const fs::path& folder, const std::vector<Exercise>& exercises)
{
    std::vector<Source> found;
    for (const Exercise& exercise : exercises) {
        const std::string file = exercise.name + ".cpp";
        std::vector<fs::path> candidates{folder / file};
        if (!exercise.folder.empty()) {
            candidates.push_back(folder / exercise.folder / file);
        }
        for (const fs::path& candidate : candidates) {
            std::error_code error;
            if (fs::is_regular_file(candidate, error)) {
                found.push_back({&exercise, candidate});
                break;
            }
        }
    }
    return found;
}

} // namespace check
