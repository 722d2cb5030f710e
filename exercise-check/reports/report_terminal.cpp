// The report a learner or teacher reads on the terminal.
#include "report.h"
#include "report_colour.h"
#include "text.h"
#include "wrap.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace check {

namespace {

constexpr std::size_t line_width = 100;
constexpr std::size_t compiler_lines = 20; // of a program that did not compile, unless verbose
constexpr std::size_t warning_lines = 5;   // of a program that compiled, unless verbose
constexpr std::size_t line_limit = 200;    // bytes of a line shown, unless verbose

constexpr std::string_view program_indent = "  ";
constexpr std::string_view detail_indent = "    ";
constexpr std::string_view text_indent = "        ";

using colour::bold;
using colour::dim;
using colour::green;
using colour::red;
using colour::yellow;

class Writer {
  public:
    Writer(std::ostream& out, const TerminalStyle& style, const Report& report)
        : out_(out), style_(style), report_(report)
    {
    }

    void sandbox_warning() { out_ << colour::sandbox_warning(style_); }

    void person(const PersonResult& person);
    void programs_named(const PersonResult& person, const std::vector<std::string>& names);

  private:
    std::string painted(std::string_view colour, std::string_view text) const
    {
        return colour::painted(style_, colour, text);
    }

    static std::string_view colour_of(ProgramVerdict verdict)
    {
        switch (verdict) {
        case ProgramVerdict::correct: return green;
        case ProgramVerdict::wrong:
        case ProgramVerdict::does_not_compile: return red;
        case ProgramVerdict::absent: return dim;
        }
        return {};
    }

    void program(const ProgramResult& program, std::size_t name_width,
                 const std::vector<std::string>& shared);
    void diagnosis(const ProgramResult& program);
    void failures(const ProgramResult& program);
    void summary(const std::vector<const CaseResult*>& counted, std::size_t cases,
                 std::size_t column);
    void text(std::string_view text, std::string_view indent, std::size_t max_lines);
    void warnings(const ProgramResult& program);
    std::string prose(std::string_view text, std::size_t column, std::size_t indent) const;
    // The text in the learner's language.
    std::string tr(std::string_view text) const
    {
        return style_.words == nullptr ? std::string(text) : (*style_.words)(text);
    }
    // The note about a person's hand-in in the learner's language, each of its parts (they are
    // joined by "; ") in turn.
    std::string note_in_words(const std::string& note) const
    {
        if (style_.words == nullptr) {
            return note;
        }
        std::string said;
        for (std::size_t start = 0; start <= note.size();) {
            const std::size_t end = std::min(note.find("; ", start), note.size());
            said += (start == 0 ? "" : "; ") + tr(note.substr(start, end - start));
            start = end + 2;
        }
        return said;
    }
    // A case's message in the learner's language, line by line: a program's output (its lines
    // end in a visible \n, or in <end>) stays as it was.
    std::string message_in_words(const CaseResult& result) const;

    std::ostream& out_;
    const TerminalStyle& style_;
    const Report& report_;
    // The person's warnings said so far, by their words, and the program they were said of.
    std::map<std::string, std::string> warned_;
};

// The failed cases that count against the program.
std::vector<const CaseResult*> counted_failures(const ProgramResult& program, bool strict)
{
    std::vector<const CaseResult*> counted;
    for (const CaseResult& result : program.cases) {
        if (counts_against(result, strict)) {
            counted.push_back(&result);
        }
    }
    return counted;
}

// One of the compiler's warnings: the lines it takes, and its words, which say whether two
// programs have the same warning (a float pi = 3.14159; in each of them).
struct Warning {
    std::string lines;
    std::string words;
};

// The compiler's output as its warnings, each with the lines before it that say where (In
// function ...) and the source it quotes after it; words empty for text that is no warning.
std::vector<Warning> warnings_of(std::string_view output)
{
    std::vector<Warning> found;
    std::string context;
    while (!output.empty()) {
        const std::size_t end = output.find('\n');
        const std::string_view line =
            output.substr(0, end == std::string_view::npos ? end : end + 1);
        output.remove_prefix(line.size());
        const std::size_t warning = line.find(": warning: ");
        const bool where = line.find(": In ") != std::string_view::npos ||
                           line.find(": At ") != std::string_view::npos ||
                           line.find("In file included") != std::string_view::npos;
        if (warning != std::string_view::npos) {
            std::string_view words = line.substr(warning + 11);
            while (!words.empty() && (words.back() == '\n' || words.back() == '\r')) {
                words.remove_suffix(1);
            }
            found.push_back({context + std::string(line), std::string(words)});
            context.clear();
        } else if (where) {
            context += line;
        } else if (!found.empty() && context.empty()) {
            found.back().lines += line;
        } else {
            context += line;
        }
    }
    if (!context.empty()) {
        found.push_back({context, {}});
    }
    return found;
}

std::vector<std::string_view> split_lines(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (end == std::string_view::npos) {
            lines.push_back(text);
            break;
        }
        lines.push_back(text.substr(0, end));
        text.remove_prefix(end + 1);
    }
    return lines;
}

