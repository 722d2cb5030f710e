#include "catalogue.h"

#include "files.h"

#include <nlohmann/json.hpp>

#include <fstream>
#include <set>
#include <stdexcept>

namespace check {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t largest_catalogue = 1024 * 1024;
constexpr std::size_t longest_short_name = 4;

bool plain_name(const std::string& name)
{
    if (name.empty() || name.size() > 64 || name.front() == '-') {
        return false;
    }
    for (const char letter : name) {
        const bool allowed =
            (letter >= 'a' && letter <= 'z') || (letter >= '0' && letter <= '9') || letter == '-';
        if (!allowed) {
            return false;
        }
    }
    return true;
}

std::string text_field(const nlohmann::json& entry, const char* key, bool required,
                       const std::string& where)
{
    const auto found = entry.find(key);
    if (found == entry.end()) {
        if (required) {
            throw std::runtime_error(where + " has no \"" + key + "\"");
        }
        return {};
    }
    if (!found->is_string()) {
        throw std::runtime_error(where + ": \"" + key + "\" must be a text");
    }
    return found->get<std::string>();
}

} // namespace

std::vector<Exercise> load_catalogue(const fs::path& case_data)
{
    const fs::path file = case_data / catalogue_file;
    std::error_code error;
    const auto size = fs::file_size(file, error);
    if (error) {
        throw std::runtime_error("no " + std::string(catalogue_file) + " in " + case_data.string() +
                                 ": give the folder of case data with --cases");
    }
    if (size > largest_catalogue) {
        throw std::runtime_error(file.string() + " is larger than 1 MiB: it is not a catalogue");
    }
    const FileRead read = read_file(file, largest_catalogue);
    if (!read.bytes) {
        throw std::runtime_error(read.problem);
    }
    const nlohmann::json document = nlohmann::json::parse(*read.bytes, nullptr, false);
    if (document.is_discarded() || !document.is_object() || !document.contains("exercises") ||
        !document["exercises"].is_array()) {
        throw std::runtime_error(file.string() +
                                 " is not {\"exercises\": [...]} in JSON: mend it or give "
                                 "another folder with --cases");
    }
    std::vector<Exercise> exercises;
    std::set<std::string> names;
    for (const nlohmann::json& entry : document["exercises"]) {
        const std::string where =
            file.string() + ": exercise " + std::to_string(exercises.size() + 1);
        if (!entry.is_object()) {
            throw std::runtime_error(where + " is not an object");
        }
        Exercise exercise;
        exercise.name = text_field(entry, "name", true, where);
        exercise.group = text_field(entry, "group", true, where);
        exercise.folder = text_field(entry, "folder", false, where);
        exercise.short_name = text_field(entry, "short", false, where);
        exercise.title = text_field(entry, "title", false, where);
        for (const auto& [key, value] :
             {std::pair{"name", &exercise.name}, std::pair{"group", &exercise.group},
              std::pair{"folder", &exercise.folder}}) {
            if (!value->empty() && !plain_name(*value)) {
                throw std::runtime_error(where + ": \"" + key + "\" \"" + *value +
                                         "\" may hold only a-z, 0-9 and -");
            }
        }
        if (exercise.short_name.empty()) {
            exercise.short_name = exercise.name.substr(0, longest_short_name);
        }
        if (exercise.short_name.size() > longest_short_name) {
            throw std::runtime_error(where + ": \"short\" has more than four characters");
        }
        if (!names.insert(exercise.name).second) {
            throw std::runtime_error(where + ": " + exercise.name + " is listed twice");
        }
        exercises.push_back(exercise);
    }
    if (exercises.empty()) {
        throw std::runtime_error(file.string() + " lists no exercise");
    }
    return exercises;
}

const Exercise* find_exercise(const std::vector<Exercise>& exercises, std::string_view name)
{
    for (const Exercise& exercise : exercises) {
        if (exercise.name == name) {
            return &exercise;
        }
    }
    return nullptr;
}

} // namespace check
