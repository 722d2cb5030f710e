// The learner's words in Croatian: the catalogue is complete for every text the check and its
// data can say, templates fill in their parts, and the terminal report is Croatian throughout.
#include "translation.h"

#include "case_runs.h"
#include "cases.h"
#include "catalogue.h"
#include "compile_hints.h"
#include "difference_words.h"
#include "faults.h"
#include "report.h"
#include "report_classroom.h"
#include "report_gradescope.h"
#include "report_test.h"
#include "report_vpl.h"

#include <doctest/doctest.h>
#include <nlohmann/json.hpp>

#include <array>
#include <functional>
#include <sstream>
#include <tuple>

using namespace check;
using check::testing::empty_report;
using check::testing::person_of;

namespace {

const Translation& croatian()
{
    static const Translation words = load_translation("hr");
    return words;
}

std::string said(const std::string& expected, const std::string& actual)
{
    const auto difference = first_difference(expected, actual);
    REQUIRE(difference);
    return in_words(expected, actual, *difference);
}

} // namespace

TEST_CASE("the language is the one given, else the environment's as gettext reads it")
{
    CHECK(learner_language("en", "hr_HR.UTF-8", nullptr, nullptr) == "en");
    CHECK(learner_language("", "hr_HR.UTF-8", "en_GB.UTF-8", nullptr) == "hr");
    CHECK(learner_language("", "", "hr_HR.UTF-8", "en_US.UTF-8") == "hr");
    CHECK(learner_language("", nullptr, nullptr, "hr") == "hr");
    CHECK(learner_language("", nullptr, nullptr, "hrx_XX") == "en");
    CHECK(learner_language("", nullptr, nullptr, "de_DE.UTF-8") == "en");
    CHECK(learner_language("", nullptr, nullptr, nullptr) == "en");
    CHECK_THROWS_AS(learner_language("de", nullptr, nullptr, nullptr), std::invalid_argument);
    CHECK(load_translation("en").empty());
}

TEST_CASE("a text is translated whole, or by a template whose parts are translated in turn")
{
    const Translation& words = croatian();
    REQUIRE_FALSE(words.empty());
    CHECK(words("correct") == "točno");
    CHECK(words("line 1: write a blank after \"Broj:\"") == "redak 1: napiši razmak iza \"Broj:\"");
    CHECK(words("line 2: write 170.333, not 170: another value") ==
          "redak 2: napiši 170.333, a ne 170: druga vrijednost");
    CHECK(words("all nine programs exit with 0 when their output is lost: a script would take an "
                "empty file for success") ==
          "svih devet programa: završavaju sa statusom 0 kad im se ispis izgubi: skripta bi "
          "prazan ispis smatrala uspjehom");
    // What the catalogue does not know stays as it was: a program's own text.
    CHECK(words("Povrsina kruga: 19.6349\\n") == "Povrsina kruga: 19.6349\\n");
    CHECK_FALSE(words.knows("Povrsina kruga: 19.6349\\n"));
    CHECK_THROWS_AS(Translation::from_mo("not a catalogue at all, not even close"),
                    std::runtime_error);
}

