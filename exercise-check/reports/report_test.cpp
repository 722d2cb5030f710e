// The reports: what each must hold, and how they cope with awkward bytes.
#include "report_test.h"
#include "report.h"

#include <doctest/doctest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <set>
#include <sstream>
#include <string>

namespace {

using namespace check;
using namespace check::testing;
using namespace std::string_literals;

CaseResult failed(std::string name, CaseVerdict verdict, std::string why)
{
    CaseResult result;
    result.name = std::move(name);
    result.verdict = verdict;
    result.why = std::move(why);
    return result;
}

// alice: twodigits wrong (two failures and a pass), threedigits with a failed departure,
// reversetwo does not compile, the others correct except the last, absent.
Report sample()
{
    Report report = empty_report();
    PersonResult alice = person_of(report, "alice", ProgramVerdict::correct);
    alice.folder = "hand-ins/alice";
    ProgramResult& wrong = alice.programs[0];
    wrong.verdict = ProgramVerdict::wrong;
    wrong.cases = {failed("digits.twodigits.plain", CaseVerdict::passed, ""),
                   failed("digits.twodigits.first", CaseVerdict::wrong_output, "first message"),
                   failed("digits.twodigits.second", CaseVerdict::timeout, "second message")};
    ProgramResult& advised = alice.programs[1];
    advised.verdict = ProgramVerdict::correct;
    advised.advice = {"ends without a line end"};
    advised.cases = {failed("digits.threedigits.end", CaseVerdict::wrong_layout, "no line end")};
    advised.cases[0].departure = true;
    ProgramResult& broken = alice.programs[2];
    broken.verdict = ProgramVerdict::does_not_compile;
    for (int line = 1; line <= 40; ++line) {
        broken.compiler_output += "error line " + std::to_string(line) + '\n';
    }
    broken.cases = {failed("digits.reversetwo.plain", CaseVerdict::not_built, "")};
    alice.programs[8].verdict = ProgramVerdict::absent;
    alice.programs[8].source.clear();
    report.people = {alice};
    return report;
}

template <typename Write> std::string written(Write write, const Report& report)
{
    std::ostringstream out;
    write(out, report);
    return out.str();
}

std::string terminal(const Report& report, TerminalStyle style)
{
    std::ostringstream out;
    write_terminal(out, report, style);
    return out.str();
}

std::string gradebook(const Report& report, TerminalStyle style)
{
    std::ostringstream out;
    write_gradebook(out, report, style);
    return out.str();
}

std::size_t count(const std::string& text, const std::string& part)
{
    std::size_t found = 0;
    for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) {
        ++found;
    }
    return found;
}

} // namespace

TEST_CASE("the terminal report shows the first failure, all of them only when verbose")
{
    const Report report = sample();
    const std::string brief = terminal(report, {false, false});
    const std::string verbose = terminal(report, {false, true});

    CHECK(brief.find("wrong  2 of 3 cases failed: wrong-output, timeout\n") != std::string::npos);
    CHECK(brief.find("digits.twodigits.first: wrong-output\n        first message\n") !=
          std::string::npos);
    CHECK(brief.find("second message") == std::string::npos);
    CHECK(brief.find("no line end") == std::string::npos);
    CHECK(brief.find("    advice: ends without a line end\n") != std::string::npos);
    CHECK(brief.find("error line 19\n") != std::string::npos);
    CHECK(brief.find("error line 20\n") == std::string::npos);
    CHECK(brief.find("alice: 6 correct, 1 wrong, 1 does not compile, 1 absent") !=
          std::string::npos);

    CHECK(verbose.find("second message") != std::string::npos);
    CHECK(verbose.find("digits.threedigits.end: wrong-layout (departure)") != std::string::npos);
    CHECK(verbose.find("error line 40\n") != std::string::npos);
}

