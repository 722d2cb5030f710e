// A course platform's names for the entries of its download of submissions: who, their number,
// what kind of entry.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace check {

// A course platform's name for an entry of its download: Ana Marić_1001_assignsubmission_file_
// (a folder) or Ana Marić_1001_assignsubmission_file_circle.cpp (a loose file).
struct PlatformName {
    std::string name; // Ana Marić; Participant where names are hidden
    std::string id;   // 1001
    std::string kind; // file, onlinetext
    std::string file; // circle.cpp; empty for a folder
};
std::optional<PlatformName> platform_name(std::string_view entry);

} // namespace check
