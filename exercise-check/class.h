// A class at once: finds every person's hand-in in a folder of folders and .zip archives.
#pragma once

#include "check.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace check {

// Every subfolder and every .zip archive of folder is one person, named after it (without .zip).
// Archives are unpacked under work. Each person's folder is the one that holds the sources,
// however deep the hand-in wraps it; the note says how it was chosen where that is not obvious.
// A person who handed in nothing is there all the same, with an empty folder. In name order.
std::vector<Person> find_class(const std::filesystem::path& folder,
                               const std::filesystem::path& work,
                               const std::vector<Exercise>& exercises);

// The paths in the report that lead into the archives unpacked under work, as they were handed
// in: <folder>/alice.zip/alice/twodigits.cpp, in sources, folders and compiler messages.
void show_as_handed_in(Report& report, const std::filesystem::path& folder,
                       const std::filesystem::path& work);

// Where in a hand-in its sources are: the folder, and how it was chosen where that is not
// obvious. shown_as names root in the note (alice, alice.zip).
struct HandIn {
    std::filesystem::path folder;
    std::string note;
};
HandIn find_hand_in(const std::filesystem::path& root, const std::string& shown_as,
                    const std::vector<Exercise>& exercises);

// What an archive may unpack to at most: a hand-in is nine small sources.
struct ArchiveLimits {
    std::uint64_t bytes = 64ULL * 1024 * 1024; // all files together
    std::size_t entries = 10000;
};

struct Unpacked {
    bool ok = false;
    std::string problem;     // why nothing was unpacked, when not ok
    std::size_t skipped = 0; // entries left out: links, devices, paths leading outside
};

// Unpacks a zip archive into the folder, plain files and folders only, each inside it; when the
// archive is broken or too large, leaves the folder empty and says why.
Unpacked unpack_archive(const std::filesystem::path& archive, const std::filesystem::path& into,
                        const ArchiveLimits& limits = {});

// An archive entry's name as a path inside the folder unpacked into, or nothing when it would
// lead outside: absolute, with "..", a drive letter. Backslashes count as separators.
std::optional<std::filesystem::path> safe_entry_path(std::string_view name);

// Shows on a terminal how far the check is, in place, once a second and as each person is done.
// People with nothing to check are done at once; they are left out of the estimate.
class ProgressMeter {
  public:
    ProgressMeter(std::ostream& out, std::size_t total, std::size_t nothing_to_check);
    ProgressMeter(const ProgressMeter&) = delete;
    ProgressMeter& operator=(const ProgressMeter&) = delete;
    ProgressMeter(ProgressMeter&&) = delete;
    ProgressMeter& operator=(ProgressMeter&&) = delete;
    ~ProgressMeter();

    // For check_people.
    Progress callback();
    // Draws the last line and ends it; the meter stops.
    void finish();

  private:
    void draw(bool last);

    std::ostream& out_;
    std::size_t total_;
    std::size_t nothing_to_check_;
    std::size_t done_ = 0;
    std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
    std::thread ticker_;
};

} // namespace check