TEST_CASE("the terminal report says a warning the person's programs share once, and cuts long "
          "lines")
{
    Report report = empty_report();
    PersonResult alice = person_of(report, "alice", ProgramVerdict::correct);
    const auto warning = [](const std::string& file) {
        return file + ": In function 'int main()':\n" + file +
               ":7:16: warning: conversion from 'double' to 'float' changes value "
               "[-Wfloat-conversion]\n    7 |     float pi = 3.14159;\n      |                ^\n";
    };
    alice.programs[0].compiler_output = warning("twodigits.cpp");
    alice.programs[1].compiler_output =
        warning("threedigits.cpp") + "threedigits.cpp:9:5: warning: unused variable 'x'\n";
    alice.programs[2].compiler_output = warning("reversetwo.cpp");
    // Both of a program's builds (as it is and filled) warned alike: said once, as its own.
    const std::string comma =
        "averageheight.cpp:7:30: warning: right operand of comma operator has no effect\n";
    alice.programs[4].compiler_output = comma + comma;
    alice.programs[3].verdict = ProgramVerdict::wrong;
    alice.programs[3].cases = {failed("calculators.echonumber.plain", CaseVerdict::wrong_output,
                                      "output so far:\n" + std::string(500, 'a') + "\n")};
    report.people = {alice};
    const std::string brief = terminal(report, {false, false});
    CHECK(count(brief, "changes value") == 1);
    CHECK(brief.find("unused variable 'x'") != std::string::npos);
    CHECK(brief.find("and warnings as for twodigits above") != std::string::npos);
    CHECK(brief.find("warnings: the same as for twodigits above") != std::string::npos);
    CHECK(count(brief, "comma operator") == 1);
    CHECK(brief.find("as for averageheight") == std::string::npos);
    CHECK(brief.find(std::string(200, 'a') + "... 300 more bytes on this line") !=
          std::string::npos);
    CHECK(brief.find(std::string(201, 'a')) == std::string::npos);
    const std::string verbose = terminal(report, {false, true});
    CHECK(count(verbose, "changes value") == 3);
    CHECK(verbose.find(std::string(500, 'a')) != std::string::npos);
}

TEST_CASE("the terminal report colours only when asked, and warns of a run without sandbox")
{
    Report report = sample();
    CHECK(terminal(report, {false, true}).find('\033') == std::string::npos);
    CHECK(terminal(report, {true, false}).find("\033[32mcorrect\033[0m") != std::string::npos);
    CHECK(terminal(report, {false, false}).find("without the sandbox") == std::string::npos);
    report.sandbox = "none";
    CHECK(terminal(report, {false, false}).rfind("warning: the programs ran without", 0) == 0);
}

TEST_CASE("a wrong program failing in every way still keeps its lines within 100 columns")
{
    Report report = sample();
    ProgramResult& wrong = report.people[0].programs[4]; // averageheight, the longest name
    wrong.verdict = ProgramVerdict::wrong;
    for (int verdict = 1; verdict <= static_cast<int>(CaseVerdict::not_built); ++verdict) {
        wrong.cases.push_back(failed("c", static_cast<CaseVerdict>(verdict), ""));
    }
    std::istringstream lines(terminal(report, {false, false}));
    std::string all;
    for (std::string line; std::getline(lines, line);) {
        CHECK(line.size() <= 100);
        all += line;
    }
    for (int verdict = 1; verdict <= static_cast<int>(CaseVerdict::not_built); ++verdict) {
        CHECK(all.find(case_verdict_name(static_cast<CaseVerdict>(verdict))) != std::string::npos);
    }
}

