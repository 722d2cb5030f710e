#include "faults.h"

#include "files.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstddef>
#include <set>
#include <stdexcept>

namespace check {

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t largest_faults_file = std::uint64_t{256} * 1024;
constexpr std::size_t hint_lines = 2;

std::string text_of(const nlohmann::json& entry, const char* key, const std::string& place)
{
    const auto found = entry.find(key);
    if (found == entry.end() || !found->is_string() || found->get<std::string>().empty()) {
        throw std::runtime_error(place + " needs \"" + key + "\", a text that is not empty");
    }
    return found->get<std::string>();
}

std::vector<Change> changes_of(const nlohmann::json& variant, const std::string& place)
{
    if (!variant.is_array() || variant.empty()) {
        throw std::runtime_error(place + ": a variant is a list of changes, at least one");
    }
    std::vector<Change> changes;
    for (const nlohmann::json& change : variant) {
        if (!change.is_object()) {
            throw std::runtime_error(place + ": a change is {\"replace\": ..., \"with\": ...}");
        }
        const auto with = change.find("with");
        if (with == change.end() || !with->is_string()) {
            throw std::runtime_error(place + ": a change needs \"with\", a text");
        }
        changes.push_back({text_of(change, "replace", place), with->get<std::string>()});
    }
    return changes;
}

Fault fault_of(const nlohmann::json& entry, const std::string& file)
{
    if (!entry.is_object()) {
        throw std::runtime_error(file + ": each fault is an object");
    }
    Fault fault;
    fault.id = text_of(entry, "id", file + ": a fault");
    const std::string place = file + ", " + fault.id;
    const bool plain = std::all_of(fault.id.begin(), fault.id.end(), [](char letter) {
        return (letter >= 'a' && letter <= 'z') || (letter >= '0' && letter <= '9') ||
               letter == '-' || letter == '.';
    });
    if (!plain) {
        throw std::runtime_error(place + ": an id holds only a-z, 0-9, - and .");
    }
    fault.hint = text_of(entry, "hint", place);
    const auto lines = 1 + std::count(fault.hint.begin(), fault.hint.end(), '\n');
    if (lines > static_cast<std::ptrdiff_t>(hint_lines) || fault.hint.back() == '\n') {
        throw std::runtime_error(place + ": a hint is one or two lines, with no line end after");
    }
    const auto differs = entry.find("differs");
    if (differs != entry.end()) {
        const auto part = [](const nlohmann::json& one) {
            return one.is_string() && (one == "output" || one == "standard_error");
        };
        if (!differs->is_array() || !std::all_of(differs->begin(), differs->end(), part)) {
            throw std::runtime_error(place +
                                     ": \"differs\" is a list of \"output\", \"standard_error\"");
        }
        for (const nlohmann::json& one : *differs) {
            (one == "output" ? fault.output_may_differ : fault.standard_error_may_differ) = true;
        }
    }
    const auto variants = entry.find("variants");
    if (variants == entry.end() || !variants->is_array() || variants->empty()) {
        throw std::runtime_error(place + " needs \"variants\", a list of at least one");
    }
    for (const nlohmann::json& variant : *variants) {
        fault.variants.push_back(changes_of(variant, place));
    }
    return fault;
}

} // namespace

std::vector<Fault> load_faults(const fs::path& case_data, const Exercise& exercise)
{
    const fs::path path = case_data / exercise.group / exercise.name / faults_file;
    const FileRead read = read_file(path, largest_faults_file);
    if (read.missing) {
        return {};
    }
    if (!read.bytes) {
        throw std::runtime_error(read.problem);
    }
    const std::string file = path.string();
    const nlohmann::json data = nlohmann::json::parse(*read.bytes, nullptr, false);
    if (data.is_discarded() || !data.is_object() || !data.contains("faults") ||
        !data["faults"].is_array()) {
        throw std::runtime_error(file + " is not {\"faults\": [...]} in JSON");
    }
    std::vector<Fault> faults;
    std::set<std::string> ids;
    for (const nlohmann::json& entry : data["faults"]) {
        faults.push_back(fault_of(entry, file));
        if (!ids.insert(faults.back().id).second) {
            throw std::runtime_error(file + " lists " + faults.back().id + " twice");
        }
    }
    return faults;
}

fs::path own_source(const fs::path& case_data, const Exercise& exercise)
{
    const std::string file = exercise.name + ".cpp";
    std::error_code error;
    fs::path installed = case_data / exercise.group / exercise.name / file;
    if (fs::is_regular_file(installed, error)) {
        return installed;
    }
    fs::path in_tree = case_data / ".." / exercise.folder / file;
    if (!exercise.folder.empty() && fs::is_regular_file(in_tree, error)) {
        return in_tree;
    }
    return {};
}

std::optional<std::string> apply(std::string source, const std::vector<Change>& changes)
{
    for (const Change& change : changes) {
        const std::size_t place = source.find(change.text);
        if (place == std::string::npos) {
            return std::nullopt;
        }
        source.replace(place, change.text.size(), change.replacement);
    }
    return source;
}

} // namespace check
