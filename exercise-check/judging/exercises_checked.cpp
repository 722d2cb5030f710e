#include "exercises_checked.h"

#include "cases.h"
#include "catalogue.h"

#include <algorithm>
#include <stdexcept>

namespace check {

namespace {

// The exercises of an assignment, in the catalogue's order.
std::vector<Exercise> assigned(const Settings& settings)
{
    if (settings.programs.empty()) {
        return settings.exercises;
    }
    std::vector<Exercise> chosen;
    for (const std::string& name : settings.programs) {
        if (find_exercise(settings.exercises, name) == nullptr) {
            std::string known;
            for (const Exercise& exercise : settings.exercises) {
                known += (known.empty() ? "" : ", ") + exercise.name;
            }
            throw std::runtime_error("no exercise is named " + name + ": the exercises are " +
                                     known);
        }
    }
    for (const Exercise& exercise : settings.exercises) {
        if (std::find(settings.programs.begin(), settings.programs.end(), exercise.name) !=
            settings.programs.end()) {
            chosen.push_back(exercise);
        }
    }
    return chosen;
}

} // namespace

std::vector<Exercise> exercises_checked(const Settings& settings)
{
    if (settings.only_case.empty()) {
        return assigned(settings);
    }
    for (const Exercise& exercise : assigned(settings)) {
        const std::string prefix = exercise.group + "." + exercise.name + ".";
        if (settings.only_case.rfind(prefix, 0) == 0) {
            for (const Case& one : load_cases(settings.case_data, exercise, settings.stdlib)) {
                if (one.name == settings.only_case) {
                    return {exercise};
                }
            }
        }
    }
    throw std::runtime_error("no case is named " + settings.only_case +
                             ": exercise-check --list-cases lists them");
}

} // namespace check
