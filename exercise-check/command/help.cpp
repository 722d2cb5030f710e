#include "help.h"

#include "wrap.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <sstream>

namespace check {

namespace {

struct Example {
    std::string_view command;
    std::string_view says;
};

constexpr Example examples[] = {
    {"exercise-check my-programs", "checks the programs in my-programs, each by its file's name"},
    {"exercise-check --class hand-ins --html class.html",
     "checks a class, one folder or .zip archive a person, and writes its gradebook as a page"},
    {"exercise-check merge half-1.json half-2.json --csv grades.csv",
     "joins the JSON reports of a class checked in two halves (--shard 1/2, --shard 2/2) and "
     "writes its gradebook as CSV"},
};

struct Status {
    std::string_view code;
    std::string_view means;
};

constexpr Status statuses[] = {
    {"0", "every program checked is correct (with --gradescope: grading worked)"},
    {"1", "a program is wrong or does not compile"},
    {"2", "the command line or one of its files cannot be used: found before anything is "
          "compiled"},
    {"3", "no sandbox can be made here"},
    {"128+N", "interrupted by signal N: 130 by SIGINT, 143 by SIGTERM"},
};

std::vector<std::string> names_of(const OptionDoc& option)
{
    std::vector<std::string> names;
    std::istringstream in(option.names);
    for (std::string name; std::getline(in, name, ',');) {
        names.push_back(name);
    }
    return names;
}

bool positional(const OptionDoc& option)
{
    return option.names.front() != '-';
}

// "-j, --jobs N", "--gradescope [ROOT]", "FOLDER..."
std::string shown(const OptionDoc& option)
{
    if (positional(option)) {
        return option.names + "...";
    }
    std::vector<std::string> names = names_of(option);
    std::stable_sort(
        names.begin(), names.end(),
        [](const std::string& one, const std::string& other) { return one.size() < other.size(); });
    std::string text;
    for (const std::string& name : names) {
        text += (text.empty() ? "" : ", ") + name;
    }
    if (!option.value.empty()) {
        text += option.optional_value ? " [" + option.value + "]" : " " + option.value;
    }
    return text;
}

// One option in --help: its names, and its help beside them or under them where they are long.
std::string option_entry(const OptionDoc& option, std::size_t width, std::size_t column)
{
    const std::string names = "  " + shown(option);
    if (names.size() + 2 <= column) {
        return names + std::string(column - names.size(), ' ') +
               wrapped(option.help, width, column, column);
    }
    return names + "\n" + std::string(column, ' ') + wrapped(option.help, width, column, column);
}

// The forms of the command, each wrapped within width where it must be.
std::vector<std::string> usage_forms(const CommandDoc& command)
{
    if (!command.name.empty()) {
        return {"exercise-check " + command.name + " [OPTIONS] REPORT..."};
    }
    return {"exercise-check [OPTIONS] FOLDER...", "exercise-check --class FOLDER [OPTIONS]",
            "exercise-check merge [OPTIONS] REPORT..."};
}

std::string usage_lines(const CommandDoc& command, std::size_t width)
{
    std::string text;
    for (const std::string& form : usage_forms(command)) {
        text += (text.empty() ? "usage: " : "       ") + wrapped(form, width, 9, 7);
    }
    return text;
}

// troff's text: a backslash and a minus as troff reads them, and no line taken for a request.
std::string troff(std::string_view text)
{
    std::string result;
    for (const char byte : text) {
        if (byte == '\\') {
            result += "\\e";
        } else if (byte == '-') {
            result += "\\-";
        } else {
            result += byte;
        }
    }
    if (!result.empty() && (result.front() == '.' || result.front() == '\'')) {
        result.insert(0, "\\&");
    }
    return result;
}

void man_options(std::ostream& out, const CommandDoc& command)
{
    std::string group;
    for (const OptionDoc& option : command.options) {
        if (option.group.empty()) {
            continue;
        }
        if (option.group != group && command.name.empty()) {
            group = option.group;
            out << ".SS " << troff(group) << '\n';
        }
        out << ".TP\n\\fB" << troff(shown(option)) << "\\fR\n" << troff(option.help) << '\n';
    }
}

// The bash words of the options of a command that take a value of the kind.
std::string taking(const CommandDoc& command, const std::vector<std::string_view>& values)
{
    std::string words;
    for (const OptionDoc& option : command.options) {
        if (!positional(option) &&
            std::find(values.begin(), values.end(), option.value) != values.end()) {
            for (const std::string& name : names_of(option)) {
                words += (words.empty() ? "" : "|") + name;
            }
        }
    }
    return words.empty() ? "--no-such-option" : words;
}

void bash_values(std::ostream& out, const CommandDoc& command)
{
    for (const OptionDoc& option : command.options) {
        if (!option.choices.empty()) {
            std::string choices;
            for (const std::string& choice : option.choices) {
                choices += (choices.empty() ? "" : " ") + choice;
            }
            out << "        " << option.names << ") COMPREPLY=($(compgen -W \"" << choices
                << "\" -- \"$cur\")); return ;;\n";
        }
    }
    out << "        " << taking(command, {"FILE", "REPORT"})
        << ") COMPREPLY=($(compgen -f -- \"$cur\")); return ;;\n";
    out << "        " << taking(command, {"FOLDER", "ROOT"})
        << ") COMPREPLY=($(compgen -d -- \"$cur\")); return ;;\n";
    std::vector<std::string_view> others;
    for (const OptionDoc& option : command.options) {
        const std::string_view value = option.value;
        if (!value.empty() && option.choices.empty() && !option.optional_value && value != "FILE" &&
            value != "REPORT" && value != "FOLDER") {
            others.push_back(value);
        }
    }
    out << "        " << taking(command, others) << ") return ;;\n";
}

std::string bash_completion(const std::vector<CommandDoc>& commands)
{
    std::ostringstream out;
    out << "# bash completion of exercise-check\n_exercise_check()\n{\n"
           "    local cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD-1]} word\n"
           "    local command=\n"
           "    for word in \"${COMP_WORDS[@]:1:COMP_CWORD-1}\"; do\n"
           "        [[ $word == merge ]] && command=merge\n"
           "    done\n";
    for (const CommandDoc& command : commands) {
        out << "    if [[ $command == \"" << command.name << "\" ]]; then\n"
            << "        case $prev in\n";
        bash_values(out, command);
        std::string words;
        for (const OptionDoc& option : command.options) {
            for (const std::string& name :
                 positional(option) ? std::vector<std::string>{} : names_of(option)) {
                words += (words.empty() ? "" : " ") + name;
            }
        }
        out << "        esac\n        if [[ $cur == -* ]]; then\n"
            << "            COMPREPLY=($(compgen -W \"" << words << "\" -- \"$cur\"))\n";
        if (command.name.empty()) {
            out << "        else\n            COMPREPLY=($(compgen -W merge -- \"$cur\") "
                   "$(compgen -d -- \"$cur\"))\n";
        } else {
            out << "        else\n            COMPREPLY=($(compgen -f -- \"$cur\"))\n";
        }
        out << "        fi\n        return\n    fi\n";
    }
    out << "}\ncomplete -o filenames -F _exercise_check exercise-check\n";
    return out.str();
}

// Text within a shell's single quotes.
std::string single_quoted(std::string_view text)
{
    std::string result;
    for (const char byte : text) {
        result += byte == '\'' ? std::string("'\\''") : std::string(1, byte);
    }
    return result;
}

// zsh's _arguments takes a description in brackets: a bracket or backslash inside is quoted.
std::string zsh_text(std::string_view text)
{
    std::string result;
    for (const char byte : text) {
        if (byte == '[' || byte == ']' || byte == '\\') {
            result += '\\';
            result += byte;
        } else if (byte == '\'') {
            result += "'\\''";
        } else {
            result += byte;
        }
    }
    return result;
}

std::string zsh_action(const OptionDoc& option)
{
    if (!option.choices.empty()) {
        std::string choices;
        for (const std::string& choice : option.choices) {
            choices += (choices.empty() ? "" : " ") + choice;
        }
        return ":" + option.value + ":(" + choices + ")";
    }
    if (option.value.empty()) {
        return "";
    }
    const std::string colons = option.optional_value ? "::" : ":";
    if (option.value == "FILE" || option.value == "REPORT") {
        return colons + option.value + ":_files";
    }
    if (option.value == "FOLDER" || option.value == "ROOT") {
        return colons + option.value + ":_files -/";
    }
    return colons + option.value + ": ";
}

void zsh_arguments(std::ostream& out, const CommandDoc& command, std::string_view rest)
{
    out << "        _arguments -s";
    for (const OptionDoc& option : command.options) {
        if (positional(option)) {
            continue;
        }
        const std::vector<std::string> names = names_of(option);
        for (const std::string& name : names) {
            out << " \\\n            '" << name << "[" << zsh_text(option.help) << "]"
                << single_quoted(zsh_action(option)) << "'";
        }
    }
    out << " \\\n            " << rest << "\n";
}

std::string zsh_completion(const std::vector<CommandDoc>& commands)
{
    std::ostringstream out;
    out << "#compdef exercise-check\n# zsh completion of exercise-check\n"
           "_exercise_check()\n{\n"
           "    if (( ${words[(I)merge]} > 1 )); then\n";
    zsh_arguments(out, commands.back(), "'*:REPORT:_files -g \"*.json\"'");
    out << "    else\n";
    zsh_arguments(out, commands.front(),
                  "'*:FOLDER:{_alternative \"commands:command:(merge)\" "
                  "\"folders:folder:_files -/\"}'");
    out << "    fi\n}\n_exercise_check \"$@\"\n";
    return out.str();
}

} // namespace

std::size_t terminal_width(const char* columns, int descriptor)
{
    if (columns != nullptr && *columns != '\0' &&
        std::all_of(columns, columns + std::char_traits<char>::length(columns),
                    [](char byte) { return byte >= '0' && byte <= '9'; })) {
        const std::string text(columns);
        if (text.size() <= 4 && std::stoul(text) > 0) {
            return std::stoul(text);
        }
    }
    winsize size{};
    if (isatty(descriptor) != 0 && ioctl(descriptor, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) {
        return size.ws_col;
    }
    return 80;
}

std::string help_text(const CommandDoc& command, std::size_t width)
{
    width = std::max<std::size_t>(width, 40);
    const std::size_t column = std::min<std::size_t>(30, width / 3);
    std::string text = usage_lines(command, width) + "\n";
    const std::string summary =
        command.name.empty() ? "exercise-check " + command.summary + "." : command.summary + ".";
    text += wrapped(summary, width, 0);
    std::string group;
    for (const OptionDoc& option : command.options) {
        if (option.group.empty()) {
            continue;
        }
        if (option.group != group) {
            group = option.group;
            text += "\n" + group + ":\n";
        }
        text += option_entry(option, width, column);
    }
    if (!command.name.empty()) {
        return text;
    }
    text += "\nExamples:\n";
    for (const Example& example : examples) {
        text += "  " + wrapped(example.command, width, 4, 2);
        text += std::string(6, ' ') + wrapped(example.says, width, 6, 6);
    }
    text += "\nExit statuses:\n";
    for (const Status& status : statuses) {
        const std::string code = "  " + std::string(status.code);
        text += code + std::string(8 - code.size(), ' ') + wrapped(status.means, width, 8, 8);
    }
    return text;
}

std::string man_page(const std::vector<CommandDoc>& commands, std::string_view version)
{
    std::ostringstream out;
    out << ".TH EXERCISE\\-CHECK 1 \"\" \"exercise\\-check " << troff(version)
        << "\" \"User Commands\"\n.SH NAME\nexercise\\-check \\- " << troff(commands[0].summary)
        << "\n.SH SYNOPSIS\n";
    for (const std::string& form : usage_forms(commands[0])) {
        out << ".br\n" << troff(form) << '\n';
    }
    std::string description = commands[0].summary;
    description.front() = static_cast<char>(std::toupper(description.front()));
    out << ".SH DESCRIPTION\n" << troff(description) << ".\n.SH OPTIONS\n";
    man_options(out, commands[0]);
    for (std::size_t index = 1; index < commands.size(); ++index) {
        out << ".SH \"" << troff("exercise-check " + commands[index].name) << "\"\n"
            << troff(commands[index].summary) << ".\n";
        man_options(out, commands[index]);
    }
    out << ".SH EXAMPLES\n";
    for (const Example& example : examples) {
        out << ".TP\n\\fB" << troff(example.command) << "\\fR\n" << troff(example.says) << '\n';
    }
    out << ".SH \"EXIT STATUS\"\n";
    for (const Status& status : statuses) {
        out << ".TP\n" << troff(status.code) << '\n' << troff(status.means) << '\n';
    }
    out << ".SH ENVIRONMENT\n.TP\nNO_COLOR\nwhen set and not empty, no colour (unless "
           "\\-\\-color=always)\n.TP\nCOLUMNS\nthe width \\-\\-help is wrapped to\n";
    return out.str();
}

std::string completion(const std::vector<CommandDoc>& commands, std::string_view shell)
{
    return shell == "zsh" ? zsh_completion(commands) : bash_completion(commands);
}

std::vector<std::string> option_names(const std::vector<CommandDoc>& commands)
{
    std::vector<std::string> names;
    for (const CommandDoc& command : commands) {
        for (const OptionDoc& option : command.options) {
            if (!positional(option)) {
                for (const std::string& name : names_of(option)) {
                    if (std::find(names.begin(), names.end(), name) == names.end()) {
                        names.push_back(name);
                    }
                }
            }
        }
    }
    return names;
}

std::size_t edit_distance(std::string_view one, std::string_view other)
{
    // d[i][j]: the edits from one's first i bytes to other's first j.
    std::vector<std::vector<std::size_t>> d(one.size() + 1,
                                            std::vector<std::size_t>(other.size() + 1));
    for (std::size_t i = 0; i <= one.size(); ++i) {
        for (std::size_t j = 0; j <= other.size(); ++j) {
            if (i == 0 || j == 0) {
                d[i][j] = i + j;
                continue;
            }
            const std::size_t changed = one[i - 1] == other[j - 1] ? 0 : 1;
            d[i][j] = std::min({d[i - 1][j] + 1, d[i][j - 1] + 1, d[i - 1][j - 1] + changed});
            if (i > 1 && j > 1 && one[i - 1] == other[j - 2] && one[i - 2] == other[j - 1]) {
                d[i][j] = std::min(d[i][j], d[i - 2][j - 2] + 1);
            }
        }
    }
    return d[one.size()][other.size()];
}

std::optional<std::string> closest_option(const std::vector<std::string>& names,
                                          std::string_view typed)
{
    const std::size_t letters = typed.size() - std::min(typed.find_first_not_of('-'), typed.size());
    if (letters < 3) {
        return std::nullopt; // too short to tell what was meant
    }
    const std::size_t close = std::max<std::size_t>(1, letters / 3);
    std::optional<std::string> best;
    std::size_t best_distance = close + 1;
    for (const std::string& name : names) {
        const std::size_t distance = edit_distance(typed, name);
        if (distance < best_distance) {
            best = name;
            best_distance = distance;
        }
    }
    return best;
}

} // namespace check
