// Finds which of the exercises a person's folder holds.
#pragma once

#include "model.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace check {

struct Source {
    const Exercise* exercise = nullptr;
    std::filesystem::path path;
};

// A source larger than this is not read: a program of an exercise never comes near it.
constexpr std::uintmax_t largest_source = 1024 * 1024;

// <name>.cpp side by side in the folder, or in the exercise's own folder there (digit-exercises/
// and the like); one per exercise found, in the order of exercises. A source that is a link, or
// larger than largest_source, counts as not there; left_out, when given, gets one line for each
// such source.
std::vector<Source> find_sources(const std::filesystem::path& folder,
                                 const std::vector<Exercise>& exercises,
                                 std::vector<std::string>* left_out = nullptr);

} // namespace check
