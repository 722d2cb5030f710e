// Finds which of the exercises a person's folder holds, by the names its sources and folders have.
#pragma once

#include "located.h"
#include "model.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace check {

// Sources of one person that no name ties to a program tried by what they print: at most this
// many.
constexpr std::size_t most_unnamed = 24;

// Sources named in the notes for one reason: at most this many, then how many more.
constexpr std::size_t most_named = 5;

// A name as loose names compare: lower-case ASCII, without blanks, '_', '-' and '.'.
std::string loose_name(std::string_view name);

// Whether a file name is a C++ source's: .cpp, .cc, .cxx or .c++ in any case.
bool is_source_name(std::string_view name);

// Whether a folder of that name holds what a build or an IDE wrote, never sources: bin, obj,
// Debug, Release, x64, cmake-build-*, .vs and the like.
bool is_build_folder(std::string_view name);

// What is wrong with a source's first bytes, or empty: "is UTF-16 text", "is a Word document",
// "is not text".
std::string not_plain_text(std::string_view head);

// What a folder holds by name. sources: one per exercise found, in the order of exercises, each
// <name>.cpp in the folder or the exercise's own folder there (digit-exercises/ and the like),
// else a source whose name is the exercise's loosely (Two-Digits.CPP), else the one source of a
// folder named after the exercise (an IDE's project: twodigits/main.cpp, or its single .cpp).
// unnamed: the sources left that no name ties to an exercise, in the folder, its exercises' folders
// and the project folders in it (Projekt1/prog4.cpp), build output never. notes: one line for
// each source left out (a link, over 1 MiB, a second source for one exercise) or not text.
struct FolderSources {
    std::vector<Source> sources;
    std::vector<std::filesystem::path> unnamed;
    std::vector<std::string> notes;
};
FolderSources sources_in(const std::filesystem::path& folder,
                         const std::vector<Exercise>& exercises);

// The sources of sources_in(); left_out, when given, gets its notes.
std::vector<Source> find_sources(const std::filesystem::path& folder,
                                 const std::vector<Exercise>& exercises,
                                 std::vector<std::string>* left_out = nullptr);

} // namespace check