TEST_CASE("every text the check and its data tell a learner has its Croatian words")
{
    const Translation& words = croatian();
    std::vector<std::string> texts;
    for (int verdict = 0; verdict <= static_cast<int>(ProgramVerdict::absent); ++verdict) {
        texts.emplace_back(program_verdict_name(static_cast<ProgramVerdict>(verdict)));
    }
    for (int verdict = 0; verdict <= static_cast<int>(CaseVerdict::not_built); ++verdict) {
        texts.emplace_back(case_verdict_name(static_cast<CaseVerdict>(verdict)));
    }
    const auto data = default_case_data();
    for (const Exercise& exercise : load_catalogue(data)) {
        for (const Fault& fault : load_faults(data, exercise)) {
            texts.push_back(fault.hint);
        }
        for (const Case& one : load_cases(data, exercise, "libstdc++")) {
            if (!one.remark.empty()) {
                texts.push_back(one.remark);
                texts.push_back(said_of_all(one.remark, 9));
                texts.push_back(said_of_all(one.remark, 2));
            }
        }
    }
    for (const CompileHintRule& rule :
         load_compile_hints(data / "diagnosis" / "compile-hints.json")) {
        texts.push_back(rule.hint.hint);
    }
    const std::string circle = "IZRACUNAVANJE OPSEGA I POVRSINE KRUGA\nUnesite radijus kruga: "
                               "Povrsina kruga: 19.6349\nOpseg kruga: 15.708\n";
    const std::string hello = "Hello\n\nWorld\n\nC++";
    for (const auto& [expected, actual] : std::vector<std::pair<std::string, std::string>>{
             {circle, "IZRACUNAVANJE OPSEGA I POVRSINE KRUGA\nUnesite radijus kruga:Povrsina "
                      "kruga: 19.6349\nOpseg kruga: 15.708\n"},
             {circle, "IZRACUNAVANJE OPSEGA I POVRSINE KRUGA\nUnesite radijus kruga: Povrsina "
                      "kruga: 19.634954\nOpseg kruga: 15.708\n"},
             {circle, "IZRACUNAVANJE OPSEGA I POVRSINE KRUGA\nUnesite radijus kruga: Povrsina "
                      "kruga: 15.708\nOpseg kruga: 19.6349\n"},
             {circle, "IZRACUNAVANJE OPSEGA I POVRSINE KRUGA\nUnesite radijus kruga: Povrsina "
                      "kruga: 19.625\nOpseg kruga: 15.7\n"},
             {circle, "IZRACUNAVANJE OPSEGA I POVRSINE KRUGA\nUnesite radijus kruga: Površina "
                      "kruga: 19.6349\nOpseg kruga: 15.708\n"},
             {circle, "IZRACUNAVANJE OPSEGA I POVRSINE KRUGA\nUnesite radijus kruga: "},
             {hello, "Hello\nWorld\n\nC++"},
             {hello, "\nHello\n\nWorld\n\nC++"},
             {hello, "Hello \n\nWorld\n\nC++"},
             {hello, "Hello\n\nWorld\n\nC++\n"},
             {hello, "hello\n\nWorld\n\nC++"},
             {hello, "Helo\n\nWorld\n\nC++"},
             {"Hello World!\n", "Hello World\n"},
             {"Hello World!\n", "HelloWorld!\n"},
             {"Broj: 123\nLijeva: 1\n", "Broj: 123\nLijeva 1\n"},
             {"Broj: 123\nLijeva: 1\nSrednja: 2\n", "Broj: 123\nSrednja: 2\n"},
             {"dobrojutro", "dobro jutro"},
         }) {
        texts.push_back(said(expected, actual));
    }
    texts.push_back(endless_repetition(
        "Molim, unesite broj: Uneseni broj: 17\n", std::string(20, ' ') + [] {
            std::string asking;
            for (int i = 0; i < 40; ++i) {
                asking += "Molim, unesite broj: ";
            }
            return asking;
        }()));
    texts.push_back(standard_error_in_words("gotovo\n"));
    // Why a run did not end, and why it had less time where the program's runs were cut short.
    RunResult timed_out;
    timed_out.ending = Ending::timed_out;
    for (const CaseKind kind : {CaseKind::plain, CaseKind::input_left_open}) {
        Case one;
        one.kind = kind;
        one.expected = "1\n";
        const std::string why = judge(one, timed_out, RunConditions{}).why;
        texts.push_back(why);
        for (const auto& [timeouts, program, person] :
             std::vector<std::tuple<int, double, double>>{{2, 0, 0}, {0, 60, 0}, {0, 0, 300}}) {
            texts.push_back(why + " (" + cut_reason(timeouts, program, person, RunBudget{}) + ")");
        }
    }
    for (const std::string& text : texts) {
        CAPTURE(text);
        CHECK(words.knows(text));
        CHECK(words(text) != text);
    }
}

namespace {

// A report of one learner: a wrong circle with its likely fault, eight correct programs with
// advice, an absent one.
Report sample_report()
{
    Report report = empty_report();
    PersonResult alice = person_of(report, "alice", ProgramVerdict::correct);
    ProgramResult& wrong = alice.programs[5];
    wrong.verdict = ProgramVerdict::wrong;
    CaseResult failed;
    failed.name = "calculators.circle.plain";
    failed.verdict = CaseVerdict::wrong_output;
    failed.why = "wrong output";
    failed.input = shown("input", "2.5\n", 100);
    failed.expected = shown("expected output", "Povrsina kruga: 19.6349\n", 100);
    failed.actual = shown("actual output", "Povrsina kruga: 19.625\n", 100);
    failed.difference = first_difference("Povrsina kruga: 19.6349\n", "Povrsina kruga: 19.625\n");
    failed.in_words = "line 1: write 19.6349, not 19.625: another value";
    failed.exit_status = 0;
    wrong.cases = {failed};
    wrong.diagnosis = {{"pi-3.14",
                        "Pi is taken as 3.14, so the results are off from the third digit on.\n"
                        "Use the exercise's 3.14159.",
                        {failed.name}}};
    for (ProgramResult& program : alice.programs) {
        program.advice = {
            "exits with 0 when its output is lost: a script would take an empty file for success"};
    }
    alice.programs[8].verdict = ProgramVerdict::absent;
    alice.programs[8].source.clear();
    alice.note = "krug.cpp taken as circle by its output; biljeske.txt is a link: left out";
    report.people = {alice};
    return report;
}

// Whether an English line of a report is the program's own (its output or input), which stays.
bool programs_own(const std::string& line)
{
    return line.find("\\n") != std::string::npos || line.find("<end>") != std::string::npos ||
           line.rfind("alice (", 0) == 0 || line.find("2.5") != std::string::npos;
}

} // namespace

