#include "diagnosis.h"

#include <doctest/doctest.h>

using namespace check;

namespace {

CaseResult ran(const std::string& name, CaseVerdict verdict = CaseVerdict::passed,
               const std::string& output = "")
{
    CaseResult result;
    result.name = name;
    result.verdict = verdict;
    if (verdict != CaseVerdict::passed) {
        result.actual = shown("actual output", output, 4000);
        result.exit_status = 0;
    }
    return result;
}

const CaseVerdict passed = CaseVerdict::passed;
const CaseVerdict output = CaseVerdict::wrong_output;
const CaseVerdict layout = CaseVerdict::wrong_layout;
const CaseVerdict timeout = CaseVerdict::timeout;

// A wrong program with cases a, b and c, as given.
ProgramResult program(std::initializer_list<CaseResult> cases)
{
    ProgramResult result;
    result.program = "circle";
    result.source = "circle.cpp";
    result.verdict = ProgramVerdict::wrong;
    result.cases = cases;
    return result;
}

VariantRun variant(const Fault& fault, std::initializer_list<CaseResult> cases)
{
    VariantRun run;
    run.fault = &fault;
    for (const CaseResult& one : cases) {
        run.cases[one.name] = one;
    }
    return run;
}

std::vector<std::string> named(const ProgramResult& result)
{
    std::vector<std::string> ids;
    for (const Diagnosis& found : result.diagnosis) {
        ids.push_back(found.fault);
    }
    return ids;
}

using Names = std::vector<std::string>;

} // namespace

TEST_CASE("a fault is named where its variant fails as the program does, and passes where it does")
{
    const Fault pi{"pi-3.14", "hint", false, {}};
    const Fault waits{"waits-at-end", "hint", true, {}};
    const ProgramResult wrong =
        program({ran("a", output, "19.625"), ran("b"), ran("c", timeout, "so far")});
    struct Example {
        const char* what;
        std::vector<VariantRun> variants;
        Names faults;
        Names unexplained;
    };
    const Example examples[] = {
        {"the same output, passing elsewhere",
         {variant(pi, {ran("a", output, "19.625"), ran("b"), ran("c")})},
         {"pi-3.14"},
         {"c"}},
        {"another output", {variant(pi, {ran("a", output, "19.634"), ran("b"), ran("c")})}, {}, {}},
        {"the same verdict but another layout of failure",
         {variant(pi, {ran("a", layout, "19.625"), ran("b"), ran("c")})},
         {},
         {}},
        {"failing a case the program passes",
         {variant(pi, {ran("a", output, "19.625"), ran("b", output, "x"), ran("c")})},
         {},
         {}},
        {"not run on a case the program passes: nothing backs it",
         {variant(pi, {ran("a", output, "19.625"), ran("c")})},
         {},
         {}},
        {"a fault that shows by its verdict, whatever the output so far",
         {variant(waits, {ran("a"), ran("b"), ran("c", timeout, "other")})},
         {"waits-at-end"},
         {"a"}},
        {"two faults, each explaining its own case",
         {variant(pi, {ran("a", output, "19.625"), ran("b"), ran("c")}),
          variant(waits, {ran("a"), ran("b"), ran("c", timeout, "")})},
         {"pi-3.14", "waits-at-end"},
         {}},
        {"two variants of one fault, named once",
         {variant(pi, {ran("a", output, "19.625"), ran("b"), ran("c")}),
          variant(pi, {ran("a"), ran("b"), ran("c", timeout, "so far")})},
         {"pi-3.14"},
         {}},
    };
    for (const Example& example : examples) {
        CAPTURE(example.what);
        ProgramResult result = wrong;
        diagnose(result, example.variants, false);
        CHECK(named(result) == example.faults);
        CHECK(result.unexplained == example.unexplained);
    }
}

