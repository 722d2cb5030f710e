// A person's sources as found in their hand-in: which source is which exercise, how each was
// chosen, and the builds made on the way. What the check is given to judge.
#pragma once

#include "build.h"
#include "model.h"

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

namespace check {

// A source larger than this is not read: a program of an exercise never comes near it.
constexpr std::uintmax_t largest_source = 1024 * 1024;

struct Source {
    const Exercise* exercise = nullptr;
    std::filesystem::path path;
    // How it was tied to its exercise where not by its exact name: "by its name" (Two_Digits.cpp),
    // "by its folder" (twodigits/main.cpp), "by its output", "by the map"; empty for <name>.cpp.
    std::string chosen{};
};

// A build made while finding sources by their output, kept so that the check does not make it
// again.
struct Prebuilt {
    std::filesystem::path executable;
    std::filesystem::path copy; // the source it was built from, as the compiler's messages name it
    Build build;
};

// One person's sources, how they were chosen (in note lines), and the builds made on the way,
// by the path of the source.
struct LocatedSources {
    std::vector<Source> sources;
    std::vector<std::string> notes;
    std::map<std::string, Prebuilt> builds;
};

} // namespace check
