// Archives a hand-in comes in, unpacked safely: zip, tar (plain or compressed), 7z and rar.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace check {

// What an archive, or a folder handed in, may hold at most: a hand-in is nine small sources.
struct ArchiveLimits {
    std::uint64_t bytes = 64ULL * 1024 * 1024; // all files together
    std::size_t entries = 10000;
};

// "64 MiB or 10000 entries"
std::string limits_text(const ArchiveLimits& limits);

struct Unpacked {
    bool ok = false;
    std::string problem;     // why nothing was unpacked, when not ok
    std::size_t skipped = 0; // entries left out: links, devices, paths leading outside
    std::size_t files = 0;   // plain files written
    std::uint64_t bytes = 0; // what they hold together
    std::size_t entries = 0; // entries read, folders and those left out included
};

// Whether a file of this name is taken as an archive: .zip, .tar, .tar.gz, .tgz, .tar.bz2,
// .tar.xz, .7z, .rar, in any case.
bool is_archive_name(std::string_view name);

// The name without its archive ending: "bob" for bob.zip and bob.tar.gz.
std::string without_archive_ending(std::string_view name);

// Unpacks an archive into the folder, plain files and folders only, each inside it; when the
// archive cannot be read or is too large, leaves the folder empty and says why. A link named as
// the archive is not followed.
Unpacked unpack_archive(const std::filesystem::path& archive, const std::filesystem::path& into,
                        const ArchiveLimits& limits = {});

// An archive entry's name as a path inside the folder unpacked into, or nothing when it would
// lead outside: absolute, with "..", a drive letter. Backslashes count as separators.
std::optional<std::filesystem::path> safe_entry_path(std::string_view name);

// An entry's name as UTF-8: kept when it is, otherwise read in code page 852, which Windows'
// own zip tool writes on Central European systems.
std::string entry_name_text(std::string_view name);

} // namespace check