TEST_CASE("a fault whose cases a larger named fault explains too is left out")
{
    const Fault heights{"heights-not-int", "", false, {}};
    const Fault sum{"sum-in-single", "", false, {}};
    const Fault other{"other", "", false, {}};
    ProgramResult result = program({ran("a", output, "1"), ran("b", output, "2"), ran("c")});
    diagnose(result,
             {variant(sum, {ran("a", output, "1"), ran("b"), ran("c")}),
              variant(heights, {ran("a", output, "1"), ran("b", output, "2"), ran("c")})},
             false);
    CHECK(named(result) == Names{"heights-not-int"});
    REQUIRE(result.diagnosis.size() == 1);
    CHECK(result.diagnosis[0].cases == Names{"a", "b"});
    // Two that explain the same cases are both named: the cases cannot tell them apart.
    diagnose(result,
             {variant(sum, {ran("a", output, "1"), ran("b", output, "2"), ran("c")}),
              variant(other, {ran("a", output, "1"), ran("b", output, "2"), ran("c")})},
             false);
    CHECK(named(result) == Names{"sum-in-single", "other"});
}

TEST_CASE("a program that is not wrong gets no diagnosis")
{
    const Fault pi{"pi-3.14", "", false, {}};
    for (const ProgramVerdict verdict :
         {ProgramVerdict::correct, ProgramVerdict::does_not_compile}) {
        ProgramResult result = program({ran("a", output, "1"), ran("b")});
        result.verdict = verdict;
        diagnose(result, {variant(pi, {ran("a", output, "1"), ran("b")})}, false);
        CHECK(result.diagnosis.empty());
        CHECK(result.unexplained.empty());
    }
}

TEST_CASE("a random input's failure is the same only for the same input")
{
    const Fault fault{"missing-line-end", "", false, {}};
    CaseResult mine = ran("r", output, "12");
    mine.random_input = "random input 3 of 200 (seed 7)";
    CaseResult theirs = mine;
    CHECK(explains(fault, theirs, mine));
    theirs.random_input = "random input 4 of 200 (seed 7)";
    CHECK_FALSE(explains(fault, theirs, mine));
    CHECK_FALSE(explains(fault, ran("r"), ran("r"))); // a passed case explains nothing
}

TEST_CASE("advice every program has is said once, of them all")
{
    PersonResult person;
    for (const char* name : {"a", "b", "c"}) {
        ProgramResult one;
        one.program = name;
        one.source = std::string(name) + ".cpp";
        one.advice = {"exits with 0 when its output is lost: bad"};
        person.programs.push_back(one);
    }
    person.programs[1].advice.emplace_back(
        "prints another value than 0 for a number it never read");
    person.programs.emplace_back(); // not handed in: it does not count
    CHECK(shared_advice(person) == Names{"exits with 0 when its output is lost: bad"});
    CHECK(said_of_all(shared_advice(person).front(), handed_in(person)) ==
          "all three programs exit with 0 when their output is lost: bad");
    person.programs[2].advice.clear();
    CHECK(shared_advice(person).empty());
    person.programs.resize(1); // one program alone has nothing to share
    CHECK(shared_advice(person).empty());
}

TEST_CASE("over a class, each failed case and each fault counts a person once")
{
    Report report;
    report.people.resize(3);
    for (PersonResult& person : report.people) {
        ProgramResult one = program({ran("a", output, "1"), ran("b")});
        one.diagnosis = {{"pi-3.14", "", {"a"}}};
        person.programs = {one, one}; // the same fault in two programs is one person's
    }
    report.people[2].programs.clear();
    const ClassCounts counts = class_counts(report);
    CHECK(counts.people == 3);
    CHECK(counts.faults == std::vector<std::pair<std::string, std::size_t>>{{"pi-3.14", 2}});
    CHECK(counts.failed_cases == std::vector<std::pair<std::string, std::size_t>>{{"a", 2}});
}

TEST_CASE("a case the variants leave out neither backs nor bars a fault")
{
    const Fault pi{"pi-3.14", "", false, {}};
    // The program passes random inputs the variant never ran, and fails some it did not run.
    for (const CaseVerdict random : {passed, layout}) {
        ProgramResult result = program({ran("a", output, "1"), ran("random", random, "x")});
        diagnose(result, {variant(pi, {ran("a", output, "1")})}, false, {"random"});
        CHECK(named(result) == Names{"pi-3.14"});
        CHECK(result.unexplained.empty());
    }
}
