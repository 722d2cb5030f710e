// For the reports' tests: a report of the exercises of this project, with no one in it yet.
#pragma once

#include "model.h"
#include <string>

namespace check::testing {

inline Report empty_report()
{
    Report report;
    report.exercises = {
        {"twodigits", "digits", "digit-exercises", "2dig", "splits a two-digit number"},
        {"threedigits", "digits", "digit-exercises", "3dig", "splits a three-digit number"},
        {"reversetwo", "digits", "digit-exercises", "rev2", "reverses a two-digit number"},
        {"echonumber", "calculators", "calculators", "echo", "prints back an integer"},
        {"averageheight", "calculators", "calculators", "avgh", "averages three heights"},
        {"circle", "calculators", "calculators", "circ", "a circle's area and circumference"},
        {"helloworld", "greetings", "greeting-programs", "hwld", "prints a greeting"},
        {"hellolines", "greetings", "greeting-programs", "hlns", "prints greeting lines"},
        {"greetings", "greetings", "greeting-programs", "grts", "prints two greetings"},
    };
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