TEST_CASE("the JSON report holds the documented keys and reads back")
{
    const nlohmann::json document = nlohmann::json::parse(written(write_json, sample()));
    const auto keys = [](const nlohmann::json& object) {
        std::set<std::string> names;
        for (const auto& item : object.items()) {
            names.insert(item.key());
        }
        return names;
    };
    using Keys = std::set<std::string>;
    CHECK(keys(document) == Keys{"people", "sandbox", "memory_limit", "limits", "sandboxed",
                                 "strict", "from_store", "unmatched_hand_ins", "not_read",
                                 "class"});
    const nlohmann::json& alice = document["people"].at(0);
    CHECK(keys(alice) ==
          Keys{"name", "id", "folder", "note", "late", "points", "max_points", "programs"});
    CHECK(alice["name"] == "alice");
    const nlohmann::json& twodigits = alice["programs"].at(0);
    CHECK(keys(twodigits) == Keys{"program", "source", "verdict", "points", "max_points",
                                  "source_sha256", "advice", "compiler_output", "compile_hints",
                                  "same_source_as", "cases", "diagnosis", "unexplained",
                                  "resembles"});
    CHECK(keys(twodigits["cases"].at(0)) == Keys{"name", "verdict", "departure", "message", "why",
                                                 "random_input", "arguments", "input", "expected",
                                                 "actual", "stderr", "difference", "in_words",
                                                 "exit_status", "signal", "remark", "seconds"});

    const Report report = sample();
    REQUIRE(alice["programs"].size() == report.exercises.size());
    const char* verdicts[] = {"wrong",   "correct", "does-not-compile", "correct", "correct",
                              "correct", "correct", "correct",          "absent"};
    for (std::size_t i = 0; i < report.exercises.size(); ++i) {
        CHECK(alice["programs"][i]["program"] == report.exercises[i].name);
        CHECK(alice["programs"][i]["verdict"] == verdicts[i]);
    }
    CHECK(twodigits["cases"][2]["verdict"] == "timeout");
    CHECK(twodigits["cases"][2]["message"] == "second message");
}

TEST_CASE("the JSON report turns bytes that are not UTF-8 into U+FFFD")
{
    Report report = sample();
    report.people[0].name = "ana\xff";
    report.people[0].programs[0].cases[1].why = "got \xc3(";
    const std::string text = written(write_json, report);
    const nlohmann::json document = nlohmann::json::parse(text);
    CHECK(document["people"][0]["name"] == "ana\xEF\xBF\xBD");
    CHECK(document["people"][0]["programs"][0]["cases"][1]["message"] == "got \xEF\xBF\xBD(");
}

