// Gradescope's results.json, read as its harness reads it: the score, and a test per program.
#include "report_gradescope.h"

#include "platform_sample_test.h"

#include <doctest/doctest.h>
#include <nlohmann/json.hpp>

#include <sstream>

using namespace check;

TEST_CASE("results.json scores each program and sums the points")
{
    for (const bool strict : {false, true}) {
        CAPTURE(strict);
        std::ostringstream out;
        write_gradescope(out, sample::learner(strict), 12.6);
        const auto results = nlohmann::json::parse(out.str());
        CHECK(results["score"] == (strict ? 1 : 2));
        CHECK(results["execution_time"] == 13);
        REQUIRE(results["tests"].size() == 5);
        double sum = 0;
        for (const auto& test : results["tests"]) {
            CHECK(test["max_score"] == 1);
            CHECK(test["status"] == (test["score"] == 1 ? "passed" : "failed"));
            sum += test["score"].get<double>();
        }
        CHECK(sum == results["score"].get<double>());
        CHECK(results["tests"][1]["status"] == (strict ? "failed" : "passed"));
        const std::string circle = results["tests"][2]["output"];
        CHECK(circle.rfind("wrong\ncalculators.circle.plain: wrong-output\ninput:", 0) == 0);
        CHECK(circle.find("expected output:\nPovrsina kruga: 19.6349") != std::string::npos);
        // The compiler's messages, with the escape and CR bytes shown rather than sent.
        const std::string broken = results["tests"][3]["output"];
        CHECK(broken.find("compiler messages:") != std::string::npos);
        CHECK(broken.find("\\x1B[2Jcleared\\x0D") != std::string::npos);
        CHECK(results["output"].get<std::string>().find("2 of 5 programs pass") ==
              (strict ? std::string::npos : 0));
    }
}

TEST_CASE("results.json is for one submission")
{
    Report none;
    std::ostringstream out;
    CHECK_THROWS_AS(write_gradescope(out, none, 1), std::invalid_argument);
    Report two = sample::learner();
    two.people.push_back(two.people.front());
    CHECK_THROWS_AS(write_gradescope(out, two, 1), std::invalid_argument);
}
