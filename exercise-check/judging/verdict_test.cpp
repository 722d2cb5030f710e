#include "verdict.h"

#include <doctest/doctest.h>

#include <csignal>

using namespace check;

namespace {

RunResult exited(int status, const std::string& out, const std::string& err = "")
{
    RunResult run;
    run.ending = Ending::exited;
    run.status = status;
    run.out = out;
    run.err = err;
    return run;
}

RunResult ended(Ending ending, int signal = 0, const std::string& err = "")
{
    RunResult run;
    run.ending = ending;
    run.signal = signal;
    run.err = err;
    return run;
}

Case make(CaseKind kind, const std::string& expected, int status = 0)
{
    Case one;
    one.name = "calculators.echonumber.x";
    one.kind = kind;
    one.input = "17\n";
    one.expected = expected;
    one.expected_status = status;
    return one;
}

} // namespace

TEST_CASE("a case's verdict comes from how its run ended")
{
    const std::string right = "Broj: 17\n";
    struct Example {
        Case one;
        RunResult run;
        CaseVerdict verdict;
        const char* in_message;
    };
    const Example examples[] = {
        {make(CaseKind::plain, right), exited(0, right), CaseVerdict::passed, ""},
        {make(CaseKind::plain, right), exited(0, "Broj: 18\n"), CaseVerdict::wrong_output,
         "line 1, column 8: expected '7', got '8'"},
        {make(CaseKind::plain, right), exited(0, "Broj:17\n"), CaseVerdict::wrong_layout,
         "expected a blank"},
        {make(CaseKind::plain, right), exited(3, right), CaseVerdict::wrong_status,
         "exit status 3 (expected 0)"},
        {make(CaseKind::plain, right), exited(0, right, "debug\n"), CaseVerdict::stderr_output,
         "debug"},
        {make(CaseKind::plain, right),
         exited(1, "",
                "terminate called after throwing an "
                "instance of 'std::bad_alloc'"),
         CaseVerdict::memory_limit, "memory"},
        // Words about memory on standard error do not make a program that exited 0 one that ran
        // out of it: it wrote to standard error.
        {make(CaseKind::plain, right), exited(0, right, "out of memory\n"),
         CaseVerdict::stderr_output, "wrote to standard error"},
        {make(CaseKind::plain, right), exited(2, "", "out of memory\n"), CaseVerdict::memory_limit,
         "memory"},
        // 99 is memcheck's exit for an error it found; without memcheck it is only a wrong status.
        {make(CaseKind::plain, right), exited(99, right), CaseVerdict::wrong_status,
         "exit status 99 (expected 0)"},
        {make(CaseKind::plain, right), ended(Ending::signalled, SIGSEGV), CaseVerdict::crashed,
         "SIGSEGV"},
        {make(CaseKind::plain, right), ended(Ending::signalled, SIGXFSZ), CaseVerdict::output_limit,
         "wrote a file larger than the limit"},
        {make(CaseKind::plain, right), ended(Ending::signalled, SIGXCPU), CaseVerdict::timeout,
         "CPU time"},
        {make(CaseKind::plain, right), ended(Ending::timed_out), CaseVerdict::timeout,
         "not waiting for input"},
        {make(CaseKind::input_left_open, right), ended(Ending::timed_out), CaseVerdict::timeout,
         "waits for more input than the case gives"},
        {make(CaseKind::plain, right), ended(Ending::output_limit), CaseVerdict::output_limit,
         "output limit"},
        {make(CaseKind::waiting, "Broj: "), ended(Ending::waiting), CaseVerdict::passed, ""},
        {make(CaseKind::waiting, "Broj: "), ended(Ending::timed_out), CaseVerdict::prompt_not_shown,
         "the screen did not show"},
        {make(CaseKind::waiting, "Broj: "), exited(0, "Broj: "), CaseVerdict::wrong_output,
         "did not wait"},
        {make(CaseKind::output_full, "", 1), exited(1, "", "cannot write\n"), CaseVerdict::passed,
         ""},
        {make(CaseKind::output_full, "", 1), exited(0, ""), CaseVerdict::wrong_status,
         "when its output could not be written"},
        {make(CaseKind::output_closed, "", 1), ended(Ending::signalled, SIGABRT),
         CaseVerdict::crashed, "SIGABRT"},
    };
    for (const Example& example : examples) {
        CAPTURE(std::string(example.in_message));
        const CaseResult result = judge(example.one, example.run, RunConditions{});
        CHECK(result.verdict == example.verdict);
        CHECK(message(result).find(example.in_message) != std::string::npos);
        CHECK(message(result).empty() == (example.verdict == CaseVerdict::passed));
        if (example.verdict != CaseVerdict::passed) {
            CHECK(message(result).find("input:\n17\\n\n<end>") != std::string::npos);
        }
    }
}

