// How far a class's check is: the line, and the meter that draws it in place.
#include "progress.h"

#include <doctest/doctest.h>

#include <optional>
#include <sstream>
#include <string>
#include <vector>

using namespace check;

TEST_CASE("the progress line counts people and reads times as a clock")
{
    struct Example {
        std::size_t done;
        std::size_t total;
        double seconds;
        std::optional<double> left;
        std::string line;
    };
    const std::vector<Example> examples{
        {0, 30, 0.2, std::nullopt, "0 of 30 people checked, 0:00 so far, time left not known yet"},
        {12, 30, 41, 62, "12 of 30 people checked, 0:41 so far, about 1:02 left"},
        {29, 30, 59.6, 0.4, "29 of 30 people checked, 1:00 so far, about 0:00 left"},
        {30, 30, 83, std::nullopt, "30 of 30 people checked in 1:23"},
        {30, 30, 83, 5, "30 of 30 people checked in 1:23"},
        {1, 1, 3723, std::nullopt, "1 of 1 person checked in 1:02:03"},
    };
    for (const Example& example : examples) {
        CAPTURE(example.line);
        CHECK(progress_line(example.done, example.total, example.seconds, example.left) ==
              example.line);
    }
}

TEST_CASE("the meter redraws one line in place and ends it once")
{
    std::ostringstream out;
    {
        ProgressMeter meter(out, 3, 1);
        const Progress progress = meter.callback();
        progress(1, 3);
        progress(3, 3);
        meter.finish();
        meter.finish();
    }
    const std::string text = out.str();
    CHECK(text.find("1 of 3 people checked") != std::string::npos);
    // One line: each drawing starts at the line's beginning and clears what is left of it.
    CHECK(text.find('\n') == text.size() - 1);
    const std::size_t last = text.rfind('\r');
    CHECK(text.substr(last).rfind("\r3 of 3 people checked in ", 0) == 0);
    CHECK(text.substr(text.size() - 4) == "\033[K\n");
}

TEST_CASE("the time left comes from the work still to do, cases under way among it")
{
    // A program's build is one step, each case one more.
    const std::vector<Step> programs{
        {0, "twodigits", true, true, 10, 10}, // 11 of 11
        {0, "circle", true, false, 3, 9},     // 4 of 10: under way
        {1, "circle", false, false, 0, 9},    // 0 of 10: compiling
    };
    const Work work = work_of(programs);
    CHECK(work.done == 15);
    CHECK(work.total == 31);
    // 15 steps in 30 s: the 16 left take 32 s more. A looping program's timeouts do not make
    // the estimate creep: whatever is still to do counts, not people done.
    CHECK(time_left(work, 30).value() == doctest::Approx(32));
    CHECK_FALSE(time_left(Work{0, 31}, 30).has_value());
    CHECK(time_left(Work{31, 31}, 30).value() == doctest::Approx(0));
}

TEST_CASE("one person's line says what is compiling, then which program's cases run")
{
    struct Example {
        std::vector<Step> programs;
        std::string line;
    };
    const std::vector<Example> examples{
        {{}, "finding the sources, 0:04 so far"},
        {{{0, "twodigits", true, false, 0, 12}, {0, "circle", false, false, 0, 9}},
         "compiling: 1 of 2 programs built, 0:04 so far, about 0:09 left"},
        {{{0, "circle", true, false, 5, 14}, {0, "twodigits", true, true, 12, 12}},
         "running the cases: 1 of 2 programs done, circle 5 of 14 cases, 0:04 so far, about "
         "0:09 left"},
    };
    for (const Example& example : examples) {
        CAPTURE(example.line);
        const auto left = example.programs.empty() ? std::nullopt : std::optional<double>(9);
        CHECK(person_line(example.programs, 4, left) == example.line);
    }
}

TEST_CASE("after the last person the meter says the reports are being written")
{
    std::ostringstream out;
    {
        ProgressMeter meter(out, 2, 0);
        const Steps steps = meter.steps();
        steps({0, "twodigits", false, false, 0, 3});
        steps({0, "twodigits", true, false, 1, 3});
        const Progress progress = meter.callback();
        progress(2, 2);
        meter.finish();
    }
    const std::string text = out.str();
    CHECK(text.find("2 of 2 people checked in 0:00, writing the reports… 0:00") !=
          std::string::npos);
    CHECK(text.find('\n') == text.size() - 1);
}
