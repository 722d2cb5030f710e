// Beginners' compile errors: each example's real GCC and Clang output gives its hint and no other.
#include "compile_hints.h"

#include "cases.h"
#include "test_folders.h"

#include <doctest/doctest.h>

#include <fstream>
#include <sstream>

using namespace check;
namespace fs = std::filesystem;

namespace {

const fs::path examples = default_case_data() / "diagnosis" / "compile-hints";

std::string read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> ids(const std::vector<CompileHint>& hints)
{
    std::vector<std::string> found;
    for (const CompileHint& hint : hints) {
        found.push_back(hint.id);
    }
    return found;
}

const std::vector<CompileHintRule>& rules()
{
    static const std::vector<CompileHintRule> loaded =
        load_compile_hints(default_case_data() / "diagnosis" / "compile-hints.json");
    return loaded;
}

} // namespace

TEST_CASE("each beginner's mistake gives its hint and no other, from GCC's and Clang's words")
{
    struct Example {
        const char* name; // NAME.cpp, and what each compiler said of it: NAME.g++.txt, ...
        std::vector<std::string> hints;
    };
    const Example all[] = {
        {"conio", {"conio"}},
        {"getch", {"conio"}},
        {"iostream-h", {"iostream-h"}},
        {"stdafx", {"stdafx"}},
        {"void-main", {"void-main"}},
        {"no-std", {"namespace-std"}},
        {"no-cmath", {"cmath"}},
        {"no-cstdio", {"cstdio"}},
        {"semicolon", {"semicolon"}},
        {"comma", {"comma-read"}},
        {"pause", {"system-pause"}}, // compiles, and says so when it runs: NAME.stderr.txt
        {"other-error", {}},
        {"correct", {}},
    };
    for (const Example& example : all) {
        CAPTURE(std::string(example.name));
        REQUIRE(fs::is_regular_file(examples / (std::string(example.name) + ".cpp")));
        const std::string standard_error =
            read(examples / (std::string(example.name) + ".stderr.txt"));
        for (const char* compiler : {"g++", "clang++"}) {
            CAPTURE(std::string(compiler));
            const std::string output =
                read(examples / (std::string(example.name) + "." + compiler + ".txt"));
            CHECK(ids(compile_hints_for(rules(), output, standard_error)) == example.hints);
        }
    }
}

TEST_CASE("hints come in the order the compiler shows them, each once, from its diagnostics only")
{
    const std::string no_std = read(examples / "no-std.g++.txt");
    const std::string semicolon = read(examples / "semicolon.clang++.txt");
    struct Example {
        const char* what;
        std::string compiler;
        std::string standard_error;
        std::vector<std::string> hints;
    };
    const Example all[] = {
        {"two mistakes, as shown", semicolon + no_std, "", {"semicolon", "namespace-std"}},
        {"the other way round", no_std + semicolon, "", {"namespace-std", "semicolon"}},
        {"a run's standard error read only for what a run shows",
         "",
         "sh: 1: pause: not found\n" + read(examples / "no-std.clang++.txt"),
         {"system-pause"}}, // the run's standard error is not the compiler's output
        {"GCC's words in the C locale",
         "x.cpp:6:5: error: 'cout' was not declared in this scope; did you mean 'std::cout'?\n",
         "",
         {"namespace-std"}},
        {"a quoted source line is no diagnostic",
         "x.cpp:7:5: error: 'x' was not declared in this scope\n"
         "    7 |     x = 1; // expected ';' and 'cout' was not declared\n",
         "",
         {}},
        {"a pause that bash did not find",
         "",
         "bash: line 1: pause: command not found\n",
         {"system-pause"}},
    };
    for (const Example& example : all) {
        CAPTURE(std::string(example.what));
        CHECK(ids(compile_hints_for(rules(), example.compiler, example.standard_error)) ==
              example.hints);
    }
    const std::vector<CompileHint> hints = compile_hints_for(rules(), no_std);
    REQUIRE(hints.size() == 1);
    CHECK(hints[0].hint.find("std::cout") != std::string::npos);
}

TEST_CASE("a file of hints that cannot be right is refused in one line that names the fault")
{
    struct Bad {
        const char* hints;
        const char* said;
    };
    for (const Bad& bad : {
             Bad{"{\"hints\": [", "is not {\"hints\": [...]}"},
             Bad{R"({"hints": [{"hint": "h", "compiler": ["x"]}]})", "needs \"id\""},
             Bad{R"({"hints": [{"id": "A b", "hint": "h", "compiler": ["x"]}]})", "an id holds"},
             Bad{R"({"hints": [{"id": "a", "compiler": ["x"]}]})", "needs \"hint\""},
             Bad{R"({"hints": [{"id": "a", "hint": "1\n2\n3", "compiler": ["x"]}]})",
                 "one or two lines"},
             Bad{R"({"hints": [{"id": "a", "hint": "h"}]})", "what shows it"},
             Bad{R"({"hints": [{"id": "a", "hint": "h", "compiler": [""]}]})", "not empty"},
             Bad{R"({"hints": [{"id": "a", "hint": "h", "compiler": "x"}]})", "a list of texts"},
             Bad{R"({"hints": [{"id": "a", "hint": "h", "compiler": ["x"]},
                               {"id": "a", "hint": "h", "compiler": ["y"]}]})",
                 "twice"},
         }) {
        CAPTURE(std::string(bad.hints));
        const test::Scratch scratch;
        std::ofstream(scratch.path / "hints.json", std::ios::binary) << bad.hints;
        try {
            load_compile_hints(scratch.path / "hints.json");
            FAIL("accepted");
        } catch (const std::runtime_error& error) {
            const std::string message = error.what();
            CHECK(message.find(bad.said) != std::string::npos);
            CHECK(message.find('\n') == std::string::npos);
        }
    }
}
