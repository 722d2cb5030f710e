// A hand-in's folders as they are read: their entries in name order, what platforms and file
// managers add left out, and the lines that list what was left out.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace check {

// What learning platforms and file managers add to a download, never a hand-in's own: __MACOSX,
// dot files, Thumbs.db, desktop.ini.
bool is_junk(const std::string& name);

// A folder's entries in name order; none when it cannot be read.
std::vector<std::filesystem::directory_entry> sorted_entries(const std::filesystem::path& folder);

std::string joined(const std::vector<std::string>& parts, const char* separator = "; ");

// "left out 2 links: a, b/c", at most a few named.
std::string left_out_text(const std::string& one, const std::string& many,
                          const std::vector<std::string>& paths);

} // namespace check
