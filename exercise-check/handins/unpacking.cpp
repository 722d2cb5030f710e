#include "unpacking.h"

#include "folder_entries.h"

namespace check {

namespace fs = std::filesystem;

namespace {

// Whether a folder holds any file that is not junk.
bool holds_files(const fs::path& folder)
{
    for (const fs::directory_entry& entry : sorted_entries(folder)) {
        std::error_code error;
        if (is_junk(entry.path().filename().string())) {
            continue;
        }
        if (entry.is_regular_file(error) ||
            (entry.is_directory(error) && holds_files(entry.path()))) {
            return true;
        }
    }
    return false;
}

// The archives in a folder of the checker's own, junk and what was unpacked from them skipped.
void archives_in(const fs::path& folder, std::size_t depth, std::vector<fs::path>& found)
{
    for (const fs::directory_entry& entry : sorted_entries(folder)) {
        std::error_code error;
        const std::string name = entry.path().filename().string();
        if (is_junk(name)) {
            continue;
        }
        if (entry.is_directory(error)) {
            if (depth < deepest_copy) {
                archives_in(entry.path(), depth + 1, found);
            }
        } else if (entry.is_regular_file(error) && is_archive_name(name)) {
            found.push_back(entry.path());
        }
    }
}

} // namespace

void note_unpacked(const std::string& name, const Unpacked& unpacked, const fs::path& into,
                   Findings& findings)
{
    if (unpacked.skipped > 0) {
        findings.notes.push_back("left out " + std::to_string(unpacked.skipped) + " entr" +
                                 (unpacked.skipped == 1 ? "y" : "ies") + " of " + name +
                                 " that are links, devices or lead outside it");
    }
    if (unpacked.files == 0) {
        findings.notes.push_back(name + " is empty");
    } else if (!holds_files(into)) {
        findings.notes.push_back(name + " holds nothing but what platforms and file managers "
                                        "add (__MACOSX, ._ files)");
    }
}

void unpack_archives_in(const fs::path& folder, const fs::path& root, const std::string& prefix,
                        std::size_t level, Budget& budget, Findings& findings)
{
    std::vector<fs::path> archives;
    archives_in(folder, 0, archives);
    for (const fs::path& file : archives) {
        if (budget.exceeded) {
            return;
        }
        const std::string name = prefix + file.lexically_relative(root).generic_string();
        if (level >= deepest_archive) {
            findings.notes.push_back(name + " not unpacked: an archive in an archive in an "
                                            "archive");
            continue;
        }
        std::error_code error;
        if (fs::file_size(file, error) == 0) {
            findings.notes.push_back(name + " is empty");
            continue;
        }
        fs::path into = file;
        into += ".unpacked";
        for (int more = 2; fs::exists(fs::symlink_status(into, error)); ++more) {
            into = file;
            into += ".unpacked-" + std::to_string(more);
        }
        const Unpacked unpacked =
            unpack_archive(file, into, ArchiveLimits{budget.bytes, budget.entries});
        if (!unpacked.ok) {
            fs::remove_all(into, error);
            findings.notes.push_back(name + " " + unpacked.problem);
            if (unpacked.problem.rfind("unpacks to more than", 0) == 0) {
                budget.exceeded = true;
            }
            continue;
        }
        budget.take(unpacked.bytes, unpacked.entries);
        note_unpacked(name, unpacked, into, findings);
        fs::remove(file, error);
        fs::rename(into, file, error);
        unpack_archives_in(file, root, prefix, level + 1, budget, findings);
    }
}

} // namespace check
