// The command line read: what each asks for, what it refuses, and the colour it leads to.
#include "options.h"

#include "report_colour.h"

#include <doctest/doctest.h>

#include <iostream>
#include <sstream>

using namespace check;

namespace {

struct Parsed {
    ParsedOptions parsed;
    std::string out, errors;
};

Parsed parse(std::vector<std::string> words)
{
    words.insert(words.begin(), "exercise-check");
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    std::ostringstream out;
    std::ostringstream errors;
    std::streambuf* const old_out = std::cout.rdbuf(out.rdbuf());
    std::streambuf* const old_errors = std::cerr.rdbuf(errors.rdbuf());
    Parsed result{parse_options(static_cast<int>(argv.size()), argv.data()), "", ""};
    std::cout.rdbuf(old_out);
    std::cerr.rdbuf(old_errors);
    result.out = out.str();
    result.errors = errors.str();
    return result;
}

// "json=a.json worksheet=w.csv>o.csv": the outputs asked for.
std::string outputs_of(const Options& options)
{
    std::string shown;
    for (const OutputAsked& asked : options.outputs) {
        shown += (shown.empty() ? "" : " ") + std::string(asked.output->name) + "=" + asked.value +
                 (asked.second.empty() ? "" : ">" + asked.second);
    }
    return shown;
}

} // namespace

TEST_CASE("the command line asks for the outputs given, or is refused")
{
    struct Row {
        std::vector<std::string> words;
        int exit_now; // -1: carried out
        std::string outputs;
        std::string said; // in the one line on standard error, or on standard output
    };
    const std::vector<Row> rows{
        {{"me"}, -1, "", ""},
        {{"me", "--json", "a.json", "--html=b.html"}, -1, "json=a.json html=b.html", ""},
        {{"me", "--json", ""}, -1, "", ""},
        {{"me", "--vpl", "0:10", "--csv", "c"}, -1, "csv=c vpl=0:10", ""},
        {{"--gradescope"}, -1, "gradescope=/autograder", ""},
        {{"--gradescope", "/grader"}, -1, "gradescope=/grader", ""},
        {{"--gradescope="}, -1, "gradescope=/autograder", ""},
        {{"--gradescope", "/grader", "me"},
         2,
         "gradescope=/grader",
         "--gradescope checks ROOT/submission"},
        {{"--class", "c", "--worksheet", "w", "--worksheet-out", "o"}, -1, "worksheet=w>o", ""},
        {{"--class", "c", "--worksheet", "w"}, 2, "", "--worksheet requires --worksheet-out"},
        {{"--class", "c", "--worksheet-out", "o"}, 2, "", "requires --worksheet"},
        {{"merge", "a.json", "--json", "m.json"}, -1, "json=m.json", ""},
        {{"merge", "a.json", "--worksheet-out", "o"}, 2, "", "requires --worksheet"},
        {{"merge", "a.json", "--classroom", "r.json"}, 2, "", "--classroom"},
        {{"merge"}, 2, "", "REPORT is required"},
        {{}, 2, "", "name a folder to check"},
        {{"--class", "c", "me"}, 2, "", "not both"},
        {{"--class", "c", "--built", "b"}, 2, "", "excludes"},
        {{"me", "--jsn", "a"}, 2, "", "did you mean --json?"},
        {{"me", "--zzzz", "a"}, 2, "", "not expected: --zzzz (see exercise-check --help)"},
        {{"me", "--color=sometimes"}, 2, "", "--color"},
        {{"me", "--timeout", "nan"}, 2, "", "not a number"},
        {{"--watch", "me"}, -1, "", ""},
        {{"--watch", "me", "you"}, 2, "", "--watch watches one person's folder"},
        {{"--watch", "--class", "c"}, 2, "", "--watch watches one person's folder"},
        {{"me", "--no-cache"}, -1, "", ""},
        {{"--version"}, 0, "", "exercise-check 1.0.0\n"},
        {{"--help"}, 0, "", "For platforms:"},
        {{"merge", "--help"}, 0, "", "usage: exercise-check merge"},
        {{"--print-completion", "bash"}, 0, "", "complete -o filenames -F _exercise_check"},
        {{"--print-completion", "fish"}, 2, "", "--print-completion"},
        {{"--print-man-page"}, 0, "", ".SH \"EXIT STATUS\""},
    };
    for (const Row& row : rows) {
        std::string words;
        for (const std::string& word : row.words) {
            words += word + " ";
        }
        CAPTURE(words);
        const Parsed parsed = parse(row.words);
        CHECK(parsed.parsed.exit_now.value_or(-1) == row.exit_now);
        CHECK(outputs_of(parsed.parsed.options) == row.outputs);
        CHECK((parsed.out + parsed.errors).find(row.said) != std::string::npos);
        if (row.exit_now == 2) {
            CHECK(parsed.errors.rfind("exercise-check: ", 0) == 0);
            CHECK(parsed.errors.find('\n') == parsed.errors.size() - 1);
        }
    }
}

TEST_CASE("every output of the table is an option of the command line, and of merge's if it has a "
          "use there")
{
    const std::vector<CommandDoc> commands = command_line_docs();
    const auto has = [](const CommandDoc& command, const std::string& name) {
        for (const OptionDoc& option : command.options) {
            if (option.names == name) {
                return true;
            }
        }
        return false;
    };
    for (const Output& output : outputs()) {
        const std::string name = "--" + std::string(output.name);
        CAPTURE(name);
        CHECK(has(commands[0], name));
        CHECK(has(commands[1], name) == !output.merge_help.empty());
    }
}

TEST_CASE("colour on a terminal unless NO_COLOR is set and not empty, or --color says otherwise")
{
    struct Row {
        std::string choice;
        bool terminal;
        const char* no_color; // nullptr: unset
        bool coloured;
    };
    const std::vector<Row> rows{
        {"auto", true, nullptr, true},    {"auto", true, "", true},
        {"auto", true, "1", false},       {"auto", true, "0", false},
        {"auto", false, nullptr, false},  {"auto", false, "", false},
        {"always", false, nullptr, true}, {"always", true, "1", true},
        {"never", true, nullptr, false},  {"never", true, "", false},
    };
    for (const Row& row : rows) {
        CAPTURE(row.choice);
        CAPTURE(row.terminal);
        CAPTURE(row.no_color == nullptr ? "(unset)" : row.no_color);
        CHECK(colour::wanted(row.choice, row.terminal, row.no_color) == row.coloured);
    }
}
