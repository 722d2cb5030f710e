// A teacher's map of sources to programs: `source path = program`, one a line.
#pragma once

#include "model.h"
#include "settings.h"

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace check {

// The lines of a map; blank lines and lines starting with # are skipped. Throws
// std::runtime_error, in one line naming the line, when a line is not `path = program` with a
// relative path inside the folder and a program of the catalogue.
std::vector<MapLine> parse_map(const std::string& text, const std::vector<Exercise>& exercises);
std::vector<MapLine> read_map(const std::filesystem::path& file,
                              const std::vector<Exercise>& exercises);

// The file a line names for a person: the path in one of the person's folders (where the sources
// are, or the whole hand-in), after one of the person's names where the line starts with it. A
// plain file, no link on the way, no larger than a source may be.
std::optional<std::filesystem::path> mapped_file(const MapLine& line,
                                                 const std::vector<std::string>& names,
                                                 const std::vector<std::filesystem::path>& folders);

} // namespace check
