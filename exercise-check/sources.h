// Finds which of the nine programs a person's folder holds.
#pragma once

#include "programs.h"

#include <filesystem>
#include <vector>

namespace check {

struct Source {
    const Program* program = nullptr;
    std::filesystem::path path;
};

// <program>.cpp side by side in the folder, or in the three folders digit-exercises/,
// calculators/ and greeting-programs/; one per program found, in the order of programs().
std::vector<Source> find_sources(const std::filesystem::path& folder);

} // namespace check
