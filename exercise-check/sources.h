// Finds which of the nine programs a person's folder holds.
#pragma once

#include "programs.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace check {

struct Source {
    const Program* program = nullptr;
    std::filesystem::path path;
};

// A source larger than this is not read: nine small programs never come near it.
constexpr std::uintmax_t largest_source = 1024 * 1024;

// <program>.cpp side by side in the folder, or in the three folders digit-exercises/,
// calculators/ and greeting-programs/; one per program found, in the order of programs().
// A source that is a link, or larger than largest_source, counts as not there; left_out, when
// given, gets one line for each such source.
std::vector<Source> find_sources(const std::filesystem::path& folder,
                                 std::vector<std::string>* left_out = nullptr);

} // namespace check