TEST_CASE("memcheck's exit status is a memory error only when memcheck ran")
{
    RunConditions memcheck;
    memcheck.memcheck = true;
    const Case one = make(CaseKind::plain, "Broj: 17\n");
    const CaseResult found = judge(one, exited(99, "Broj: 17\n"), memcheck);
    CHECK(found.verdict == CaseVerdict::memory_error);
    CHECK(found.why.find("memcheck found a memory error") != std::string::npos);
    CHECK(judge(one, exited(99, "Broj: 17\n"), RunConditions{}).verdict ==
          CaseVerdict::wrong_status);
    CHECK(judge(one, exited(0, "Broj: 17\n"), memcheck).verdict == CaseVerdict::passed);
}

TEST_CASE("a Windows program is judged against CRLF line ends")
{
    RunConditions windows;
    windows.crlf = true;
    const Case one = make(CaseKind::plain, "a\nb\n");
    CHECK(judge(one, exited(0, "a\r\nb\r\n"), windows).verdict == CaseVerdict::passed);
    CHECK(judge(one, exited(0, "a\nb\n"), windows).verdict == CaseVerdict::wrong_layout);
}

TEST_CASE("a value never set shows as a difference between the plain and the filled build")
{
    const Case one = make(CaseKind::plain, "0\n");
    CHECK(judge_unset_values(one, exited(0, "0\n"), exited(0, "0\n"), RunConditions{}).verdict ==
          CaseVerdict::passed);
    const CaseResult unset =
        judge_unset_values(one, exited(0, "0\n"), exited(0, "-16843010\n"), RunConditions{});
    CHECK(unset.verdict == CaseVerdict::memory_error);
    CHECK(message(unset).find("-16843010") != std::string::npos);
    // The same output but another exit status: the status came from a value never set.
    const CaseResult status =
        judge_unset_values(one, exited(0, "0\n"), exited(1, "0\n"), RunConditions{});
    CHECK(status.verdict == CaseVerdict::memory_error);
    CHECK(status.why.find("never set") != std::string::npos);
    // Both print the same wrong value: that is a plain difference, not an unset value.
    CHECK(judge_unset_values(one, exited(0, "5\n"), exited(0, "5\n"), RunConditions{}).verdict ==
          CaseVerdict::wrong_output);
}

TEST_CASE("a random input's output must have the shape")
{
    Case one = make(CaseKind::stress, "Broj: <int>\n");
    CHECK(judge_random_input(one, "x", exited(0, "Broj: 0\n"), RunConditions{}).verdict ==
          CaseVerdict::passed);
    const CaseResult broken =
        judge_random_input(one, "1e39", exited(0, "Broj: \n"), RunConditions{});
    CHECK(broken.verdict == CaseVerdict::wrong_output);
    CHECK(message(broken).find("1e39") != std::string::npos);
    CHECK(judge_random_input(one, "", ended(Ending::signalled, SIGFPE), RunConditions{}).verdict ==
          CaseVerdict::crashed);
}

