#include "faults.h"

#include "cases.h"
#include "catalogue.h"
#include "test_folders.h"

#include <doctest/doctest.h>

#include <fstream>
#include <sstream>

using namespace check;
using check::test::Scratch;
namespace fs = std::filesystem;

namespace {

const Exercise exercise{"echonumber", "calculators", "calculators", "echo", ""};

void write_faults(const fs::path& data, const std::string& text)
{
    fs::create_directories(data / "calculators" / "echonumber");
    std::ofstream(data / "calculators" / "echonumber" / faults_file, std::ios::binary) << text;
}

} // namespace

TEST_CASE("a fault file lists faults with an id, a hint, how they show and their variants")
{
    const Scratch scratch;
    CHECK(load_faults(scratch.path, exercise).empty()); // none without a file
    write_faults(scratch.path, R"({"faults": [
        {"id": "unset-variable", "differs": ["output"], "hint": "what\nwhat to do",
         "variants": [[{"replace": "int broj = 0;", "with": "int broj;"}]]},
        {"id": "pi-3.14", "hint": "one line",
         "variants": [[{"replace": "a", "with": ""}, {"replace": "b", "with": "c"}], [{"replace": "d", "with": "e"}]]}]})");
    const std::vector<Fault> faults = load_faults(scratch.path, exercise);
    REQUIRE(faults.size() == 2);
    CHECK(faults[0].id == "unset-variable");
    CHECK(faults[0].output_may_differ);
    CHECK_FALSE(faults[0].standard_error_may_differ);
    CHECK(faults[0].hint == "what\nwhat to do");
    CHECK(faults[1].id == "pi-3.14");
    CHECK_FALSE(faults[1].output_may_differ);
    CHECK_FALSE(faults[1].standard_error_may_differ);
    REQUIRE(faults[1].variants.size() == 2);
    CHECK(faults[1].variants[0].size() == 2);
    CHECK(faults[1].variants[0][0].replacement.empty());
}

TEST_CASE("a fault file that is wrong says so, naming the file")
{
    const char* const wrong[] = {
        "not json",
        R"({"faults": {}})",
        R"({"faults": [{"hint": "h", "variants": [[{"replace": "a", "with": "b"}]]}]})",
        R"({"faults": [{"id": "Upper Case", "hint": "h", "variants": [[{"replace": "a", "with": "b"}]]}]})",
        R"({"faults": [{"id": "x", "hint": "one\ntwo\nthree", "variants": [[{"replace": "a", "with": "b"}]]}]})",
        R"({"faults": [{"id": "x", "hint": "", "variants": [[{"replace": "a", "with": "b"}]]}]})",
        R"({"faults": [{"id": "x", "hint": "h", "variants": []}]})",
        R"({"faults": [{"id": "x", "hint": "h", "variants": [[{"replace": "", "with": "b"}]]}]})",
        R"({"faults": [{"id": "x", "hint": "h", "variants": [[{"replace": "a"}]]}]})",
        R"({"faults": [{"id": "x", "hint": "h", "differs": ["colour"], "variants": [[{"replace": "a", "with": "b"}]]}]})",
        R"({"faults": [{"id": "x", "hint": "h", "variants": [[{"replace": "a", "with": "b"}]]},
                       {"id": "x", "hint": "h", "variants": [[{"replace": "a", "with": "b"}]]}]})",
    };
    for (const char* text : wrong) {
        CAPTURE(text);
        const Scratch scratch;
        write_faults(scratch.path, text);
        try {
            load_faults(scratch.path, exercise);
            FAIL("no error");
        } catch (const std::runtime_error& error) {
            CHECK(std::string(error.what()).find(faults_file) != std::string::npos);
        }
    }
}

TEST_CASE("a variant is the own program with each change made at its first place")
{
    CHECK(apply("a = 1; a = 1;", {{"a = 1;", "a;"}}) == "a; a = 1;");
    CHECK(apply("x / 3.0", {{"x", "y"}, {"3.0", "3"}}) == "y / 3");
    CHECK_FALSE(apply("x / 3.0", {{"x", "y"}, {"x", "z"}})); // the text was replaced away
    CHECK_FALSE(apply("x", {{"missing", "y"}}));
}

TEST_CASE("the own program is found installed beside the cases, else in the project's tree")
{
    const Scratch scratch;
    const fs::path data = scratch.path / "tests";
    fs::create_directories(data / "calculators" / "echonumber");
    CHECK(own_source(data, exercise).empty());
    check::test::touch(scratch.path / "calculators" / "echonumber.cpp");
    CHECK(fs::equivalent(own_source(data, exercise),
                         scratch.path / "calculators" / "echonumber.cpp"));
    check::test::touch(data / "calculators" / "echonumber" / "echonumber.cpp");
    CHECK(own_source(data, exercise) == data / "calculators" / "echonumber" / "echonumber.cpp");
}

TEST_CASE("every variant of the case data's faults can be made from the own program")
{
    std::size_t variants = 0;
    for (const Exercise& one : load_catalogue(default_case_data())) {
        CAPTURE(one.name);
        const fs::path own = own_source(default_case_data(), one);
        REQUIRE_FALSE(own.empty());
        std::ifstream in(own, std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        for (const Fault& fault : load_faults(default_case_data(), one)) {
            CAPTURE(fault.id);
            for (const std::vector<Change>& changes : fault.variants) {
                const std::optional<std::string> made = apply(bytes.str(), changes);
                CHECK(made);
                CHECK(made != bytes.str());
                ++variants;
            }
        }
    }
    CHECK(variants > 0);
}
