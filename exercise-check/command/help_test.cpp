// What the command line says of itself: --help within the terminal, the option a mistyped one
// meant, and completions and a manual page that know every option.
#include "help.h"

#include "outputs.h"
#include "test_folders.h"

#include <doctest/doctest.h>

#include <cstdio>
#include <fstream>
#include <sstream>

using namespace check;

namespace {

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The words of the text, one space between each.
std::string words_of(const std::string& text)
{
    std::istringstream in(text);
    std::string words;
    for (std::string word; in >> word;) {
        words += (words.empty() ? "" : " ") + word;
    }
    return words;
}

// What a bash command prints on standard output.
std::string output_of(const std::string& command)
{
    const test::Scratch scratch;
    const std::string script = (scratch.path / "command.sh").string();
    std::ofstream(script) << command << '\n';
    std::string output;
    FILE* pipe = popen(("bash " + script).c_str(), "r");
    REQUIRE(pipe != nullptr);
    char buffer[4096];
    for (std::size_t got = 0; (got = fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        output.append(buffer, got);
    }
    pclose(pipe);
    return output;
}

} // namespace

TEST_CASE("a mistyped option is answered with the one meant, when it is close")
{
    const std::vector<std::string> names = option_names(command_line_docs());
    struct Row {
        std::string typed;
        std::string meant; // empty: none is close enough
    };
    const std::vector<Row> rows{
        {"--jsn", "--json"},
        {"--josn", "--json"},
        {"--clas", "--class"},
        {"--colour", "--color"},
        {"--htlm", "--html"},
        {"--verbsoe", "--verbose"},
        {"--progams", "--programs"},
        {"--sandbx", "--sandbox"},
        {"--gradescop", "--gradescope"},
        {"--worksheetout", "--worksheet-out"},
        {"--bulit", "--built"},
        {"--timout", "--timeout"},
        {"-verbose", "--verbose"},
        {"--x", ""},
        {"-q", ""},
        {"--zzzzzz", ""},
        {"--output", ""},
        {"--json-file", ""},
        {"--classes", "--class"},
        {"--help-me", ""},
    };
    for (const Row& row : rows) {
        CAPTURE(row.typed);
        CHECK(closest_option(names, row.typed).value_or("") == row.meant);
    }
}

TEST_CASE("the edits between two words")
{
    struct Row {
        std::string one, other;
        std::size_t edits;
    };
    const std::vector<Row> rows{
        {"", "", 0},        {"", "abc", 3},      {"abc", "", 3},           {"json", "json", 0},
        {"jsn", "json", 1}, {"josn", "json", 1}, {"kitten", "sitting", 3}, {"ab", "ba", 1},
        {"abc", "cba", 2}};
    for (const Row& row : rows) {
        CAPTURE(row.one);
        CAPTURE(row.other);
        CHECK(edit_distance(row.one, row.other) == row.edits);
        CHECK(edit_distance(row.other, row.one) == row.edits);
    }
}

TEST_CASE("--help is within the terminal's width, and says every option's help whole")
{
    const std::vector<CommandDoc> commands = command_line_docs();
    for (const std::size_t width : {40U, 52U, 64U, 80U, 100U, 132U, 200U}) {
        for (const CommandDoc& command : commands) {
            CAPTURE(width);
            CAPTURE(command.name);
            const std::string help = help_text(command, width);
            for (const std::string& line : lines_of(help)) {
                // Only a line of one word may be longer: a path or an example that cannot break.
                if (line.size() > width) {
                    CHECK(words_of(line).find(' ') == std::string::npos);
                }
            }
            const std::string words = words_of(help);
            for (const OptionDoc& option : command.options) {
                CAPTURE(option.names);
                CHECK((words.find(words_of(option.help)) != std::string::npos) ==
                      !option.group.empty());
            }
        }
    }
    const std::string help = help_text(commands.front(), 80);
    for (const std::string_view part :
         {"For learners:", "For teachers:", "For platforms:", "For this project's own tests:",
          "Examples:", "Exit statuses:", "\n  0 ", "\n  1 ", "\n  2 ", "\n  3 "}) {
        CHECK(help.find(part) != std::string::npos);
    }
}

TEST_CASE("the width is COLUMNS where it is a number, else 80 off a terminal")
{
    struct Row {
        const char* columns;
        std::size_t width;
    };
    const std::vector<Row> rows{{"120", 120}, {"40", 40}, {nullptr, 80}, {"", 80},   {"abc", 80},
                                {"0", 80},    {"-5", 80}, {"99999", 80}, {"12x", 80}};
    for (const Row& row : rows) {
        CAPTURE(row.columns == nullptr ? "(unset)" : row.columns);
        CHECK(terminal_width(row.columns, -1) == row.width);
    }
}

TEST_CASE("the completions and the manual page know every option of the command line")
{
    const std::vector<CommandDoc> commands = command_line_docs();
    std::vector<std::string> names = option_names(commands);
    for (const Output& output : outputs()) {
        names.push_back("--" + std::string(output.name));
        if (!output.second_name.empty()) {
            names.push_back("--" + std::string(output.second_name));
        }
    }
    const std::string bash = completion(commands, "bash");
    const std::string zsh = completion(commands, "zsh");
    std::string man = man_page(commands, "1.0.0");
    for (const std::string& name : names) {
        CAPTURE(name);
        CHECK(bash.find(" " + name) != std::string::npos);
        CHECK(zsh.find("'" + name + "[") != std::string::npos);
        std::string escaped;
        for (const char byte : name) {
            escaped += byte == '-' ? std::string("\\-") : std::string(1, byte);
        }
        if (name.rfind("--print-", 0) != 0) { // the hidden ones are not in the manual
            CHECK(man.find(escaped) != std::string::npos);
        }
    }
}

TEST_CASE("bash completes options and their values from the table")
{
    const test::Scratch scratch;
    const std::string script = (scratch.path / "completion.bash").string();
    std::ofstream(script) << completion(command_line_docs(), "bash");
    REQUIRE(output_of("bash -n " + script + " 2>&1 && echo fine") == "fine\n");
    struct Row {
        std::string words; // the command line, the word completed last
        std::string offered;
    };
    const std::vector<Row> rows{
        {"exercise-check --js", "--json"},
        {"exercise-check --cl", "--class --classroom"},
        {"exercise-check --sandbox l", "landlock"},
        {"exercise-check --color ", "auto always never"},
        {"exercise-check --print-completion z", "zsh"},
        {"exercise-check merge --cl", ""},
        {"exercise-check merge --ht", "--html"},
        {"exercise-check merge a.json --worksheet-", "--worksheet-out --worksheet-columns"},
        {"exercise-check --timeout ", ""},
        {"exercise-check me", "merge"},
    };
    for (const Row& row : rows) {
        CAPTURE(row.words);
        const std::string offered =
            output_of("cd " + scratch.path.string() + " && . " + script + "; COMP_WORDS=(" +
                      row.words + (row.words.back() == ' ' ? "''" : "") +
                      "); COMP_CWORD=$((${#COMP_WORDS[@]} - 1)); _exercise_check; echo "
                      "\"${COMPREPLY[*]}\"");
        CHECK(offered == row.offered + "\n");
    }
}

TEST_CASE("the manual page is one groff reads without a warning")
{
    const test::Scratch scratch;
    const std::string page = (scratch.path / "exercise-check.1").string();
    std::ofstream(page) << man_page(command_line_docs(), "1.0.0");
    const std::string shown = output_of("groff -man -Tutf8 -ww -z " + page + " 2>&1; echo done");
    CHECK(shown == "done\n");
    const std::string text = output_of("groff -man -Tascii -P-cbou " + page + " 2>/dev/null");
    for (const std::string_view part : {"--json FILE", "EXIT STATUS", "For teachers", "128+N"}) {
        CAPTURE(part);
        CHECK(text.find(part) != std::string::npos);
    }
}