TEST_CASE("a random input's line ends follow the target's convention")
{
    RunConditions windows;
    windows.crlf = true;
    const Case one = make(CaseKind::stress, "Broj: <int>\nKraj\n");
    struct Example {
        const char* output;
        bool crlf;
        CaseVerdict verdict;
    };
    const Example examples[] = {
        {"Broj: 5\nKraj\n", false, CaseVerdict::passed},
        {"Broj: 5\r\nKraj\r\n", true, CaseVerdict::passed},
        {"Broj: 5\r\nKraj\r\n", false, CaseVerdict::wrong_output}, // CRs where none belong
        {"Broj: 5\nKraj\n", true, CaseVerdict::wrong_output},      // LF where CRLF belongs
        {"Broj: 5\r\nKraj\n", true, CaseVerdict::wrong_output},    // one line end of each
        {"Broj: 5\r\r\nKraj\r\n", true, CaseVerdict::wrong_output},
    };
    for (const Example& example : examples) {
        CAPTURE(std::string(example.output));
        CAPTURE(example.crlf);
        const CaseResult result = judge_random_input(one, "5\n", exited(0, example.output),
                                                     example.crlf ? windows : RunConditions{});
        CHECK(result.verdict == example.verdict);
    }
}

TEST_CASE("a program's verdict: correct with advice for plain differences in departure cases")
{
    const auto result = [](std::initializer_list<std::pair<CaseVerdict, bool>> cases) {
        ProgramResult program;
        program.source = "x.cpp";
        for (const auto& [verdict, departure] : cases) {
            CaseResult one;
            one.verdict = verdict;
            one.departure = departure;
            one.remark = "exits with 0";
            program.cases.push_back(one);
        }
        return program;
    };
    struct Example {
        ProgramResult program;
        bool built;
        bool strict;
        ProgramVerdict verdict;
    };
    const Example examples[] = {
        {result({{CaseVerdict::passed, false}, {CaseVerdict::passed, true}}), true, false,
         ProgramVerdict::correct},
        {result({{CaseVerdict::passed, false},
                 {CaseVerdict::wrong_status, true},
                 {CaseVerdict::wrong_status, true}}),
         true, false, ProgramVerdict::correct},
        {result({{CaseVerdict::wrong_status, true}}), true, true, ProgramVerdict::wrong},
        {result({{CaseVerdict::memory_error, true}}), true, false, ProgramVerdict::wrong},
        {result({{CaseVerdict::crashed, true}}), true, false, ProgramVerdict::wrong},
        {result({{CaseVerdict::wrong_layout, false}, {CaseVerdict::wrong_status, true}}), true,
         false, ProgramVerdict::wrong},
        {result({{CaseVerdict::not_built, false}}), false, false, ProgramVerdict::does_not_compile},
    };
    for (Example example : examples) {
        decide(example.program, example.built, example.strict);
        CHECK(example.program.verdict == example.verdict);
    }
    ProgramResult advised = examples[1].program;
    decide(advised, true, false);
    CHECK(advised.advice == std::vector<std::string>{"exits with 0"}); // once, not twice
    ProgramResult strict = examples[1].program;
    decide(strict, true, true);
    CHECK(strict.verdict == ProgramVerdict::wrong);
    ProgramResult absent;
    decide(absent, false, false);
    CHECK(absent.verdict == ProgramVerdict::absent);
}

