// A class checked in shards put back together: the JSON reports read back and joined into the
// report one run would have given.
#include "merge.h"

#include "catalogue.h"
#include "files.h"
#include "report.h"
#include "signals.h"
#include "text.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>

namespace check {

namespace {

using Json = nlohmann::json;

template <typename Verdict, typename Name>
Verdict verdict_named(const std::string& name, Verdict last, Name name_of, const char* what)
{
    for (int value = 0; value <= static_cast<int>(last); ++value) {
        if (name_of(static_cast<Verdict>(value)) == name) {
            return static_cast<Verdict>(value);
        }
    }
    throw std::runtime_error(std::string("unknown ") + what + " verdict '" + name + "'");
}

std::string text(const Json& object, const char* key)
{
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

std::vector<std::string> texts(const Json& object, const char* key)
{
    std::vector<std::string> values;
    const auto found = object.find(key);
    if (found != object.end() && found->is_array()) {
        for (const Json& value : *found) {
            if (value.is_string()) {
                values.push_back(value.get<std::string>());
            }
        }
    }
    return values;
}

CaseResult read_case(const Json& object)
{
    CaseResult result;
    result.name = text(object, "name");
    result.verdict =
        verdict_named(text(object, "verdict"), CaseVerdict::not_built, case_verdict_name, "case");
    result.departure = object.value("departure", false);
    result.remark = text(object, "remark");
    result.why = text(object, "why");
    result.random_input = text(object, "random_input");
    result.args = texts(object, "arguments");
    const auto shown = [&object](const char* key) -> std::optional<ShownText> {
        const auto found = object.find(key);
        if (found == object.end() || !found->is_object()) {
            return std::nullopt;
        }
        ShownText one;
        one.title = text(*found, "title");
        one.bytes = text(*found, "text");
        const auto left_out = found->find("left_out");
        if (left_out != found->end() && left_out->is_number_unsigned()) {
            one.left_out = left_out->get<std::size_t>();
        }
        return one;
    };
    result.input = shown("input");
    result.expected = shown("expected");
    result.actual = shown("actual");
    result.standard_error = shown("stderr");
    if (const auto found = object.find("difference"); found != object.end() && found->is_object()) {
        Difference difference;
        difference.line = found->value("line", std::size_t{1});
        difference.column = found->value("column", std::size_t{1});
        difference.expected = text(*found, "expected");
        difference.actual = text(*found, "actual");
        result.difference = difference;
    }
    result.in_words = text(object, "in_words");
    if (const auto found = object.find("exit_status");
        found != object.end() && found->is_number_integer()) {
        result.exit_status = found->get<int>();
    }
    // The signal is written by its name and meaning.
    const std::string signal = text(object, "signal");
    for (int number = 1; number < 65 && !signal.empty(); ++number) {
        if (signal_name(number) == signal) {
            result.signal = number;
            break;
        }
    }
    const auto seconds = object.find("seconds");
    result.seconds = seconds != object.end() && seconds->is_number() ? seconds->get<double>() : 0;
    return result;
}

ProgramResult read_program(const Json& object, const std::vector<Exercise>& catalogue)
{
    ProgramResult program;
    program.program = text(object, "program");
    const Exercise* exercise = find_exercise(catalogue, program.program);
    if (exercise == nullptr) {
        throw std::runtime_error("the program '" + program.program + "' is not in the catalogue");
    }
    program.group = exercise->group;
    program.source = text(object, "source");
    program.verdict = verdict_named(text(object, "verdict"), ProgramVerdict::absent,
                                    program_verdict_name, "program");
    program.advice = texts(object, "advice");
    program.compiler_output = text(object, "compiler_output");
    if (const auto found = object.find("compile_hints");
        found != object.end() && found->is_array()) {
        for (const Json& one : *found) {
            if (one.is_object()) {
                program.compile_hints.push_back({text(one, "id"), text(one, "hint")});
            }
        }
    }
    program.same_source_as = texts(object, "same_source_as");
    program.source_sha256 = text(object, "source_sha256");
    if (const auto found = object.find("diagnosis"); found != object.end() && found->is_array()) {
        for (const Json& one : *found) {
            if (one.is_object()) {
                program.diagnosis.push_back(
                    {text(one, "fault"), text(one, "hint"), texts(one, "cases")});
            }
        }
    }
    program.unexplained = texts(object, "unexplained");
    program.resembles = texts(object, "resembles");
    const auto cases = object.find("cases");
    if (cases != object.end() && cases->is_array()) {
        for (const Json& one : *cases) {
            program.cases.push_back(read_case(one));
        }
    }
    return program;
}

std::vector<std::string> program_names(const Report& report)
{
    std::vector<std::string> names;
    for (const Exercise& exercise : report.exercises) {
        names.push_back(exercise.name);
    }
    return names;
}

// People in name order, as one run lists them, their digests alongside.
void in_name_order(Report& merged, std::vector<std::vector<std::string>>& digests)
{
    std::vector<std::size_t> order(merged.people.size());
    for (std::size_t index = 0; index < order.size(); ++index) {
        order[index] = index;
    }
    std::stable_sort(order.begin(), order.end(), [&](std::size_t left, std::size_t right) {
        return name_order(merged.people[left].name, merged.people[right].name);
    });
    std::vector<PersonResult> people;
    std::vector<std::vector<std::string>> sorted_digests;
    for (const std::size_t index : order) {
        people.push_back(std::move(merged.people[index]));
        sorted_digests.push_back(std::move(digests[index]));
    }
    merged.people = std::move(people);
    digests = std::move(sorted_digests);
}

// Who handed in the same bytes, across every part: each program's same_source_as made anew.
void find_same_sources(Report& merged, const std::vector<std::vector<std::string>>& digests)
{
    for (std::size_t slot = 0; slot < merged.exercises.size(); ++slot) {
        std::map<std::string, std::vector<std::size_t>> by_digest;
        for (std::size_t index = 0; index < merged.people.size(); ++index) {
            ProgramResult& program = merged.people[index].programs[slot];
            program.same_source_as.clear();
            if (program.source.empty()) {
                continue;
            }
            const std::string& digest = digests[index][slot];
            if (digest.empty()) {
                throw std::runtime_error(merged.people[index].name + "'s " + program.program +
                                         " has no source_sha256: the reports are too old to merge");
            }
            by_digest[digest].push_back(index);
        }
        for (const auto& [digest, group] : by_digest) {
            for (const std::size_t index : group) {
                for (const std::size_t other : group) {
                    if (other != index) {
                        merged.people[index].programs[slot].same_source_as.push_back(
                            merged.people[other].name);
                    }
                }
            }
        }
    }
}

// The limits a report says it held its programs to, or none.
Report::Bounds read_bounds(const Json& document)
{
    Report::Bounds bounds;
    const auto limits = document.find("limits");
    if (limits == document.end() || !limits->is_object()) {
        return bounds;
    }
    const auto number = [&limits](const char* group, const char* key, auto& value) {
        const auto found = limits->find(group);
        if (found != limits->end() && found->is_object() && found->contains(key) &&
            (*found)[key].is_number() && (*found)[key].get<double>() >= 0) {
            value = (*found)[key].get<std::remove_reference_t<decltype(value)>>();
        }
    };
    number("build_bytes", "program", bounds.build_program_bytes);
    number("build_bytes", "person", bounds.build_person_bytes);
    number("run_budget_seconds", "program", bounds.program_seconds);
    number("run_budget_seconds", "person", bounds.person_seconds);
    number("files_bytes", "run", bounds.run_files_bytes);
    return bounds;
}

} // namespace

ReadReport read_json_report(std::istream& input, const std::vector<Exercise>& catalogue)
{
    Json document;
    try {
        document = Json::parse(input);
    } catch (const Json::exception& problem) {
        throw std::runtime_error(std::string("not JSON: ") + problem.what());
    }
    if (!document.is_object() || !document.contains("people") || !document["people"].is_array()) {
        throw std::runtime_error("not a report of exercise-check: no \"people\"");
    }
    ReadReport read;
    try {
        read.report.strict = document.value("strict", false);
        read.report.from_store = document.value("from_store", std::size_t{0});
        read.report.sandbox = document.contains("sandbox")
                                  ? document["sandbox"].get<std::string>()
                                  : (document.value("sandboxed", true) ? "bubblewrap" : "none");
        read.report.memory_limit = text(document, "memory_limit");
        read.report.bounds = read_bounds(document);
        if (document.contains("not_read") && document["not_read"].is_array()) {
            for (const Json& entry : document["not_read"]) {
                read.report.not_read.push_back({text(entry, "path"), text(entry, "why")});
            }
        }
        for (const Json& person_json : document["people"]) {
            if (!person_json.is_object()) {
                throw std::runtime_error("not a report of exercise-check: a person is not an "
                                         "object");
            }
            PersonResult person;
            person.name = text(person_json, "name");
            if (person_json.contains("id")) {
                person.id = text(person_json, "id");
            }
            person.folder = text(person_json, "folder");
            person.note = text(person_json, "note");
            if (person_json.contains("late") && person_json["late"].is_boolean()) {
                person.late = person_json["late"].get<bool>();
            }
            std::vector<std::string> digests;
            if (person_json.contains("programs") && person_json["programs"].is_array()) {
                for (const Json& program : person_json["programs"]) {
                    person.programs.push_back(read_program(program, catalogue));
                    digests.push_back(text(program, "source_sha256"));
                }
            }
            std::vector<Exercise> exercises;
            for (const ProgramResult& program : person.programs) {
                exercises.push_back(*find_exercise(catalogue, program.program));
            }
            if (read.report.people.empty()) {
                read.report.exercises = exercises;
            } else if (program_names(read.report) != program_names([&exercises] {
                           Report named;
                           named.exercises = exercises;
                           return named;
                       }())) {
                throw std::runtime_error(person.name + " has other programs than " +
                                         read.report.people.front().name);
            }
            read.report.people.push_back(std::move(person));
            read.digests.push_back(std::move(digests));
        }
    } catch (const Json::exception& problem) {
        throw std::runtime_error(std::string("not a report of exercise-check: ") + problem.what());
    }
    return read;
}

Report merge_reports(const std::vector<ReadReport>& parts)
{
    Report merged;
    std::vector<std::vector<std::string>> digests;
    bool first = true;
    std::set<std::string> names;
    for (const ReadReport& part : parts) {
        if (part.report.people.empty()) {
            continue; // a shard that nobody fell into
        }
        if (first) {
            merged.exercises = part.report.exercises;
            merged.strict = part.report.strict;
            merged.sandbox = part.report.sandbox;
            merged.memory_limit = part.report.memory_limit;
            merged.bounds = part.report.bounds;
            first = false;
        } else if (program_names(part.report) != program_names(merged)) {
            throw std::runtime_error("the reports check other programs: "
                                     "every shard must be checked with the same options");
        } else if (part.report.strict != merged.strict) {
            throw std::runtime_error("some reports are strict and some not: "
                                     "every shard must be checked with the same options");
        }
        merged.from_store += part.report.from_store;
        if (part.report.sandbox == "none") {
            merged.sandbox = "none";
        }
        // Every shard reads the whole class, so each names what of it is no one's.
        for (const LeftUnread& entry : part.report.not_read) {
            if (std::none_of(merged.not_read.begin(), merged.not_read.end(),
                             [&](const LeftUnread& known) { return known.path == entry.path; })) {
                merged.not_read.push_back(entry);
            }
        }
        // The weakest hold any shard had: none, then per-process limits, then a cgroup.
        if (part.report.memory_limit.empty() ||
            (part.report.memory_limit != "cgroup" && merged.memory_limit == "cgroup")) {
            merged.memory_limit = part.report.memory_limit;
        }
        for (std::size_t index = 0; index < part.report.people.size(); ++index) {
            const PersonResult& person = part.report.people[index];
            if (!names.insert(person.name).second) {
                throw std::runtime_error(person.name + " is in two reports: the shards overlap");
            }
            merged.people.push_back(person);
            digests.push_back(part.digests.at(index));
        }
    }

    in_name_order(merged, digests);
    find_same_sources(merged, digests);
    return merged;
}

// A shard's report is far smaller: a class of a thousand people with every case's texts.
constexpr std::uint64_t largest_report = 256ULL * 1024 * 1024;

Report merge_report_files(const std::vector<std::string>& paths,
                          const std::vector<Exercise>& catalogue)
{
    std::vector<ReadReport> parts;
    for (const std::string& path : paths) {
        std::istringstream input(read_file_or_throw(path, largest_report));
        try {
            parts.push_back(read_json_report(input, catalogue));
        } catch (const std::runtime_error& problem) {
            throw std::runtime_error(path + ": " + problem.what());
        }
    }
    return merge_reports(parts);
}

} // namespace check
