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
