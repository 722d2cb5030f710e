#include "check_people.h"

#include "matching.h"

namespace check {

Report check_people(const std::vector<Person>& people, const Settings& settings, Runner& runner,
                    const Progress& progress, const Steps& steps)
{
    const std::vector<Exercise> exercises = exercises_checked(settings);
    std::vector<LocatedSources> located = locate_sources(people, settings, exercises, runner);
    return check_located(people, std::move(located), exercises, settings, runner, progress, steps);
}

} // namespace check
