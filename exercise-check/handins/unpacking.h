// Unpacks the archives in a copied hand-in where they lie, and those inside them, but no deeper,
// within what the hand-in may still take.
#pragma once

#include "archives.h"
#include "copying.h"

#include <cstddef>
#include <filesystem>
#include <string>

namespace check {

constexpr std::size_t deepest_archive = 2; // a hand-in's archive, and one inside it

// The lines a note gets about an archive unpacked into the folder.
void note_unpacked(const std::string& name, const Unpacked& unpacked,
                   const std::filesystem::path& into, Findings& findings);

// Unpacks every archive in a copied hand-in where it lies, the archive replaced by a folder of
// its name; level is how deep in archives the folder lies. prefix names the paths in the notes.
void unpack_archives_in(const std::filesystem::path& folder, const std::filesystem::path& root,
                        const std::string& prefix, std::size_t level, Budget& budget,
                        Findings& findings);

} // namespace check