TEST_CASE("the JUnit report escapes what XML forbids")
{
    struct Sample {
        std::string text;
        std::string escaped;
        std::string in_attribute; // where it differs from escaped
    };
    const Sample samples[] = {
        {"a < b > c", "a &lt; b &gt; c", ""},
        {"a & b", "a &amp; b", ""},
        {"\"q\"", "&quot;q&quot;", ""},
        {"bell\a", "bell\xEF\xBF\xBD", ""},
        {"nul\0!"s, "nul\xEF\xBF\xBD!", ""},
        {"\xff", "\xEF\xBF\xBD", ""},
        {"\xc3(", "\xEF\xBF\xBD(", ""},
        {"\xed\xa0\x80", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD", ""}, // a surrogate
        {"\xc0\xaf", "\xEF\xBF\xBD\xEF\xBF\xBD", ""},                 // an overlong '/'
        {"\xef\xbf\xbe", "\xef\xbf\xbd", ""},
        {"kra\xc4\x91", "kra\xc4\x91", ""},
        {"a\tb\nc\rd", "a\tb\nc&#13;d", "a&#9;b&#10;c&#13;d"},
    };
    for (const Sample& item : samples) {
        CAPTURE(item.escaped);
        Report report = sample();
        report.people[0].programs[0].cases[1].why = item.text;
        report.people[0].programs[0].cases[1].name = item.text;
        const std::string xml = written(write_junit, report);
        const std::string& attribute = item.in_attribute.empty() ? item.escaped : item.in_attribute;
        CHECK(count(xml, "<testcase name=\"" + attribute + '"') == 1);
        CHECK(count(xml, "\">" + item.escaped + "</failure>") == 1);
        CHECK(std::find_if(xml.begin(), xml.end(), [](unsigned char byte) {
                  return byte < 0x20 && byte != '\n' && byte != '\t';
              }) == xml.end());
    }
}

TEST_CASE("the JUnit report counts failures, skipped cases and departures")
{
    struct Expected {
        bool strict;
        CaseVerdict departure; // of the one case of threedigits
        std::string suite;
    };
    const CaseVerdict layout = CaseVerdict::wrong_layout;
    const Expected cases[] = {
        {false, layout,
         "name=\"alice/twodigits\" tests=\"3\" failures=\"2\" errors=\"0\" skipped=\"0\""},
        {false, layout,
         "name=\"alice/threedigits\" tests=\"1\" failures=\"0\" errors=\"0\" skipped=\"0\""},
        {true, layout,
         "name=\"alice/threedigits\" tests=\"1\" failures=\"1\" errors=\"0\" skipped=\"0\""},
        // A departure that crashes is a failure even when the run is not strict.
        {false, CaseVerdict::crashed, "name=\"alice/threedigits\" tests=\"1\" failures=\"1\""},
        {false, layout,
         "name=\"alice/reversetwo\" tests=\"2\" failures=\"1\" errors=\"0\" skipped=\"1\""},
        {false, layout,
         "name=\"alice/greetings\" tests=\"0\" failures=\"0\" errors=\"0\" skipped=\"0\""},
        {false, layout,
         "<testsuites name=\"exercise-check\" tests=\"6\" failures=\"3\" errors=\"0\" "
         "skipped=\"1\""},
    };
    for (const Expected& expected : cases) {
        CAPTURE(expected.suite);
        Report report = sample();
        report.strict = expected.strict;
        report.people[0].programs[1].cases[0].verdict = expected.departure;
        CHECK(written(write_junit, report).find(expected.suite) != std::string::npos);
    }

    Report report = sample();
    const std::string xml = written(write_junit, report);
    CHECK(
        xml.find("<testcase name=\"digits.reversetwo.compiles\" classname=\"alice.reversetwo\"") !=
        std::string::npos);
    CHECK(xml.find(
              "<failure message=\"does-not-compile\" type=\"does-not-compile\">error line 1\n") !=
          std::string::npos);
    CHECK(count(xml, "<testsuite ") == 9);
    CHECK(xml.find("name=\"sandboxed\" value=\"true\"") != std::string::npos);
    report.sandbox = "none";
    CHECK(written(write_junit, report).find("name=\"sandboxed\" value=\"false\"") !=
          std::string::npos);
}

TEST_CASE("nothing a hand-in wrote reaches the terminal as a control sequence")
{
    // Clears the screen, retitles the window, and returns to the line's start to overwrite it.
    const std::string attack = "\033[2J\033]0;owned\a\rok\xc2\x9b";
    Report report = sample();
    PersonResult& alice = report.people[0];
    alice.name += attack;
    alice.folder += attack;
    alice.note = "found in " + attack;
    alice.programs[0].cases[1].name += attack;
    alice.programs[0].cases[1].why = "crashed: " + attack;
    alice.programs[0].compiler_output = "x.cpp:1:2: warning: #warning " + attack + "\n";
    alice.programs[1].advice = {attack};
    alice.programs[2].compiler_output = "x.cpp:1:2: error: " + attack + "\n";
    alice.programs[3].same_source_as = {"bob" + attack};
    for (const bool verbose : {false, true}) {
        CAPTURE(verbose);
        const TerminalStyle style{false, verbose};
        for (const std::string& text : {terminal(report, style), gradebook(report, style)}) {
            CHECK(text.find('\033') == std::string::npos);
            CHECK(text.find('\a') == std::string::npos);
            CHECK(text.find('\r') == std::string::npos);
            CHECK(text.find("\xc2\x9b") == std::string::npos);
            CHECK(text.find("[2J") != std::string::npos); // shown, as harmless text
        }
    }
}

TEST_CASE("the JSON report gives a failed case's texts, difference and ending as fields")
{
    Report report = sample();
    CaseResult& first = report.people[0].programs[0].cases[1];
    first.args = {"-v"};
    first.input = shown("input", "17\n", 2000);
    first.expected = shown("expected output", "Broj: 17\n", 4000);
    first.actual = shown("actual output", std::string(10, 'x'), 4);
    first.standard_error = shown("standard error", "oops\n", 2000);
    first.difference = first_difference("Broj: 17\n", "xxxx");
    first.exit_status = 3;
    const nlohmann::json document = nlohmann::json::parse(written(write_json, report));
    const nlohmann::json& json = document["people"][0]["programs"][0]["cases"][1];
    CHECK(json["why"] == "first message");
    CHECK(json["arguments"] == nlohmann::json::array({"-v"}));
    CHECK(json["input"]["text"] == "17\n");
    CHECK(json["expected"]["title"] == "expected output");
    CHECK(json["actual"]["text"] == "xxxx");
    CHECK(json["actual"]["left_out"] == 6);
    CHECK(json["stderr"]["text"] == "oops\n");
    CHECK(json["difference"]["line"] == 1);
    CHECK(json["difference"]["column"] == 1);
    CHECK(json["difference"]["expected"] == "'B'");
    CHECK(json["difference"]["actual"] == "'x'");
    CHECK(json["exit_status"] == 3);
    CHECK(json["signal"].is_null());
    CHECK(json["message"] == message(first));
    const nlohmann::json& passed = document["people"][0]["programs"][0]["cases"][0];
    CHECK(passed["message"] == "");
    CHECK(passed["input"].is_null());
    CHECK(passed["difference"].is_null());
}

TEST_CASE("every report shows the same failed case for a wrong program")
{
    // The first failure is a departure that is only a remark; the second decides.
    Report report = sample();
    ProgramResult& wrong = report.people[0].programs[0];
    wrong.cases = {failed("digits.twodigits.departure", CaseVerdict::wrong_layout, "a remark"),
                   failed("digits.twodigits.deciding", CaseVerdict::wrong_output, "the reason")};
    wrong.cases[0].departure = true;
    wrong.cases[0].remark = "ends without a line end";
    CHECK(deciding_failure(wrong, false) == &wrong.cases[1]);
    CHECK(deciding_failure(wrong, true) == &wrong.cases[0]);

    const std::string brief = terminal(report, {false, false});
    CHECK(brief.find("wrong  1 of 2 cases failed: wrong-output\n") != std::string::npos);
    CHECK(brief.find("digits.twodigits.deciding: wrong-output\n        the reason\n") !=
          std::string::npos);
    CHECK(brief.find("a remark") == std::string::npos);
    CHECK(gradebook(report, {false, false})
              .find("  twodigits wrong: deciding wrong-output: the reason\n") != std::string::npos);
    const std::string xml = written(write_junit, report);
    CHECK(xml.find("name=\"alice/twodigits\" tests=\"2\" failures=\"1\"") != std::string::npos);
    CHECK(xml.find("<system-out>departure, wrong-layout: ends without a line end\na remark") !=
          std::string::npos);
}

TEST_CASE("every report names the sandbox the programs ran in")
{
    for (const std::string sandbox : {"bubblewrap", "landlock", "none"}) {
        CAPTURE(sandbox);
        Report report = sample();
        report.sandbox = sandbox;
        const bool none = sandbox == "none";
        const nlohmann::json document = nlohmann::json::parse(written(write_json, report));
        CHECK(document["sandbox"] == sandbox);
        CHECK(document["sandboxed"] == !none);
        const std::string xml = written(write_junit, report);
        CHECK(xml.find("<property name=\"sandbox\" value=\"" + sandbox + "\"/>") !=
              std::string::npos);
        CHECK(xml.find("name=\"sandboxed\" value=\"" + std::string(none ? "false" : "true")) !=
              std::string::npos);
        const std::string page = written(write_html, report);
        CHECK(page.find(none ? "<footer><p>The programs ran without a sandbox.</p></footer>"
                             : "<footer><p>The programs ran in the sandbox " + sandbox +
                                   ".</p></footer>") != std::string::npos);
        const std::string warning = "warning: the programs ran without the sandbox";
        CHECK((terminal(report, {false, false}).find(warning) != std::string::npos) == none);
        CHECK((gradebook(report, {false, false}).find(warning) != std::string::npos) == none);
    }
}