TEST_CASE("a failed case carries what it was given and wrote as fields")
{
    Case one = make(CaseKind::plain, "Broj: 17\n");
    one.args = {"-x"};
    const CaseResult wrong = judge(one, exited(2, "Broj: 18\n", "oops\n"), RunConditions{});
    CHECK(wrong.why == "wrong output; exit status 2 (expected 0)");
    REQUIRE(wrong.input);
    CHECK(wrong.input->bytes == "17\n");
    CHECK(wrong.args == std::vector<std::string>{"-x"});
    REQUIRE(wrong.difference);
    CHECK(where(*wrong.difference) == "line 1, column 8: expected '7', got '8'");
    REQUIRE(wrong.expected);
    REQUIRE(wrong.actual);
    CHECK(wrong.expected->title == "expected output");
    CHECK(wrong.actual->bytes == "Broj: 18\n");
    REQUIRE(wrong.standard_error);
    CHECK(wrong.standard_error->bytes == "oops\n");
    CHECK(wrong.exit_status == 2);
    // The message is composed from the fields, the difference said in words after where it lies.
    CHECK(message(wrong) == "wrong output; exit status 2 (expected 0)\n"
                            "arguments: -x\n"
                            "input:\n17\\n\n<end>\n"
                            "first difference at line 1, column 8: expected '7', got '8'\n"
                            "in words: line 1: write 17, not 18: another value\n"
                            "expected output:\nBroj: 17\\n\n<end>\n"
                            "actual output:\nBroj: 18\\n\n<end>\n"
                            "standard error:\noops\\n\n<end>\n");

    RunResult crash = ended(Ending::signalled, SIGSEGV);
    crash.out = std::string(700, 'a');
    const CaseResult crashed = judge(one, crash, RunConditions{});
    CHECK(crashed.signal == SIGSEGV);
    CHECK_FALSE(crashed.exit_status);
    CHECK_FALSE(crashed.expected);
    REQUIRE(crashed.actual);
    CHECK(crashed.actual->title == "output so far");
    CHECK(crashed.actual->bytes.size() == 600);
    CHECK(crashed.actual->left_out == 100);
    CHECK(message(crashed).find("aaa... and 100 bytes more<end>\n") != std::string::npos);

    const CaseResult unset =
        judge_unset_values(one, exited(0, "Broj: 17\n"), exited(0, "Broj: 16\n"), RunConditions{});
    REQUIRE(unset.expected);
    REQUIRE(unset.actual);
    CHECK(unset.expected->title == "output as built");
    CHECK(unset.actual->title == "output with unset variables filled");
    CHECK(unset.difference);

    Case stress = make(CaseKind::stress, "Broj: <int>\n");
    CaseResult broken = judge_random_input(stress, "1e39", exited(0, "Broj: \n"), RunConditions{});
    REQUIRE(broken.expected);
    CHECK(broken.expected->title == "expected shape");
    CHECK_FALSE(broken.difference);
    broken.random_input = "random input 3 of 200 (seed 7)";
    CHECK(message(broken).rfind("random input 3 of 200 (seed 7) broke it: the output does not "
                                "have the expected shape",
                                0) == 0);
}

TEST_CASE("the reasons name the limits the program ran with")
{
    RunConditions judging;
    judging.limits.wall_seconds = 2;
    judging.limits.output_bytes = 3 * mebibyte;
    const Case one = make(CaseKind::plain, "x\n");
    CHECK(judge(one, ended(Ending::timed_out), judging).why.find("time limit of 2 s") !=
          std::string::npos);
    CHECK(judge(one, ended(Ending::output_limit), judging).why.find("limit of 3 MiB") !=
          std::string::npos);
}

