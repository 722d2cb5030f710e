// A class's reports share these: people in name order, the look of a verdict, who handed in
// the same sources, and the line that tells how far the check is.
#include "report_class.h"

#include "points.h"
#include "report.h"
#include "report_colour.h"
#include "text.h"

#include <algorithm>
#include <iomanip>
#include <map>
#include <set>
#include <sstream>

namespace check {

std::vector<const PersonResult*> in_name_order(const Report& report)
{
    std::vector<const PersonResult*> people;
    for (const PersonResult& person : report.people) {
        people.push_back(&person);
    }
    std::stable_sort(
        people.begin(), people.end(),
        [](const PersonResult* a, const PersonResult* b) { return name_order(a->name, b->name); });
    return people;
}

const ProgramResult* find_result(const PersonResult& person, const Exercise& exercise)
{
    for (const ProgramResult& result : person.programs) {
        if (result.program == exercise.name) {
            return &result;
        }
    }
    return nullptr;
}

ProgramVerdict verdict_of(const ProgramResult* result)
{
    return result != nullptr ? result->verdict : ProgramVerdict::absent;
}

std::string short_name(const Exercise& exercise)
{
    return exercise.short_name.empty() ? exercise.name.substr(0, 4) : exercise.short_name;
}

std::string points_shown(const PersonResult& person, bool strict)
{
    const Points points = person_points(person, strict);
    return std::to_string(points.points) + "/" + std::to_string(points.max_points);
}

Look look_of(ProgramVerdict verdict)
{
    switch (verdict) {
    case ProgramVerdict::correct: return {"+", colour::green, "correct"};
    case ProgramVerdict::wrong: return {"x", colour::red, "wrong"};
    case ProgramVerdict::does_not_compile: return {"!", colour::red, "does not compile"};
    case ProgramVerdict::absent: return {"-", colour::dim, "absent"};
    }
    return {"?", {}, "?"};
}

std::vector<SameSources> same_sources(const Report& report)
{
    std::map<std::vector<std::string>, std::vector<std::string>> programs_of;
    std::vector<std::vector<std::string>> order;
    for (const Exercise& exercise : report.exercises) {
        std::set<std::vector<std::string>> seen;
        for (const PersonResult* person : in_name_order(report)) {
            const ProgramResult* result = find_result(*person, exercise);
            if (result == nullptr || result->same_source_as.empty()) {
                continue;
            }
            std::vector<std::string> group = result->same_source_as;
            group.push_back(person->name);
            std::sort(group.begin(), group.end(), name_order);
            if (!seen.insert(group).second) {
                continue;
            }
            if (programs_of.find(group) == programs_of.end()) {
                order.push_back(group);
            }
            programs_of[group].push_back(exercise.name);
        }
    }
    std::vector<SameSources> all;
    for (const std::vector<std::string>& group : order) {
        all.push_back({group, programs_of[group]});
    }
    return all;
}

std::string programs_named(const Report& report, const std::vector<std::string>& names)
{
    if (names.size() == report.exercises.size()) {
        return "every program";
    }
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    return text;
}

} // namespace check
