#include "cases.h"
#include "catalogue.h"
#include "test_folders.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

using namespace check;
namespace fs = std::filesystem;

namespace {

const Case* find(const std::vector<Case>& cases, const std::string& name)
{
    const auto at =
        std::find_if(cases.begin(), cases.end(), [&](const Case& one) { return one.name == name; });
    return at == cases.end() ? nullptr : &*at;
}

} // namespace

TEST_CASE("the cases of a program are read from its folder of data")
{
    const test::Scratch scratch;
    const fs::path data = scratch.path;
    const fs::path folder = data / "calculators" / "circle";
    fs::create_directories(folder);
    const auto write = [&](const std::string& name, const std::string& text) {
        std::ofstream(folder / name, std::ios::binary) << text;
    };
    write("plain.in", "2.5\n");
    write("plain.out", "area\r\n");
    write("hex.in", "0x10\n");
    write("hex.libc++.out", "sixteen\n");
    write("hex.libstdc++.out", "zero\n");
    write("only-libcxx.libc++.out", "x\n");
    write("bare.out", "no input\n");
    write("bare.args", "-v\r\nword two\n");
    write("empty.in", "");
    write("empty.out", "0\n");
    write("empty.labels", "failed-read\ndeparture\n");
    write("empty.remark", "prints another value\n");
    write("prompt.waiting", "Radius: ");
    write("random-input.shape", "<num>\n");
    const Exercise circle{"circle", "calculators", "calculators", "circ", ""};

    const std::vector<Case> cases = load_cases(data, circle, "libstdc++");
    CHECK(cases.front().name == "calculators.circle.plain"); // plain first
    const Case* hex = find(cases, "calculators.circle.hex");
    REQUIRE(hex);
    CHECK(hex->expected == "zero\n");
    CHECK_FALSE(find(cases, "calculators.circle.only-libcxx"));
    CHECK(find(load_cases(data, circle, "libc++"), "calculators.circle.hex")->expected ==
          "sixteen\n");

    const Case* plain = find(cases, "calculators.circle.plain");
    CHECK(plain->input == "2.5\n");
    CHECK(plain->expected == "area\r\n"); // bytes as they are
    const Case* bare = find(cases, "calculators.circle.bare");
    CHECK(bare->input.empty());
    CHECK(bare->args == std::vector<std::string>{"-v", "word two"});

    const Case* empty = find(cases, "calculators.circle.empty");
    CHECK(empty->failed_read);
    CHECK(empty->departure);
    CHECK(empty->remark == "prints another value");

    struct Kind {
        const char* name;
        CaseKind kind;
        int status;
    };
    for (const Kind& kind :
         {Kind{"input-left-open", CaseKind::input_left_open, 0},
          Kind{"prompt", CaseKind::waiting, 0}, Kind{"output-full", CaseKind::output_full, 1},
          Kind{"output-closed", CaseKind::output_closed, 1},
          Kind{"random-input", CaseKind::stress, 0}}) {
        const Case* one = find(cases, std::string("calculators.circle.") + kind.name);
        REQUIRE_MESSAGE(one, kind.name);
        CHECK(one->kind == kind.kind);
        CHECK(one->expected_status == kind.status);
    }
    CHECK(find(cases, "calculators.circle.input-left-open")->input == "2.5\n");
    CHECK(find(cases, "calculators.circle.output-full")->departure);
    CHECK_THROWS(load_cases(data, Exercise{"twodigits", "digits", "", "", ""}, "libstdc++"));
}

TEST_CASE("every exercise has case data, and every departure a remark of its own")
{
    for (const Exercise& exercise : load_catalogue(default_case_data())) {
        CAPTURE(exercise.name);
        const std::vector<Case> cases = load_cases(default_case_data(), exercise, "libstdc++");
        // Beyond the three every exercise gets (input left open, output full and closed), a
        // plain case of its own.
        CHECK(std::any_of(cases.begin(), cases.end(), [&](const Case& one) {
            return one.name == exercise.group + "." + exercise.name + ".plain";
        }));
        for (const Case& one : cases) {
            CAPTURE(one.name);
            if (one.departure) {
                CHECK(one.remark.find(one.name) == std::string::npos); // not the fallback text
            }
        }
    }
}
