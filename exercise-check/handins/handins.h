// A class's hand-ins: who handed in what, from a folder or a course platform's download.
#pragma once

#include "archives.h"
#include "check.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace check {

// A class is a folder, or an archive of one (a course platform's "download all submissions").
// In it, each folder and each archive is one person, named after it (without .zip); and a
// course platform's entries <Full Name>_<number>_assignsubmission_<kind>_, folders or loose files,
// are one person for each number, named by the full name ("Participant 1001" where the platform
// hides names), the number kept as the person's id.
//
// Every hand-in is copied under work before it is read, within the limits, links and
// devices left out; archives in it are unpacked where they lie, and those inside them, but no
// deeper. Each person's folder is the one that holds the sources, however deep the hand-in wraps
// it; the note says how it was chosen where that is not obvious, and what could not be read. A
// person who handed in nothing is there all the same, with an empty folder. In name order.
std::vector<Person> find_class(const std::filesystem::path& path, const std::filesystem::path& work,
                               const std::vector<Exercise>& exercises,
                               const ArchiveLimits& limits = {});

// The paths in the report that lead into the copies under work, as they were handed in:
// <class>/alice.zip/alice/twodigits.cpp, in sources, folders and compiler messages.
void show_as_handed_in(Report& report, const std::filesystem::path& folder,
                       const std::filesystem::path& work);

// Where in a hand-in its sources are: the folder, and how it was chosen where that is not
// obvious, and which sources were left out. shown_as names root in the note (alice, alice.zip).
struct HandIn {
    std::filesystem::path folder;
    std::string note;
};
HandIn find_hand_in(const std::filesystem::path& root, const std::string& shown_as,
                    const std::vector<Exercise>& exercises);

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