// Prose of the report, from column on: within the style's width where it has one, each line
// after the first at indent; else as it is. Ends in '\n'.
std::string Writer::prose(std::string_view text, std::size_t column, std::size_t indent) const
{
    if (style_.width == 0) {
        return std::string(text) + '\n';
    }
    return wrapped(text, style_.width, indent, column);
}

void Writer::person(const PersonResult& person)
{
    const std::string name = terminal_line(person.name);
    const std::string folder = terminal_line(person.folder);
    out_ << painted(bold, name) << " (" << folder << ")";
    if (!person.note.empty()) {
        out_ << ": "
             << prose(note_in_words(terminal_line(person.note)), name.size() + folder.size() + 5,
                      program_indent.size());
    } else {
        out_ << '\n';
    }

    std::size_t name_width = 0;
    for (const Exercise& exercise : report_.exercises) {
        name_width = std::max(name_width, exercise.name.size());
    }
    for (const ProgramResult& result : person.programs) {
        name_width = std::max(name_width, result.program.size());
    }
    warned_.clear();
    const std::vector<std::string> shared = shared_advice(person);
    for (const ProgramResult& result : person.programs) {
        program(result, name_width + 2, shared);
    }
    for (const std::string& advice : shared) {
        const std::string label = tr("advice:") + " ";
        out_ << program_indent << label
             << prose(terminal_line(tr(said_of_all(advice, handed_in(person)))),
                      program_indent.size() + label.size(), program_indent.size() + label.size());
    }

    out_ << name << ": "
         << prose(tr(verdict_counts(person)), name.size() + 2, program_indent.size());
}

// The lines person() writes of the programs named, and of no other.
void Writer::programs_named(const PersonResult& person, const std::vector<std::string>& names)
{
    std::size_t name_width = 0;
    for (const Exercise& exercise : report_.exercises) {
        name_width = std::max(name_width, exercise.name.size());
    }
    warned_.clear();
    const std::vector<std::string> shared = shared_advice(person);
    for (const ProgramResult& result : person.programs) {
        if (std::find(names.begin(), names.end(), result.program) != names.end()) {
            program(result, name_width + 2, shared);
        }
    }
}

void Writer::program(const ProgramResult& program, std::size_t name_width,
                     const std::vector<std::string>& shared)
{
    const std::string verdict = tr(program_verdict_name(program.verdict));
    out_ << program_indent << program.program
         << std::string(name_width - program.program.size(), ' ')
         << painted(colour_of(program.verdict), verdict);

    if (program.verdict == ProgramVerdict::wrong) {
        const std::vector<const CaseResult*> counted = counted_failures(program, report_.strict);
        if (!counted.empty()) {
            summary(counted, program.cases.size(),
                    program_indent.size() + name_width + verdict.size());
        }
    }
    out_ << '\n';

    for (const CompileHint& hint : program.compile_hints) {
        const std::string label = tr("hint:") + " ";
        out_ << detail_indent << label
             << prose(terminal_line(tr(hint.hint)), detail_indent.size() + label.size(),
                      detail_indent.size() + label.size());
    }
    switch (program.verdict) {
    case ProgramVerdict::absent: return;
    case ProgramVerdict::does_not_compile:
        if (program.compiler_output.empty()) {
            out_ << detail_indent << tr("(the compiler wrote nothing)") << '\n';
        }
        text(program.compiler_output, detail_indent, style_.verbose ? 0 : compiler_lines);
        break;
    case ProgramVerdict::correct:
    case ProgramVerdict::wrong:
        failures(program);
        diagnosis(program);
        for (const std::string& advice : program.advice) {
            if (std::find(shared.begin(), shared.end(), advice) == shared.end()) {
                const std::string label = tr("advice:") + " ";
                out_ << detail_indent << label
                     << prose(terminal_line(tr(advice)), detail_indent.size() + label.size(),
                              detail_indent.size() + label.size());
            }
        }
        warnings(program);
        break;
    }

    if (!program.same_source_as.empty()) {
        out_ << detail_indent << tr("same source as:");
        const char* separator = " ";
        for (const std::string& other : program.same_source_as) {
            out_ << separator << terminal_line(other);
            separator = ", ";
        }
        out_ << '\n';
    }
}

