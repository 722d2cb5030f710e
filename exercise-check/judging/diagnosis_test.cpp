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
    const Fault pi{"pi-3.14", "hint", false, false, {}};
    const Fault unset{"unset-variable", "hint", true, false, {}};
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
        {"a fault whose output may differ, with another output so far",
         {variant(unset, {ran("a"), ran("b"), ran("c", timeout, "other")})},
         {"unset-variable"},
         {"a"}},
        {"a fault whose output must be the same, with another output so far",
         {variant(pi, {ran("a"), ran("b"), ran("c", timeout, "other")})},
         {},
         {}},
        {"two faults, each explaining its own case",
         {variant(pi, {ran("a", output, "19.625"), ran("b"), ran("c")}),
          variant(unset, {ran("a"), ran("b"), ran("c", timeout, "")})},
         {"pi-3.14", "unset-variable"},
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
    const Fault heights{"heights-not-int", "", false, false, {}};
    const Fault sum{"sum-in-single", "", false, false, {}};
    const Fault other{"other", "", false, false, {}};
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

CaseResult with_error(CaseResult result, const std::string& error, int status = 0)
{
    result.standard_error = shown("standard error", error, 4000);
    result.exit_status = status;
    return result;
}

TEST_CASE("a fault is named only where its variant writes the same standard error and status")
{
    const Fault stderr_fault{"writes-to-stderr", "", false, true, {}};
    const Fault waits{"waits-at-end", "", false, false, {}};
    const CaseVerdict error = CaseVerdict::stderr_output;
    const ProgramResult debug = program({with_error(ran("a", error, "17"), "gotovo\n"), ran("b")});
    const ProgramResult pause =
        program({with_error(ran("a", error, "17"), "sh: 1: pause: not found\n"), ran("b")});
    const VariantRun writes =
        variant(stderr_fault, {with_error(ran("a", error, "17"), "17\n"), ran("b")});
    const VariantRun paused =
        variant(waits, {with_error(ran("a", error, "17"), "sh: 1: pause: not found\n"), ran("b")});
    struct Example {
        const char* what;
        ProgramResult program;
        std::vector<VariantRun> variants;
        Names faults;
        Names resembles;
    };
    const Example examples[] = {
        {"other words on standard error, where they may differ",
         debug,
         {writes},
         {"writes-to-stderr"},
         {}},
        {"other words on standard error, where they must be the same",
         debug,
         {paused},
         {},
         {"waits-at-end"}},
        {"the same words: that fault, not the one that only has the verdict",
         pause,
         {writes, paused},
         {"waits-at-end"},
         {}},
        {"another exit status",
         program({with_error(ran("a", error, "17"), "x\n", 3), ran("b")}),
         {writes},
         {},
         {"writes-to-stderr"}},
        {"nothing on standard error where the variant writes",
         program({ran("a", error, "17"), ran("b")}),
         {writes},
         {},
         {"writes-to-stderr"}},
    };
    for (const Example& example : examples) {
        CAPTURE(example.what);
        ProgramResult result = example.program;
        diagnose(result, example.variants, false);
        CHECK(named(result) == example.faults);
        CHECK(result.resembles == example.resembles);
    }
}

TEST_CASE("faults rank by the failed cases they explain; one of departures alone is advice")
{
    const Fault division{"integer-division", "Integer division.\nDivide by 3.0.", false, false, {}};
    const Fault overflow{
        "int-sum-overflow", "An int sum overflows.\nAdd as long long.", false, false, {}};
    CaseResult beyond = ran("beyond", output, "-7e+08");
    beyond.departure = true;
    ProgramResult result = program({ran("a", output, "170"), ran("b", output, "180"), beyond});
    result.advice = {"An int sum overflows. Add as long long."}; // said once, however found
    diagnose(result,
             {variant(overflow, {ran("a"), ran("b"), beyond}),
              variant(division, {ran("a", output, "170"), ran("b", output, "180"), ran("beyond")})},
             false);
    CHECK(named(result) == Names{"integer-division"});
    CHECK(result.advice == Names{"An int sum overflows. Add as long long."});
    // A departure case that fails otherwise than its departure does is as wrong as any.
    CaseResult unset = ran("empty", CaseVerdict::memory_error, "x");
    unset.departure = true;
    unset.failed_otherwise = true;
    ProgramResult never_set = program({unset, ran("b")});
    diagnose(never_set, {variant(overflow, {unset, ran("b")})}, false);
    CHECK(named(never_set) == Names{"int-sum-overflow"});
    // Both explain wrong cases: the one that explains more comes first, whatever the order.
    ProgramResult both = program({ran("a", output, "170"), ran("b", output, "180"), ran("c")});
    diagnose(both,
             {variant(overflow, {ran("a", output, "170"), ran("b"), ran("c")}),
              variant(division, {ran("a", output, "170"), ran("b", output, "180"), ran("c")})},
             false);
    CHECK(named(both) == Names{"integer-division"}); // the smaller within the larger
    ProgramResult apart =
        program({ran("a", output, "170"), ran("b", output, "180"), ran("c", output, "1")});
    diagnose(apart,
             {variant(overflow, {ran("a"), ran("b"), ran("c", output, "1")}),
              variant(division, {ran("a", output, "170"), ran("b", output, "180"), ran("c")})},
             false);
    CHECK(named(apart) == Names{"integer-division", "int-sum-overflow"});
    // A later case reproduced by chance, and not the first wrong output: two averages that
    // differ past the sixth digit print alike, and the fault is at most resembled.
    ProgramResult chance = program({ran("a", output, "56.6667"), ran("b", output, "7.15828e+08")});
    diagnose(chance,
             {variant(overflow, {ran("a", output, "170.333"), ran("b", output, "7.15828e+08")})},
             false);
    CHECK(named(chance).empty());
    CHECK(chance.resembles == Names{"int-sum-overflow"});
}

TEST_CASE("a program that is not wrong gets no diagnosis")
{
    const Fault pi{"pi-3.14", "", false, false, {}};
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
    const Fault fault{"missing-line-end", "", false, false, {}};
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
    PersonResult two = person;
    two.programs.resize(2);
    CHECK(said_of_all(shared_advice(two).front(), handed_in(two)) ==
          "both programs exit with 0 when their output is lost: bad");
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
    const Fault pi{"pi-3.14", "", false, false, {}};
    // The program passes random inputs the variant never ran, and fails some it did not run.
    for (const CaseVerdict random : {passed, layout}) {
        ProgramResult result = program({ran("a", output, "1"), ran("random", random, "x")});
        diagnose(result, {variant(pi, {ran("a", output, "1")})}, false, {"random"});
        CHECK(named(result) == Names{"pi-3.14"});
        CHECK(result.unexplained.empty());
    }
}
