// For tests: scratch folders, files in them, and archives written as a hand-in would be.
#pragma once

#include <archive.h>
#include <archive_entry.h>
#include <doctest/doctest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace check::test {

namespace fs = std::filesystem;

// A fresh folder for one test, removed after it.
struct Scratch {
    fs::path path;
    Scratch()
    {
        std::string pattern = (fs::temp_directory_path() / "class-test-XXXXXX").string();
        REQUIRE(mkdtemp(pattern.data()) != nullptr);
        path = pattern;
    }
    Scratch(const Scratch&) = delete;
    Scratch& operator=(const Scratch&) = delete;
    Scratch(Scratch&&) = delete;
    Scratch& operator=(Scratch&&) = delete;
    ~Scratch()
    {
        std::error_code error;
        fs::remove_all(path, error);
    }
};

inline void touch(const fs::path& file, const std::string& text = "int main() {}\n")
{
    fs::create_directories(file.parent_path());
    std::ofstream(file, std::ios::binary) << text;
}

struct Entry {
    std::string name;
    unsigned type = AE_IFREG;
    std::string data;
    std::string link; // a symlink's target
};

// kind: zip, tar, tar.gz or 7z; options as archive_write_set_options takes them.
inline void write_archive(const fs::path& file, const std::vector<Entry>& entries,
                          const std::string& kind = "zip", const std::string& options = "")
{
    fs::create_directories(file.parent_path());
    archive* writer = archive_write_new();
    if (kind == "zip") {
        archive_write_set_format_zip(writer);
    } else if (kind == "7z") {
        archive_write_set_format_7zip(writer);
    } else {
        archive_write_set_format_pax_restricted(writer);
        if (kind == "tar.gz") {
            archive_write_add_filter_gzip(writer);
        }
    }
    if (!options.empty()) {
        REQUIRE(archive_write_set_options(writer, options.c_str()) == ARCHIVE_OK);
        archive_write_set_passphrase(writer, "secret");
    }
    REQUIRE(archive_write_open_filename(writer, file.c_str()) == ARCHIVE_OK);
    for (const Entry& one : entries) {
        archive_entry* entry = archive_entry_new();
        archive_entry_set_pathname(entry, one.name.c_str());
        archive_entry_set_filetype(entry, one.type);
        archive_entry_set_perm(entry, 0644);
        archive_entry_set_size(entry, static_cast<la_int64_t>(one.data.size()));
        if (one.type == AE_IFLNK) {
            archive_entry_set_symlink(entry, one.link.c_str());
        }
        archive_write_header(writer, entry);
        if (!one.data.empty()) {
            archive_write_data(writer, one.data.data(), one.data.size());
        }
        archive_entry_free(entry);
    }
    archive_write_close(writer);
    archive_write_free(writer);
}

inline void write_zip(const fs::path& file, const std::vector<Entry>& entries)
{
    write_archive(file, entries, "zip");
}

// Every path under the folder, in order, separated by blanks.
inline std::string files_under(const fs::path& folder)
{
    std::vector<std::string> found;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        found.push_back(entry.path().lexically_relative(folder).generic_string());
    }
    std::sort(found.begin(), found.end());
    std::string all;
    for (const std::string& path : found) {
        all += (all.empty() ? "" : " ") + path;
    }
    return all;
}

} // namespace check::test