// After the verdict word: "3 of 44 cases failed: wrong-output, timeout", the distinct verdicts
// in the order they first occur, wrapped under the summary's start to stay within the width.
void Writer::summary(const std::vector<const CaseResult*>& counted, std::size_t cases,
                     std::size_t column)
{
    std::vector<std::string> verdicts;
    for (const CaseResult* result : counted) {
        const std::string name = tr(case_verdict_name(result->verdict));
        if (std::find(verdicts.begin(), verdicts.end(), name) == verdicts.end()) {
            verdicts.push_back(name);
        }
    }

    const std::string head =
        "  " + tr(std::to_string(counted.size()) + " of " + std::to_string(cases) +
                  (cases == 1 ? " case" : " cases") + " failed:");
    out_ << head;
    const std::size_t start = column + 2;
    column += head.size();
    for (std::size_t i = 0; i < verdicts.size(); ++i) {
        const std::size_t needed = 1 + verdicts[i].size() + (i + 1 < verdicts.size() ? 1 : 0);
        if (i > 0 && column + needed > line_width) {
            out_ << '\n' << std::string(start - 1, ' ');
            column = start - 1;
        }
        out_ << ' ' << verdicts[i] << (i + 1 < verdicts.size() ? "," : "");
        column += needed;
    }
}

// Under a wrong program its first counted failure; with verbose every failed case, departures
// marked as such.
void Writer::failures(const ProgramResult& program)
{
    std::vector<const CaseResult*> shown;
    if (style_.verbose) {
        for (const CaseResult& result : program.cases) {
            if (result.verdict != CaseVerdict::passed) {
                shown.push_back(&result);
            }
        }
    } else if (program.verdict == ProgramVerdict::wrong) {
        if (const CaseResult* deciding = deciding_failure(program, report_.strict)) {
            shown.push_back(deciding);
        }
    }
    for (const CaseResult* result : shown) {
        out_ << detail_indent << terminal_line(result->name) << ": "
             << painted(red, tr(case_verdict_name(result->verdict)))
             << (result->departure ? " " + tr("(departure)") : "") << '\n';
        text(message_in_words(*result), text_indent, 0);
    }
}

// Under a wrong program, the typical faults that explain its failures, each with its hint, and
// how many failed cases none explains.
void Writer::diagnosis(const ProgramResult& program)
{
    for (const Diagnosis& found : program.diagnosis) {
        out_ << detail_indent << tr("likely fault:") << ' '
             << painted(bold, terminal_line(found.fault)) << ' '
             << tr("(explains " + std::to_string(found.cases.size()) +
                   (found.cases.size() == 1 ? " failed case)" : " failed cases)"))
             << '\n';
        text(tr(found.hint), text_indent, 0);
    }
    // What it only resembles is said where no fault is named, and as no more than that.
    if (program.diagnosis.empty() && !program.resembles.empty()) {
        std::string names;
        for (const std::string& fault : program.resembles) {
            names += (names.empty() ? "" : ", ") + fault;
        }
        out_ << detail_indent
             << prose(terminal_line(tr("resembles " + names +
                                       ", but none of these typical faults gives its output")),
                      detail_indent.size(), detail_indent.size());
    }
    if (!program.diagnosis.empty() && !program.unexplained.empty()) {
        out_ << detail_indent
             << tr(std::to_string(program.unexplained.size()) +
                   (program.unexplained.size() == 1 ? " failed case" : " failed cases") +
                   " no typical fault explains, first " +
                   terminal_line(program.unexplained.front()))
             << '\n';
    }
}