TEST_CASE("a departure's remark stands only where its departure explains the failure")
{
    Case never_read = make(CaseKind::plain, "Uneseni broj: 0\n");
    never_read.departure = true;
    never_read.remark = "prints another value than 0 for a number it never read";
    Case lost = make(CaseKind::output_full, "", 1);
    lost.departure = true;
    lost.departure_gives = CaseVerdict::wrong_status;
    lost.remark = "exits with 0 when its output is lost";
    const Case plain = make(CaseKind::plain, "Uneseni broj: 17\n");
    const RunConditions judging;

    // The departure's own failure is a remark; a missing line end is not what it is about.
    const CaseResult other_value = judge(never_read, exited(0, "Uneseni broj: 5\n"), judging);
    CHECK(other_value.remark == never_read.remark);
    CHECK_FALSE(counts_against(other_value, false));
    // Other words as well as another value: the case fails another way, not by its departure.
    for (const char* output : {"Uneseni broj:5\n", "Uneseni broj je 5\n", "Broj: 5\n"}) {
        CAPTURE(std::string(output));
        const CaseResult otherwise = judge(never_read, exited(0, output), judging);
        CHECK(otherwise.remark.empty());
        CHECK(counts_against(otherwise, false));
    }
    CHECK(judge(never_read, exited(0, "Uneseni broj: -1.5e+07\n"), judging).remark ==
          never_read.remark);
    // Lost output that exits with another status than 0 is not what the remark says.
    CHECK(judge(lost, exited(0, ""), judging).remark == lost.remark);
    CHECK(judge(lost, exited(2, ""), judging).remark.empty());
    const CaseResult no_line_end = judge(never_read, exited(0, "Uneseni broj: 0"), judging);
    CHECK(no_line_end.verdict == CaseVerdict::wrong_layout);
    CHECK(no_line_end.remark.empty());
    CHECK(counts_against(no_line_end, false));

    struct Example {
        const char* what;
        std::vector<CaseResult> cases;
        ProgramVerdict verdict;
        std::vector<std::string> advice;
    };
    const Example examples[] = {
        {"the departure alone fails",
         {judge(plain, exited(0, "Uneseni broj: 17\n"), judging), other_value},
         ProgramVerdict::correct,
         {never_read.remark}},
        {"every case prints other words: not the departure's doing",
         {judge(plain, exited(0, "Broj je 17\n"), judging),
          judge(never_read, exited(0, "Broj je 0\n"), judging)},
         ProgramVerdict::wrong,
         {}},
        {"another departure fails otherwise",
         {judge(plain, exited(0, "Uneseni broj: 17"), judging), no_line_end,
          judge(lost, exited(0, ""), judging)},
         ProgramVerdict::wrong,
         {lost.remark}},
    };
    for (const Example& example : examples) {
        CAPTURE(std::string(example.what));
        ProgramResult program;
        program.source = "echonumber.cpp";
        program.cases = example.cases;
        decide(program, true, false);
        CHECK(program.verdict == example.verdict);
        CHECK(program.advice == example.advice);
    }
}

TEST_CASE("a difference is said in words where the output was compared, and only there")
{
    const Case one = make(CaseKind::plain, "Molim, unesite broj: Uneseni broj: 17\n");
    std::string asking;
    for (int i = 0; i < 40; ++i) {
        asking += "Molim, unesite broj: ";
    }
    RunResult stopped = ended(Ending::output_limit);
    stopped.out = asking;
    struct Example {
        const char* what;
        CaseResult result;
        const char* words;
    };
    const Example examples[] = {
        {"a lost blank",
         judge(one, exited(0, "Molim, unesite broj: Uneseni broj:17\n"), RunConditions{}),
         "line 1: write a blank after \"Uneseni broj:\""},
        {"another value",
         judge(one, exited(0, "Molim, unesite broj: Uneseni broj: 18\n"), RunConditions{}),
         "line 1: write 17, not 18: another value"},
        {"a prompt without end, stopped", judge(one, stopped, RunConditions{}),
         "line 1: it asks \"Molim, unesite broj:\" again and again (40 times): its loop never "
         "ends; let it end when the input does or a read fails"},
        {"words on standard error",
         judge(one, exited(0, "Molim, unesite broj: Uneseni broj: 17\n", "gotovo\nsve\n"),
               RunConditions{}),
         "it writes \"gotovo\" to standard error, which should stay empty: leave it out, or write "
         "what belongs to the output to std::cout"},
        {"a crash", judge(one, ended(Ending::signalled, SIGSEGV), RunConditions{}), ""},
        {"passed",
         judge(one, exited(0, "Molim, unesite broj: Uneseni broj: 17\n"), RunConditions{}), ""},
        {"two builds that differ",
         judge_unset_values(one, exited(0, "0\n"), exited(0, "1\n"), RunConditions{}), ""},
    };
    for (const Example& example : examples) {
        CAPTURE(std::string(example.what));
        CHECK(example.result.in_words == example.words);
    }
}
