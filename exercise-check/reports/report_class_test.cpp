// The class's reports: the gradebook on the terminal, CSV and the web page; what each must
// hold, and how each copes with what a hand-in controls.
#include "report.h"
#include "report_test.h"
#include "text.h"

#include <doctest/doctest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

using namespace check;
using namespace check::testing;

namespace {

// A class: each name with the same verdict for every program, twodigits of the first wrong
// with that failed case.
Report class_of(const std::vector<std::string>& names, ProgramVerdict verdict,
                const std::optional<CaseResult>& failed = std::nullopt)
{
    Report report = empty_report();
    for (const std::string& name : names) {
        report.people.push_back(person_of(report, name, verdict));
    }
    if (failed) {
        ProgramResult& wrong = report.people[0].programs[0];
        wrong.verdict = ProgramVerdict::wrong;
        wrong.cases.push_back(*failed);
    }
    return report;
}

// A wrong output of twodigits' plain case.
CaseResult wrong_output(const std::string& input, const std::string& expected,
                        const std::string& actual)
{
    CaseResult failed;
    failed.name = "digits.twodigits.plain";
    failed.verdict = CaseVerdict::wrong_output;
    failed.why = "wrong output";
    failed.input = shown("input", input, 2000);
    failed.difference = first_difference(expected, actual);
    failed.expected = shown("expected output", expected, 4000);
    failed.actual = shown("actual output", actual, 4000);
    return failed;
}

std::vector<std::string> lines_of(const std::string& text, char end = '\n')
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line, end);) {
        lines.push_back(line);
    }
    return lines;
}

} // namespace

TEST_CASE("people are listed as a person reads names: case aside, numbers by value")
{
    const std::vector<std::pair<std::string, std::string>> before_after{
        {"alice", "Bob"},          {"Alice", "alice"}, {"Person 2", "Person 10"},
        {"Person 9", "Person 10"}, {"p007", "p8"},     {"Zoe", "Ćiro"},
        {"ann", "anna"},           {"x1y2", "x1y10"},  {"Person", "Person 1"},
    };
    for (const auto& pair : before_after) {
        const auto& before = pair.first;
        const auto& after = pair.second;
        CAPTURE(before);
        CAPTURE(after);
        CHECK(name_order(before, after));
        CHECK_FALSE(name_order(after, before));
    }
    CHECK_FALSE(name_order("same", "same"));
}

TEST_CASE("CSV: one row per person in name order, names quoted where they must be")
{
    const std::vector<std::pair<std::string, std::string>> names{
        {"plain", "plain"},
        {"Ana Marić", "Ana Marić"},
        {"Smith, Jr.", "\"Smith, Jr.\""},
        {"say \"hi\"", "\"say \"\"hi\"\"\""},
        {"two\nlines", "\"two\nlines\""},
        {"bad\xff byte", "bad\xEF\xBF\xBD byte"},
        {"=HYPERLINK(\"http://x\")", "\"'=HYPERLINK(\"\"http://x\"\")\""},
        {"esc\033[31mape", "esc[31mape"},
    };
    std::vector<std::string> people;
    for (const auto& [name, field] : names) {
        people.push_back(name);
    }
    std::ostringstream out;
    write_csv(out, class_of(people, ProgramVerdict::does_not_compile));
    const std::string csv = out.str();
    CHECK(is_utf8(csv));
    CHECK(csv.rfind("person,id,twodigits,threedigits,reversetwo,echonumber,averageheight,circle,"
                    "helloworld,hellolines,greetings,points,max_points,late\r\n",
                    0) == 0);
    const std::string cells = ",,does-not-compile,does-not-compile,does-not-compile,"
                              "does-not-compile,does-not-compile,does-not-compile,"
                              "does-not-compile,does-not-compile,does-not-compile,0,9,\r\n";
    for (const auto& named : names) {
        const auto& name = named.first;
        const auto& field = named.second;
        CAPTURE(name);
        CHECK(csv.find("\r\n" + field + cells) != std::string::npos);
    }
    // In name order, whatever the case of the first letter.
    CHECK(csv.find("Ana Mari") < csv.find("bad"));
    CHECK(csv.find("bad") < csv.find("plain"));
    CHECK(csv.find("plain") < csv.find("\"say"));
}

TEST_CASE("the web page shows what a hand-in wrote as text, never as the page's own")
{
    const std::string attack = "<script>document.title='taken'</script>";
    Report report = class_of({attack, "\"quoted\" & 'apostrophes'"}, ProgramVerdict::correct,
                             wrong_output(attack + "\n", "Hello World!\n",
                                          "Hello xorld<end>\n" + attack + "\xff\xC0\xAF"));
    report.people[0].note = attack;
    report.people[0].programs[1].verdict = ProgramVerdict::does_not_compile;
    report.people[0].programs[1].compiler_output = "x.cpp:1: error: " + attack + " \xed\xa0\x80\n";
    report.people[0].programs[2].advice = {attack};
    report.people[0].programs[3].same_source_as = {"\"quoted\" & 'apostrophes'"};
    report.people[1].programs[3].same_source_as = {attack};

    std::ostringstream out;
    write_html(out, report);
    const std::string page = out.str();
    CHECK(is_utf8(page));
    // The page's own script is its only one, and only it may run.
    std::size_t scripts = 0;
    for (std::size_t at = page.find("<script"); at != std::string::npos;
         at = page.find("<script", at + 1)) {
        ++scripts;
    }
    CHECK(scripts == 1);
    CHECK(page.find("script-src 'nonce-") != std::string::npos);
    CHECK(page.find("&lt;script&gt;document.title=&#39;taken&#39;&lt;/script&gt;") !=
          std::string::npos);
    CHECK(page.find("&quot;quoted&quot; &amp; &#39;apostrophes&#39;") != std::string::npos);
    CHECK(page.find("http://") == std::string::npos);
    CHECK(page.find("https://") == std::string::npos);

    // Expected and actual side by side, the first difference marked, line ends shown; an
    // "<end>" the program wrote does not end its output early.
    CHECK(page.find("<div class=\"pair\">") != std::string::npos);
    CHECK(page.find("Hello <mark>W</mark>orld!") != std::string::npos);
    CHECK(page.find("Hello <mark>x</mark>orld&lt;end&gt;") != std::string::npos);
    CHECK(page.find("<span class=\"esc\">\\n</span>") != std::string::npos);
    CHECK(
        page.find("first difference at line 1, column 7: expected &#39;W&#39;, got &#39;x&#39;") !=
        std::string::npos);
}

