#include "copying.h"

#include "descriptor.h"

#include "folder_entries.h"
#include "sources.h"
#include "text.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <fstream>

namespace check {

namespace fs = std::filesystem;

void copy_file(const fs::path& from, const fs::path& to, const std::string& shown_path,
               Budget& budget, Findings& findings)
{
    const Descriptor in(::open(from.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat status {};
    if (in.fd < 0 || ::fstat(in.fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        findings.links.push_back(shown_path);
        return;
    }
    const auto size = static_cast<std::uint64_t>(status.st_size);
    if (size > largest_source && ends_with(from.filename().string(), ".cpp")) {
        findings.too_large.push_back(shown_path);
        return;
    }
    if (!budget.take(size, 1)) {
        return;
    }
    std::ofstream out(to, std::ios::binary | std::ios::trunc);
    std::array<char, 65536> buffer{};
    for (std::uint64_t left = size; left > 0 && out;) {
        const ssize_t count =
            ::read(in.fd, buffer.data(), std::min<std::uint64_t>(left, buffer.size()));
        if (count <= 0) {
            break;
        }
        out.write(buffer.data(), count);
        left -= static_cast<std::uint64_t>(count);
    }
}

bool measure(const fs::path& folder, std::size_t depth, Budget& budget)
{
    for (const fs::directory_entry& entry : sorted_entries(folder)) {
        std::error_code error;
        const std::string name = entry.path().filename().string();
        const fs::file_status status = entry.symlink_status(error);
        if (is_junk(name)) {
            continue;
        }
        if (fs::is_directory(status)) {
            if (depth < deepest_copy &&
                (!budget.take(0, 1) || !measure(entry.path(), depth + 1, budget))) {
                return false;
            }
        } else if (fs::is_regular_file(status)) {
            const std::uintmax_t size = entry.file_size(error);
            if (!(size > largest_source && ends_with(name, ".cpp")) && !budget.take(size, 1)) {
                return false;
            }
        }
    }
    return true;
}

void copy_tree(const fs::path& from, const fs::path& to, const std::string& shown_as,
               std::size_t depth, Budget& budget, Findings& findings)
{
    std::error_code error;
    fs::create_directories(to, error);
    for (const fs::directory_entry& entry : sorted_entries(from)) {
        if (budget.exceeded) {
            return;
        }
        const std::string name = entry.path().filename().string();
        if (is_junk(name)) {
            continue;
        }
        const std::string shown_path = shown_as.empty() ? name : shown_as + "/" + name;
        const fs::file_status status = entry.symlink_status(error);
        if (fs::is_directory(status)) {
            if (depth < deepest_copy && budget.take(0, 1)) {
                copy_tree(entry.path(), to / name, shown_path, depth + 1, budget, findings);
            }
        } else if (fs::is_regular_file(status)) {
            copy_file(entry.path(), to / name, shown_path, budget, findings);
        } else {
            findings.links.push_back(shown_path);
        }
    }
}

} // namespace check
