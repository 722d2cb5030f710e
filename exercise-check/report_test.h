// For the reports' tests: a report of the exercises of this project, with no one in it yet.
#pragma once

#include "model.h"
#include "programs.h"

#include <map>
#include <string>

namespace check::testing {

inline Report empty_report()
{
    static const std::map<std::string_view, std::string> short_names{
        {"twodigits", "2dig"},  {"threedigits", "3dig"},   {"reversetwo", "rev2"},
        {"echonumber", "echo"}, {"averageheight", "avgh"}, {"circle", "circ"},
        {"helloworld", "hwld"}, {"hellolines", "hlns"},    {"greetings", "grts"},
    };
    Report report;
    for (const Program& program : programs()) {
        report.exercises.push_back({std::string(program.name), std::string(program.group),
                                    std::string(program.folder), short_names.at(program.name), ""});
    }
    return report;
}

// A person with a result for every exercise of the report, each with that verdict.
inline PersonResult person_of(const Report& report, const std::string& name, ProgramVerdict verdict)
{
    PersonResult person{name, "class/" + name, "", {}};
    for (const Exercise& exercise : report.exercises) {
        ProgramResult program;
        program.program = exercise.name;
        program.group = exercise.group;
        program.source = exercise.folder + '/' + exercise.name + ".cpp";
        program.verdict = verdict;
        person.programs.push_back(program);
    }
    return person;
}

} // namespace check::testing
