#include "sources.h"

#include <string>

namespace check {

namespace fs = std::filesystem;

std::vector<Source> find_sources(const fs::path& folder, const std::vector<Exercise>& exercises,
                                 std::vector<std::string>* left_out)
{
    std::vector<Source> found;
    for (const Exercise& exercise : exercises) {
        const std::string file = exercise.name + ".cpp";
        std::vector<fs::path> candidates{folder / file};
        if (!exercise.folder.empty()) {
            candidates.push_back(folder / exercise.folder / file);
        }
        for (const fs::path& candidate : candidates) {
            // Links are never followed: they could lead to any file the checker may read.
            std::error_code error;
            const fs::file_status status = fs::symlink_status(candidate, error);
            const std::string why = fs::is_symlink(status)         ? "is a link"
                                    : !fs::is_regular_file(status) ? ""
                                    : fs::file_size(candidate, error) > largest_source
                                        ? "is larger than 1 MiB"
                                        : "ok";
            if (why == "ok") {
                found.push_back({&exercise, candidate});
                break;
            }
            if (!why.empty() && left_out != nullptr) {
                left_out->push_back(candidate.lexically_relative(folder).generic_string() + " " +
                                    why + ": left out");
            }
        }
    }
    return found;
}

} // namespace check
