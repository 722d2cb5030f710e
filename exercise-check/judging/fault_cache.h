// The kept builds of the typical faults' variants: one folder a build, named by what it was made
// from, used again by the next check; a folder unused for a month is removed.
#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace check {

// The folder that keeps what identity (the compiler, its version and options) makes of source,
// under cache: its name is the SHA-256 of both. Empty when either of cache and identity is.
std::filesystem::path kept_folder(const std::filesystem::path& cache, const std::string& identity,
                                  const std::string& source);

// Copies kept/name to executable where it is kept, and marks the folder as used. False when it
// is not (the build is then to be made).
bool fetch_kept(const std::filesystem::path& kept, const std::string& name,
                const std::filesystem::path& executable);

// Keeps a copy of executable as kept/name; a check beside this one never finds half a file.
void keep(const std::filesystem::path& kept, const std::string& name,
          const std::filesystem::path& executable);

// Removes the kept folders of cache unused for longer than unused_for, and nothing else in it.
void prune_kept(const std::filesystem::path& cache, std::chrono::hours unused_for);

} // namespace check
