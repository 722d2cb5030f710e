#include "sources.h"

#include <string>

namespace check {

namespace fs = std::filesystem;

std::vector<Source> find_sources(const fs::path& folder, std::vector<std::string>* left_out)
{
    std::vector<Source> found;
    for (const Program& program : programs()) {
        const std::string file = std::string(program.name) + ".cpp";
        for (const fs::path& candidate : {folder / file, folder / program.folder / file}) {
            // Links are never followed: they could lead to any file the checker may read.
            std::error_code error;
            const fs::file_status status = fs::symlink_status(candidate, error);
            const std::string why = fs::is_symlink(status)         ? "is a link"
                                    : !fs::is_regular_file(status) ? ""
                                    : fs::file_size(candidate, error) > largest_source
                                        ? "is larger than 1 MiB"
                                        : "ok";
            if (why == "ok") {
                found.push_back({&program, candidate});
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