TEST_CASE("the terminal report in Croatian leaves no line of its own in English")
{
    Report report = sample_report();
    TerminalStyle style;
    std::ostringstream english;
    write_terminal(english, report, style);
    style.words = &croatian();
    std::ostringstream translated;
    write_terminal(translated, report, style);
    std::istringstream en(english.str());
    std::istringstream hr(translated.str());
    std::string en_line;
    std::string hr_line;
    while (std::getline(en, en_line) && std::getline(hr, hr_line)) {
        CAPTURE(en_line);
        if (!programs_own(en_line)) {
            CHECK(hr_line != en_line);
        }
    }
    CHECK(translated.str().find("točno") != std::string::npos);
    CHECK(translated.str().find("vjerojatna pogreška: pi-3.14") != std::string::npos);
    CHECK(translated.str().find("krug.cpp je uzet kao circle prema onome što ispisuje; "
                                "biljeske.txt je poveznica") != std::string::npos);

    // The page takes the language too, and is English without one.
    std::ostringstream page;
    report.language = "hr";
    write_html(page, report);
    CHECK(page.str().find("<html lang=\"hr\">") != std::string::npos);
    for (const char* words : {"Vjerojatne pogreške", "Za pi se uzima 3.14", "riječima: redak 1",
                              "očekivani ispis", "Savjeti"}) {
        CAPTURE(words);
        CHECK(page.str().find(words) != std::string::npos);
    }
    std::ostringstream english_page;
    report.language = "en";
    write_html(english_page, report);
    CHECK(english_page.str().find("Likely faults") != std::string::npos);
    CHECK(english_page.str().find("Vjerojatne") == std::string::npos);
}

TEST_CASE("the platforms' feedback in Croatian leaves no line of its own in English")
{
    Report report = sample_report();
    report.sandbox = "none";
    const auto both = [&report](const std::function<void(std::ostream&)>& write) {
        std::array<std::string, 2> written;
        for (std::size_t index = 0; index < 2; ++index) {
            report.language = index == 0 ? "en" : "hr";
            std::ostringstream out;
            write(out);
            written[index] = out.str();
        }
        return written;
    };
    const auto lines_differ = [](const std::string& english, const std::string& croatian) {
        std::istringstream en(english);
        std::istringstream hr(croatian);
        std::string en_line;
        std::string hr_line;
        while (std::getline(en, en_line) && std::getline(hr, hr_line)) {
            CAPTURE(en_line);
            const bool structure = en_line == "<|--" || en_line == "--|>" ||
                                   en_line.rfind("Grade :=>>", 0) == 0 || en_line.empty();
            if (!structure && !programs_own(en_line)) {
                CHECK(hr_line != en_line);
            }
        }
    };

    const auto vpl = both([&](std::ostream& out) { write_vpl(out, report, 0, 10); });
    lines_differ(vpl[0], vpl[1]);
    CHECK(vpl[1].find("-prolaze programi: 7 od 9") != std::string::npos);

    const auto gradescope = both([&](std::ostream& out) { write_gradescope(out, report, 1); });
    const auto en = nlohmann::json::parse(gradescope[0]);
    const auto hr = nlohmann::json::parse(gradescope[1]);
    lines_differ(en["output"].get<std::string>(), hr["output"].get<std::string>());
    for (std::size_t index = 0; index < en["tests"].size(); ++index) {
        lines_differ(en["tests"][index]["output"].get<std::string>(),
                     hr["tests"][index]["output"].get<std::string>());
    }

    const auto classroom = both([&](std::ostream& out) { write_classroom(out, report); });
    CHECK(classroom[1].find("pogrešan") != std::string::npos);

    const auto junit = both([&](std::ostream& out) { write_junit(out, report); });
    for (const char* english : {"likely fault:", "Advice:", "The programs ran without"}) {
        CAPTURE(english);
        CHECK(junit[0].find(english) != std::string::npos);
        CHECK(junit[1].find(english) == std::string::npos);
    }
    CHECK(junit[1].find("vjerojatna pogreška: pi-3.14") != std::string::npos);
}

TEST_CASE("the notes on a learner's hand-in are in the catalogue, whatever they name")
{
    for (const char* note : {
             "zadatak1.cpp taken as twodigits by its name",
             "zadaci/krug.cpp taken as circle by its folder",
             "moj program.cpp taken as circle by its output",
             "a.cpp taken as echonumber by the map",
             "5 sources taken by their names: a.cpp, b.cpp, c.cpp, d.cpp, e.cpp",
             "krug2.cpp is named after circle too: left out, circle.cpp taken",
             "not checked: biljeske.cpp (no program is left to take it as)",
             "not checked: a.cpp, b.cpp (no program is left to take them as)",
             "b.cpp also prints what circle does, as a.cpp does more closely: not checked",
             "x.cpp does not compile: not tried by the output",
             "x.cpp, y.cpp, z.cpp and 2 more do not compile: not tried by the output",
             "x.cpp prints what none of the programs left does: not checked",
             "x.cpp, y.cpp print what none of the programs left does: not checked",
             "veliki.cpp is larger than 1 MiB: left out",
             "nothing handed in",
             "sources found in predaja/zadaci",
             "handed in late",
         }) {
        CAPTURE(note);
        CHECK(croatian().knows(note));
        CHECK(croatian()(note) != note);
    }
}
