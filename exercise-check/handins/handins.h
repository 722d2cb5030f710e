// A class's hand-ins: who handed in what, from a folder or a course platform's download.
#pragma once

#include "archives.h"
#include "check.h"
#include "shown_paths.h" // how a class's report shows the paths that lead into its copies

#include <filesystem>
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

// The people of a class as find_class finds them, and every entry of it that is no one's
// hand-in, said with why: a loose file beside the people's folders, what a platform's layout does
// not name, what file managers add, an earlier upload or attempt. Its paths start at path as
// given.
struct ClassFound {
    std::vector<Person> people;
    std::vector<LeftUnread> not_read;
};
ClassFound read_class(const std::filesystem::path& path, const std::filesystem::path& work,
                      const std::vector<Exercise>& exercises, const ArchiveLimits& limits = {});

} // namespace check
