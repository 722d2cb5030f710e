#include "stress.h"

#include <doctest/doctest.h>

#include <set>

using namespace check;

TEST_CASE("a shape matches outputs with numbers where its placeholders stand, and nothing else")
{
    const char* const echo = "Molim, unesite broj: Uneseni broj: <int>\n";
    const char* const circle = "Povrsina kruga: <num>\nOpseg kruga: <num>\n";
    struct Example {
        const char* shape;
        const char* output;
        bool matches;
    };
    const Example examples[] = {
        {echo, "Molim, unesite broj: Uneseni broj: -2147483648\n", true},
        {echo, "Molim, unesite broj: Uneseni broj: 12\n\n", false},
        {echo, "Molim, unesite broj: Uneseni broj: \n", false},
        {echo, "Molim, unesite broj: Uneseni broj: 1.5\n", false},
        {circle, "Povrsina kruga: 19.6349\nOpseg kruga: 15.708\n", true},
        {circle, "Povrsina kruga: inf\nOpseg kruga: -6.28318e+20\n", true},
        {circle, "Povrsina kruga: -nan\nOpseg kruga: -0\n", true},
        {circle, "Povrsina kruga: 3.14159e-06\nOpseg kruga: 0.00628318\n", true},
        {circle, "Povrsina kruga: 1,5\nOpseg kruga: 2\n", false},
        {circle, "Povrsina kruga: 1\nOpseg kruga: 2", false},
    };
    for (const Example& example : examples) {
        CAPTURE(example.output);
        CHECK(matches_shape(example.shape, example.output) == example.matches);
    }
}

TEST_CASE("line ends must follow the target's convention")
{
    CHECK(line_ends_right("a\nb\n", false));
    CHECK_FALSE(line_ends_right("a\r\nb\n", false));
    CHECK(line_ends_right("a\r\nb\r\n", true));
    CHECK_FALSE(line_ends_right("a\r\nb\n", true));
    CHECK_FALSE(line_ends_right("a\rb\r\n", true));
    CHECK(without_crs("a\r\nb\r") == "a\nb\r");
}

TEST_CASE("random inputs are the same for a seed, differ between seeds, and vary")
{
    InputMaker first(20261208);
    InputMaker again(20261208);
    InputMaker other(7);
    std::set<std::string> seen;
    int empty = 0;
    int differ = 0;
    for (int run = 0; run < 500; ++run) {
        const std::string input = first.next();
        CHECK(input == again.next());
        differ += input != other.next() ? 1 : 0;
        empty += input.empty() ? 1 : 0;
        seen.insert(input);
    }
    CHECK(differ > 400);
    CHECK(empty > 5); // about one in sixteen
    CHECK(empty < 80);
    CHECK(seen.size() > 400);
}
