#include "source_map.h"

#include "catalogue.h"
#include "files.h"
#include "sources.h"

#include <algorithm>
#include <sstream>
#include <stdexcept>

namespace check {

namespace fs = std::filesystem;

namespace {

std::string trimmed(const std::string& text)
{
    const std::size_t first = text.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return "";
    }
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

} // namespace

std::vector<MapLine> parse_map(const std::string& text, const std::vector<Exercise>& exercises)
{
    std::vector<MapLine> lines;
    std::istringstream in(text);
    std::string raw;
    for (std::size_t number = 1; std::getline(in, raw); ++number) {
        const std::string line = trimmed(raw);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        const std::string where = "line " + std::to_string(number) + " of the map: ";
        const std::size_t equals = line.rfind('=');
        if (equals == std::string::npos) {
            throw std::runtime_error(where + "write it as `source path = program`");
        }
        MapLine entry{trimmed(line.substr(0, equals)), trimmed(line.substr(equals + 1)), number};
        if (find_exercise(exercises, entry.program) == nullptr) {
            throw std::runtime_error(where + "no program is named " + entry.program);
        }
        const fs::path path(entry.path);
        bool outside = entry.path.empty() || path.is_absolute();
        for (const fs::path& part : path) {
            outside = outside || part == "..";
        }
        if (outside) {
            throw std::runtime_error(where + "give the source's path inside the person's folder");
        }
        lines.push_back(entry);
    }
    return lines;
}

std::vector<MapLine> read_map(const fs::path& file, const std::vector<Exercise>& exercises)
{
    // A map is a line for each program of each person: far less than this.
    constexpr std::uint64_t largest_map = 16 * mebibyte;
    const FileRead read = read_file(file, largest_map);
    if (!read.bytes) {
        throw std::runtime_error("the map: " + read.problem);
    }
    return parse_map(*read.bytes, exercises);
}

std::optional<fs::path> mapped_file(const MapLine& line, const std::vector<std::string>& names,
                                    const std::vector<fs::path>& folders)
{
    fs::path relative(line.path);
    const std::string first = relative.begin()->string();
    if (!first.empty() && std::find(names.begin(), names.end(), first) != names.end()) {
        relative = relative.lexically_relative(first);
    }
    for (const fs::path& folder : folders) {
        if (folder.empty()) {
            continue;
        }
        // Every step is looked at: a link on the way could lead anywhere.
        fs::path at = folder;
        std::error_code error;
        bool link = false;
        for (const fs::path& part : relative) {
            at /= part;
            link = link || fs::is_symlink(fs::symlink_status(at, error));
        }
        if (!link && fs::is_regular_file(fs::symlink_status(at, error)) &&
            fs::file_size(at, error) <= largest_source) {
            return at;
        }
    }
    return std::nullopt;
}

} // namespace check