std::string Writer::message_in_words(const CaseResult& result) const
{
    return style_.words == nullptr ? message(result) : message_said(message(result), *style_.words);
}

// The compiler's warnings of a program that compiled; one the person's program above has too is
// said as that, not again (unless verbose).
void Writer::warnings(const ProgramResult& program)
{
    if (program.compiler_output.empty()) {
        return;
    }
    std::string shown;
    std::vector<std::string> above;
    for (const Warning& warning : warnings_of(program.compiler_output)) {
        const auto said = warned_.find(warning.words);
        if (!style_.verbose && !warning.words.empty() && said != warned_.end()) {
            // Said for this program already: its builds (as it is and filled) warned alike.
            if (said->second != program.program &&
                std::find(above.begin(), above.end(), said->second) == above.end()) {
                above.push_back(said->second);
            }
            continue;
        }
        shown += warning.lines;
        if (!warning.words.empty()) {
            warned_.emplace(warning.words, program.program);
        }
    }
    if (!shown.empty()) {
        out_ << detail_indent << tr("warnings:") << '\n';
        text(shown, text_indent, style_.verbose ? 0 : warning_lines);
    }
    if (!above.empty()) {
        std::string names;
        for (const std::string& name : above) {
            names += (names.empty() ? "" : ", ") + name;
        }
        out_ << detail_indent
             << prose(terminal_line(
                          tr((shown.empty() ? "warnings: the same as " : "and warnings as ") +
                             std::string("for ") + names + " above")),
                      detail_indent.size(), detail_indent.size());
    }
}

// Text from the check or the compiler, each line indented, cut to max_lines (0: all of it), and
// unless verbose each line to its first line_limit bytes, saying how many more there were.
void Writer::text(std::string_view text, std::string_view indent, std::size_t max_lines)
{
    const std::string safe = for_terminal(text);
    const std::vector<std::string_view> lines = split_lines(safe);
    const std::size_t shown =
        max_lines == 0 || lines.size() <= max_lines ? lines.size() : max_lines - 1;
    for (std::size_t i = 0; i < shown; ++i) {
        std::string_view line = lines[i];
        if (style_.verbose || line.size() <= line_limit) {
            out_ << indent << line << '\n';
            continue;
        }
        std::size_t cut = line_limit;
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0U) == 0x80U) {
            --cut; // not within a character
        }
        out_ << indent << line.substr(0, cut)
             << painted(dim, tr("... " + std::to_string(line.size() - cut) +
                                " more bytes on this line, all with --verbose"))
             << '\n';
    }
    if (shown < lines.size()) {
        out_ << indent
             << painted(dim, tr("... " + std::to_string(lines.size() - shown) +
                                " more lines, all with --verbose"))
             << '\n';
    }
}

} // namespace

std::string verdict_counts(const PersonResult& person)
{
    std::array<std::size_t, 4> counts{};
    for (const ProgramResult& result : person.programs) {
        ++counts.at(static_cast<std::size_t>(result.verdict));
    }
    return std::to_string(counts[0]) + " correct, " + std::to_string(counts[1]) + " wrong, " +
           std::to_string(counts[2]) + " does not compile, " + std::to_string(counts[3]) +
           " absent";
}

void write_programs(std::ostream& out, const Report& report, const PersonResult& person,
                    const std::vector<std::string>& programs, const TerminalStyle& style)
{
    Writer(out, style, report).programs_named(person, programs);
}

void write_terminal(std::ostream& out, const Report& report, const TerminalStyle& style)
{
    Writer writer(out, style, report);
    if (report.sandbox == "none") {
        writer.sandbox_warning();
    }
    for (std::size_t i = 0; i < report.people.size(); ++i) {
        if (i > 0) {
            out << '\n';
        }
        writer.person(report.people[i]);
    }
    out << colour::sandbox_note(style, report);
    out << colour::store_note(style, report);
}

} // namespace check
