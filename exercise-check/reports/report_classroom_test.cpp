// GitHub Classroom's result, decoded and added up as its grading reporter does.
#include "report_classroom.h"

#include "platform_sample_test.h"

#include <doctest/doctest.h>
#include <nlohmann/json.hpp>

#include <sstream>

using namespace check;

namespace {

nlohmann::json result_of(const Report& report)
{
    std::ostringstream out;
    write_classroom(out, report);
    const std::string text = out.str();
    REQUIRE(text.find('\n') == text.size() - 1); // one line, for the runner's output
    return nlohmann::json::parse(text);
}

} // namespace

TEST_CASE("the reporter's total is the person's points out of their programs")
{
    for (const bool strict : {false, true}) {
        CAPTURE(strict);
        const auto result = result_of(sample::learner(strict));
        CHECK(result["version"] == 1);
        CHECK(result["status"] == "fail");
        CHECK(result["max_score"] == 5);
        double total = 0;
        for (const auto& test : result["tests"]) {
            for (const char* key : {"name", "status", "message", "test_code", "filename"}) {
                CHECK(test[key].is_string());
            }
            CHECK(test["line_no"].is_number());
            CHECK(test["duration"].is_number());
            total += test["score"].get<double>();
        }
        CHECK(total == (strict ? 1 : 2));
        CHECK(result["tests"][2]["status"] == "fail");
        CHECK(result["tests"][2]["test_code"] == "calculators.circle.plain");
        CHECK(result["tests"][3]["status"] == "error");
        CHECK(result["tests"][4]["status"] == "fail");
    }
}

TEST_CASE("every program right passes; nobody to grade is an error")
{
    Report right = sample::learner();
    right.people.front().programs.resize(1);
    CHECK(result_of(right)["status"] == "pass");
    CHECK(result_of(Report{})["status"] == "error");
    CHECK(result_of(Report{})["max_score"] == 0);
}
