// The exercises a hand-in may hold, in order: read from exercises.json at the root of the case
// data.
#pragma once

#include "model.h"

#include <filesystem>
#include <string_view>
#include <vector>

namespace check {

// The file at the root of the case data that lists the exercises.
constexpr const char* catalogue_file = "exercises.json";

// {"exercises": [{"name": "twodigits", "group": "digits", "folder": "digit-exercises",
// "short": "2dig", "title": "..."}, ...]}, in the file's order. Names, groups and folders are
// lower-case letters, digits and hyphens, since they name files and tests; short names are at
// most four characters (the first four of the name when not given). Throws std::runtime_error,
// in one line that says what to mend, when the file is missing or wrong.
std::vector<Exercise> load_catalogue(const std::filesystem::path& case_data);

// The exercise of that name, or nullptr.
const Exercise* find_exercise(const std::vector<Exercise>& exercises, std::string_view name);

} // namespace check