TEST_CASE("the terminal's gradebook fits 80 columns and lets no control byte through")
{
    CaseResult failed = wrong_output("", "a", "b");
    failed.difference->actual = "'b' and a very long tail that would never fit on a line of the "
                                "terminal's report";
    const Report report = class_of({"A person with a name much longer than any column could hold",
                                    "Čedomir Đurđević-Šćepanović Žarković", "esc\033[31mape", "x"},
                                   ProgramVerdict::correct, failed);
    for (const bool verbose : {false, true}) {
        TerminalStyle style;
        style.verbose = verbose;
        std::ostringstream out;
        write_gradebook(out, report, style);
        const std::string text = out.str();
        CHECK(text.find('\033') == std::string::npos);
        const std::vector<std::string> lines = lines_of(text);
        REQUIRE(lines.size() > 5);
        CHECK(lines[0].rfind("person ", 0) == 0);
        CHECK(lines[0].find("2dig 3dig rev2 echo avgh circ hwld hlns grts   points") !=
              std::string::npos);
        // Rows in name order, letters beyond ASCII after; the wrong program is marked.
        CHECK(lines[1].rfind("A person with", 0) == 0);
        CHECK(lines[1].find("  x    +    +") != std::string::npos);
        CHECK(lines[2].rfind("esc\xEF\xBF\xBD[31mape", 0) == 0);
        CHECK(lines[3].rfind("x ", 0) == 0);
        CHECK(lines[4].rfind("Čedomir", 0) == 0);
        if (!verbose) {
            for (const std::string& line : lines) {
                CAPTURE(line);
                std::size_t columns = 0;
                for (const char byte : line) {
                    columns += (byte & 0xC0) != 0x80 ? 1 : 0;
                }
                CHECK(columns <= 80);
            }
            CHECK(text.find("\n  twodigits wrong: plain wrong-output: line 1, column 1: expected "
                            "'a', got 'b...\n") != std::string::npos);
        }
    }
}

TEST_CASE("the web page shows each text of a failed case under its title")
{
    struct Example {
        const char* what;
        CaseResult failed;
        std::vector<std::string> shown;
    };
    CaseResult stopped;
    stopped.name = "digits.twodigits.plain";
    stopped.verdict = CaseVerdict::crashed;
    stopped.why = "crashed: it was ended by SIGSEGV";
    stopped.input = shown("input", "", 2000);
    stopped.actual = shown("output so far", "Broj: 6\n" + std::string(700, 'x'), 600);
    stopped.standard_error = shown("standard error", "oops", 2000);
    CaseResult unset = wrong_output("1\n", "0\n", "-16843010\n");
    unset.expected->title = "output as built";
    unset.actual->title = "output with unset variables filled";
    CaseResult shape = wrong_output("1e39", "Broj: <int>\n", "Broj: \n");
    shape.difference.reset();
    shape.expected->title = "expected shape";
    shape.random_input = "random input 2 of 20 (seed 7)";
    CaseResult shorter = wrong_output("", "ab\ncd\n", "ab\nc");
    const Example examples[] = {
        {"stopped",
         stopped,
         {"<p>crashed: it was ended by SIGSEGV</p>",
          "<h4>input</h4><pre><span class=\"esc\">(nothing)</span></pre>",
          "<h4>output so far</h4><pre>Broj: 6<span class=\"esc\">\\n</span>\nxxx",
          "x... and 108 bytes more</pre>", "<h4>standard error</h4><pre>oops</pre>"}},
        {"unset",
         unset,
         {"<div class=\"pair\"><div><h4>output as built</h4><pre><mark>0</mark>",
          "<h4>output with unset variables filled</h4><pre><mark>-</mark>16843010"}},
        {"shape",
         shape,
         {"<p>random input 2 of 20 (seed 7) broke it: wrong output</p>",
          "<h4>expected shape</h4><pre>Broj: &lt;int&gt;<span class=\"esc\">\\n</span>\n</pre>"}},
        {"shorter",
         shorter,
         {"<pre>ab<span class=\"esc\">\\n</span>\nc<mark>d</mark>",
          "<pre>ab<span class=\"esc\">\\n</span>\nc<mark class=\"end\">(ends here)</mark></pre>"}},
    };
    for (const Example& example : examples) {
        CAPTURE(example.what);
        std::ostringstream out;
        write_html(out, class_of({"ana"}, ProgramVerdict::correct, example.failed));
        const std::string page = out.str();
        for (const std::string& part : example.shown) {
            CAPTURE(part);
            CHECK(page.find(part) != std::string::npos);
        }
        if (!example.failed.difference) {
            CHECK(page.find("<mark") == std::string::npos);
        }
    }
}
