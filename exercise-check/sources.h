// Finds which of the exercises a person's folder holds.
#pragma once

#include "model.h"

#include <filesystem>
#include <vector>

namespace check {

struct Source {
    const Exercise* exercise = nullptr;
    std::filesystem::path path;
};

// <name>.cpp side by side in the folder, or in the exercise's own folder there (digit-exercises/
// and the like); one per exercise found, in the order of exercises.
std::vector<Source> find_sources(const std::filesystem::path& folder,
                                 const std::vector<Exercise>& exercises);

} // namespace check
