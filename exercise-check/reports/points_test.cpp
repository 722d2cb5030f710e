// Points: what each verdict earns, with and without strict, and how a person's add up.
#include "points.h"

#include <doctest/doctest.h>

namespace {

using namespace check;

ProgramResult program(std::string name, ProgramVerdict verdict)
{
    ProgramResult result;
    result.program = std::move(name);
    result.verdict = verdict;
    return result;
}

} // namespace

TEST_CASE("a correct program earns its point, every other verdict none")
{
    struct Row {
        ProgramVerdict verdict;
        int points;
        int strict_points;
    };
    const Row rows[] = {
        {ProgramVerdict::correct, 1, 1},
        {ProgramVerdict::wrong, 0, 0},
        {ProgramVerdict::does_not_compile, 0, 0},
        {ProgramVerdict::absent, 0, 0},
    };
    for (const Row& row : rows) {
        CAPTURE(program_verdict_name(row.verdict));
        CHECK(program_points(program("p", row.verdict), false) == row.points);
        CHECK(program_points(program("p", row.verdict), true) == row.strict_points);
    }
}

TEST_CASE("a person's points count every program listed, absent ones towards the maximum")
{
    PersonResult person;
    person.programs = {program("a", ProgramVerdict::correct), program("b", ProgramVerdict::absent),
                       program("c", ProgramVerdict::correct), program("d", ProgramVerdict::wrong)};
    CHECK(person_points(person, false).points == 2);
    CHECK(person_points(person, false).max_points == 4);
    CHECK(scaled_grade(person_points(person, false), 0, 10) == doctest::Approx(5));
    CHECK(scaled_grade(person_points(person, false), 2, 4) == doctest::Approx(3));
    CHECK(scaled_grade(person_points(PersonResult{}, false), 2, 4) == doctest::Approx(2));
}

TEST_CASE("a summary names the first case that counts against the program")
{
    ProgramResult circle = program("circle", ProgramVerdict::wrong);
    CaseResult departure;
    departure.name = "calculators.circle.output-full";
    departure.verdict = CaseVerdict::wrong_status;
    departure.departure = true;
    CaseResult plain;
    plain.name = "calculators.circle.plain";
    plain.verdict = CaseVerdict::wrong_output;
    circle.cases = {departure, plain};
    CHECK(program_summary(circle, false) == "circle wrong: calculators.circle.plain wrong-output");
    CHECK(program_summary(circle, true) ==
          "circle wrong: calculators.circle.output-full wrong-status");

    ProgramResult advised = program("twodigits", ProgramVerdict::correct);
    advised.advice = {"exits with 0 when its output is lost"};
    advised.cases = {departure};
    CHECK(program_summary(advised, false) ==
          "twodigits correct; advice: exits with 0 when its output is lost");
    advised.verdict = ProgramVerdict::wrong; // as a strict check decides it
    CHECK(program_summary(advised, true) ==
          "twodigits wrong: calculators.circle.output-full wrong-status");
}
