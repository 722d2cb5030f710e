// The gradebook on the terminal: a class at a glance within 80 columns.
#include "class_summary.h"
#include "report.h"
#include "report_class.h"
#include "report_colour.h"
#include "text.h"

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace check {

namespace {

constexpr std::size_t terminal_width = 80;
constexpr std::size_t longest_name = 26; // of a person in the table

using colour::bold;
using colour::red;

// Columns of valid UTF-8 on a terminal: one per character.
std::size_t columns(std::string_view text)
{
    return static_cast<std::size_t>(
        std::count_if(text.begin(), text.end(), [](char byte) { return (byte & 0xC0) != 0x80; }));
}

// Valid UTF-8 cut to width columns, "..." at the end where cut.
std::string cut(const std::string& text, std::size_t width)
{
    if (columns(text) <= width) {
        return text;
    }
    std::size_t kept = 0;
    std::size_t at = 0;
    while (at < text.size() && kept < width - 3) {
        at += std::max<std::size_t>(utf8_length(text, at), 1);
        ++kept;
    }
    return text.substr(0, at) + "...";
}

// Valid UTF-8 broken at blanks into lines of at most width columns, after the first each
// starting with indent; a word longer than a line stays whole.
std::string wrapped_text(const std::string& text, std::size_t width, const std::string& indent)
{
    std::string lines;
    std::size_t column = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        const std::size_t end = std::min(text.find(' ', start), text.size());
        const std::string word = text.substr(start, end - start);
        if (column > 0 && column + 1 + columns(word) > width) {
            lines += "\n" + indent;
            column = columns(indent);
        } else if (column > 0) {
            lines += ' ';
            ++column;
        }
        lines += word;
        column += columns(word);
        start = end + 1;
    }
    return lines;
}

std::string padded(const std::string& text, std::size_t width)
{
    const std::size_t used = columns(text);
    return text + std::string(width > used ? width - used : 0, ' ');
}

class Gradebook {
  public:
    Gradebook(std::ostream& out, const Report& report, const TerminalStyle& style)
        : out_(out), report_(report), style_(style)
    {
    }

    void write()
    {
        if (report_.sandbox == "none" && !style_.verbose) {
            out_ << colour::sandbox_warning(style_);
        }
        table();
        summary();
        key();
        same();
        unread();
        if (style_.verbose) {
            out_ << '\n';
            write_terminal(out_, report_, style_);
            return;
        }
        for (const PersonResult* person : in_name_order(report_)) {
            problems(*person);
        }
        out_ << colour::sandbox_note(style_, report_);
        out_ << colour::store_note(style_, report_);
    }

  private:
    std::string painted(std::string_view colour, std::string_view text) const
    {
        return colour::painted(style_, colour, text);
    }

    void table()
    {
        std::size_t width = 6;
        for (const PersonResult& person : report_.people) {
            width = std::max(width, std::min(longest_name, columns(terminal_line(person.name))));
        }
        out_ << painted(bold, padded("person", width));
        for (const Exercise& exercise : report_.exercises) {
            out_ << ' ' << padded(terminal_line(short_name(exercise)), 4);
        }
        out_ << "   points\n";
        for (const PersonResult* person : in_name_order(report_)) {
            out_ << padded(cut(terminal_line(person->name), width), width);
            for (const Exercise& exercise : report_.exercises) {
                const ProgramResult* result = find_result(*person, exercise);
                const Look look = look_of(verdict_of(result));
                const bool same = result != nullptr && !result->same_source_as.empty();
                out_ << "  " << painted(look.colour, look.symbol) << (same ? "* " : "  ");
            }
            const std::string count = points_shown(*person, report_.strict);
            out_ << std::string(9 - count.size(), ' ') << count << '\n';
        }
        if (report_.people.size() < 2) {
            return;
        }
        // The totals: how many passed each program, each under its column's symbols.
        const ClassSummary totals = summarise(report_);
        std::string counts;
        for (const std::size_t passed : totals.passed) {
            const std::string count = std::to_string(passed);
            counts += std::string(count.size() < 3 ? 3 - count.size() : 0, ' ') + count + "  ";
        }
        out_ << painted(bold, padded("passed", width))
             << counts.substr(0, counts.find_last_not_of(' ') + 1) << '\n';
    }

    // The class in a few lines: mean and median points, how many earned each, the faults found.
    void summary()
    {
        if (report_.people.size() < 2) {
            return;
        }
        const ClassSummary totals = summarise(report_);
        out_ << '\n'
             << painted(bold, "Points") << ": mean " << points_number(totals.mean) << ", median "
             << points_number(totals.median) << " of " << totals.max_points << '\n';
        const std::size_t cell =
            std::max(std::to_string(totals.max_points).size(),
                     std::to_string(
                         *std::max_element(totals.people_with.begin(), totals.people_with.end()))
                         .size()) +
            1;
        const auto right = [cell](const std::string& text) {
            return std::string(cell > text.size() ? cell - text.size() : 0, ' ') + text;
        };
        std::string points_row = "  points";
        std::string people_row = "  people";
        for (std::size_t points = 0; points < totals.people_with.size(); ++points) {
            points_row += right(std::to_string(points));
            people_row += right(std::to_string(totals.people_with[points]));
        }
        if (points_row.size() <= terminal_width) {
            out_ << points_row << '\n' << people_row << '\n';
        }
        if (!totals.faults.empty()) {
            std::string faults;
            for (const auto& [fault, people] : totals.faults) {
                faults += (faults.empty() ? "" : ", ") + fault + " " + std::to_string(people);
            }
            out_ << "  "
                 << wrapped_text(terminal_line("typical faults (people): " + faults),
                                 terminal_width - 2, "    ")
                 << '\n';
        }
    }

    // Items of a key, wrapped to the width.
    void wrapped(const std::vector<std::string>& items)
    {
        std::size_t column = 0;
        for (const std::string& item : items) {
            const std::size_t needed = columns(item) + (column > 0 ? 2 : 0);
            if (column > 0 && column + needed > terminal_width) {
                out_ << '\n';
                column = 0;
            }
            out_ << (column > 0 ? "  " : "") << item;
            column += column > 0 ? needed : columns(item);
        }
        out_ << '\n';
    }

    void key()
    {
        out_ << '\n';
        std::vector<std::string> symbols;
        for (const ProgramVerdict verdict : all_verdicts) {
            const Look look = look_of(verdict);
            symbols.push_back(painted(look.colour, look.symbol) + " " + std::string(look.words));
        }
        symbols.emplace_back("* same source as someone else's");
        wrapped(symbols);
        std::vector<std::string> names;
        for (const Exercise& exercise : report_.exercises) {
            names.push_back(terminal_line(short_name(exercise) + " " + exercise.name));
        }
        wrapped(names);
    }

    void same()
    {
        const std::vector<SameSources> groups = same_sources(report_);
        if (groups.empty()) {
            return;
        }
        out_ << '\n' << painted(bold, "Same sources") << '\n';
        for (const SameSources& group : groups) {
            std::string names;
            for (const std::string& name : group.people) {
                names += (names.empty() ? "" : " = ") + name;
            }
            out_ << "  "
                 << wrapped_text(
                        terminal_line(names + ": " + programs_named(report_, group.programs)),
                        terminal_width - 2, "    ")
                 << '\n';
        }
    }

    // What of the class's download is no one's hand-in, each with why.
    void unread()
    {
        if (report_.not_read.empty()) {
            return;
        }
        const std::size_t count = report_.not_read.size();
        out_ << '\n'
             << painted(bold, "Not read") << " (" << count
             << (count == 1 ? " entry of the class that is" : " entries of the class that are")
             << " no one's hand-in)\n";
        for (const LeftUnread& entry : report_.not_read) {
            out_ << "  "
                 << wrapped_text(terminal_line(entry.path + ": " + entry.why), terminal_width - 2,
                                 "    ")
                 << '\n';
        }
    }

    // A person's notes, and each wrong program's first failing case in one line.
    void problems(const PersonResult& person)
    {
        std::vector<std::string> lines;
        if (!person.note.empty()) {
            lines.push_back(wrapped_text("note: " + terminal_line(person.note), terminal_width - 2,
                                         "        "));
        }
        for (const ProgramResult& program : person.programs) {
            if (program.verdict == ProgramVerdict::wrong) {
                const std::string failure = failure_line(program);
                lines.push_back(program.program + " " + painted(red, "wrong") +
                                (failure.empty() ? "" : ": " + failure));
            } else if (program.verdict == ProgramVerdict::does_not_compile) {
                lines.push_back(program.program + " " + painted(red, "does not compile") + ": " +
                                compiler_line(program));
            }
        }
        if (lines.empty()) {
            return;
        }
        out_ << '\n' << painted(bold, cut(terminal_line(person.name), terminal_width)) << '\n';
        for (const std::string& line : lines) {
            out_ << "  " << line << '\n';
        }
    }

    // "plain wrong-output: line 1, column 1: expected 'H', got 'h'", cut to the width; the
    // colours count for nothing.
    std::string failure_line(const ProgramResult& program) const
    {
        const CaseResult* failure = deciding_failure(program, report_.strict);
        if (failure == nullptr) {
            return "";
        }
        const std::string detail =
            failure->difference ? where(*failure->difference) : headline(*failure);
        // The program is named already: its case by the last part of its name.
        const std::string prefix = program.group + "." + program.program + ".";
        const std::string name = failure->name.rfind(prefix, 0) == 0
                                     ? failure->name.substr(prefix.size())
                                     : failure->name;
        const std::string head = program.program + " wrong: ";
        std::string text = name + " " + std::string(case_verdict_name(failure->verdict)) +
                           (detail.empty() ? "" : ": " + detail);
        // The likely faults first: what the learner is to mend.
        std::string faults;
        for (const Diagnosis& found : program.diagnosis) {
            faults += (faults.empty() ? "likely " : ", ") + found.fault;
        }
        if (!faults.empty()) {
            text = faults + "; " + text;
        }
        return cut(terminal_line(text), terminal_width - 2 - head.size());
    }

    static std::string compiler_line(const ProgramResult& program)
    {
        std::string_view output = program.compiler_output;
        std::string line = "(the compiler wrote nothing)";
        for (bool first = true; !output.empty(); first = false) {
            const std::string_view candidate = output.substr(0, output.find('\n'));
            output.remove_prefix(std::min(output.size(), candidate.size() + 1));
            if (first || candidate.find("error") != std::string_view::npos) {
                line = std::string(candidate);
            }
            if (candidate.find("error") != std::string_view::npos) {
                break;
            }
        }
        // The file's own name is enough: the row says whose it is.
        const std::size_t slash = program.source.find_last_of('/');
        if (!program.source.empty() && line.rfind(program.source, 0) == 0) {
            line = program.source.substr(slash == std::string::npos ? 0 : slash + 1) +
                   line.substr(program.source.size());
        }
        const std::string head = program.program + " does not compile: ";
        return cut(terminal_line(line), terminal_width - 2 - head.size());
    }

    std::ostream& out_;
    const Report& report_;
    const TerminalStyle& style_;
};

} // namespace

void write_gradebook(std::ostream& out, const Report& report, const TerminalStyle& style)
{
    Gradebook(out, report, style).write();
}

} // namespace check
