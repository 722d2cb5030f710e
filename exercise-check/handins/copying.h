// Copies a hand-in under the checker's own folder within limits: plain files and folders only,
// links and devices left out, and sources too large to be a program's.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace check {

constexpr std::size_t deepest_copy = 32; // folders inside folders copied

// What one person's hand-in may still take.
struct Budget {
    std::uint64_t bytes;
    std::size_t entries;
    bool exceeded = false;

    bool take(std::uint64_t more_bytes, std::size_t more_entries)
    {
        if (exceeded || more_bytes > bytes || more_entries > entries) {
            exceeded = true;
            return false;
        }
        bytes -= more_bytes;
        entries -= more_entries;
        return true;
    }
};

// What copying and unpacking a hand-in met on the way, for its note.
struct Findings {
    std::vector<std::string> links;     // left out, as links or devices
    std::vector<std::string> too_large; // sources larger than largest_source
    std::vector<std::string> notes;     // whole lines: archives that could not be read
};

// Copies one plain file, never through a link, reading no more than it held when opened.
void copy_file(const std::filesystem::path& from, const std::filesystem::path& to,
               const std::string& shown_path, Budget& budget, Findings& findings);

// Takes from the budget what copying the folder would, reading nothing: false when over it.
bool measure(const std::filesystem::path& folder, std::size_t depth, Budget& budget);

// Copies what a folder holds, plain files and folders only, junk left out.
void copy_tree(const std::filesystem::path& from, const std::filesystem::path& to,
               const std::string& shown_as, std::size_t depth, Budget& budget, Findings& findings);

} // namespace check
