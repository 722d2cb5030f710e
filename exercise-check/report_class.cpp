// A class's reports: the gradebook on the terminal, as CSV and as a web page of its own.
#include "programs.h"
#include "report.h"
#include "report_colour.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <iomanip>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace check {

namespace {

constexpr std::size_t terminal_width = 80;
constexpr std::size_t longest_name = 26;                 // of a person in the terminal's table
constexpr std::string_view replacement = "\xEF\xBF\xBD"; // U+FFFD

using colour::bold;
using colour::dim;
using colour::green;
using colour::red;
using colour::yellow;

// ---- Text from a hand-in: any bytes at all ----

// The length of the valid UTF-8 sequence at text[at], or 0 when it is not one.
std::size_t utf8_length(std::string_view text, std::size_t at)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char first = byte(at);
    if (first < 0x80) {
        return 1;
    }
    std::size_t length = 0;
    std::uint32_t code = 0;
    if (first >= 0xC2 && first <= 0xDF) {
        length = 2;
        code = first & 0x1FU;
    } else if (first >= 0xE0 && first <= 0xEF) {
        length = 3;
        code = first & 0x0FU;
    } else if (first >= 0xF0 && first <= 0xF4) {
        length = 4;
        code = first & 0x07U;
    } else {
        return 0;
    }
    if (at + length > text.size()) {
        return 0;
    }
    for (std::size_t i = 1; i < length; ++i) {
        if ((byte(at + i) & 0xC0U) != 0x80U) {
            return 0;
        }
        code = (code << 6U) | (byte(at + i) & 0x3FU);
    }
    const bool overlong = (length == 3 && code < 0x800) || (length == 4 && code < 0x10000);
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return overlong || surrogate || code > 0x10FFFF ? 0 : length;
}

// The text with each byte that is not part of valid UTF-8 replaced by U+FFFD, and each control
// character but tab and line end as well when controls is false.
std::string valid_utf8(std::string_view text, bool controls = true)
{
    std::string valid;
    valid.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8_length(text, at);
        const auto first = static_cast<unsigned char>(text[at]);
        const bool control =
            (first < 0x20 && first != '\n' && first != '\t') || first == 0x7F ||
            (length == 2 && first == 0xC2 && static_cast<unsigned char>(text[at + 1]) < 0xA0);
        if (length == 0 || (control && !controls)) {
            valid += replacement;
            at += std::max<std::size_t>(length, 1);
        } else {
            valid.append(text.substr(at, length));
            at += length;
        }
    }
    return valid;
}

// For the terminal: valid UTF-8, one line, nothing the terminal would take as a command.
std::string for_terminal(std::string_view text)
{
    std::string line = valid_utf8(text, false);
    std::replace(line.begin(), line.end(), '\n', ' ');
    std::replace(line.begin(), line.end(), '\t', ' ');
    return line;
}

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

std::string html(std::string_view text)
{
    std::string escaped;
    for (const char byte : valid_utf8(text, false)) {
        switch (byte) {
        case '&': escaped += "&amp;"; break;
        case '<': escaped += "&lt;"; break;
        case '>': escaped += "&gt;"; break;
        case '"': escaped += "&quot;"; break;
        case '\'': escaped += "&#39;"; break;
        default: escaped += byte; break;
        }
    }
    return escaped;
}

// ---- What the reports have in common ----

// Each program's short name, for a column of the terminal's table and a phone's grid.
std::string short_name(std::string_view program)
{
    static const std::map<std::string_view, std::string_view> names{
        {"twodigits", "2dig"},  {"threedigits", "3dig"},   {"reversetwo", "rev2"},
        {"echonumber", "echo"}, {"averageheight", "avgh"}, {"circle", "circ"},
        {"helloworld", "hwld"}, {"hellolines", "hlns"},    {"greetings", "grts"},
    };
    const auto found = names.find(program);
    return std::string(found != names.end() ? found->second : program.substr(0, 4));
}

const ProgramResult* find_result(const PersonResult& person, std::string_view program)
{
    for (const ProgramResult& result : person.programs) {
        if (result.program == program) {
            return &result;
        }
    }
    return nullptr;
}

ProgramVerdict verdict_of(const ProgramResult* result)
{
    return result != nullptr ? result->verdict : ProgramVerdict::absent;
}

std::size_t correct_count(const PersonResult& person)
{
    return static_cast<std::size_t>(
        std::count_if(person.programs.begin(), person.programs.end(),
                      [](const ProgramResult& p) { return p.verdict == ProgramVerdict::correct; }));
}

std::vector<const PersonResult*> in_name_order(const Report& report)
{
    std::vector<const PersonResult*> people;
    for (const PersonResult& person : report.people) {
        people.push_back(&person);
    }
    std::stable_sort(
        people.begin(), people.end(),
        [](const PersonResult* a, const PersonResult* b) { return name_order(a->name, b->name); });
    return people;
}

// The failing case that decides a wrong program's verdict: the first that counts against it
// (a departure with only other output, layout or status is a remark unless strict), or else the
// first failing case.
const CaseResult* first_failure(const ProgramResult& program, bool strict)
{
    const CaseResult* first = nullptr;
    for (const CaseResult& result : program.cases) {
        if (result.verdict == CaseVerdict::passed) {
            continue;
        }
        if (counts_against(result, strict)) {
            return &result;
        }
        first = first != nullptr ? first : &result;
    }
    return first;
}

std::vector<std::string_view> lines_of(std::string_view text)
{
    std::vector<std::string_view> lines;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        lines.push_back(text.substr(0, end));
        if (end == std::string_view::npos) {
            break;
        }
        text.remove_prefix(end + 1);
    }
    return lines;
}

// People who handed in the same bytes, and for which programs.
struct SameSources {
    std::vector<std::string> people;
    std::vector<std::string> programs;
};

std::vector<SameSources> same_sources(const Report& report)
{
    std::map<std::vector<std::string>, std::vector<std::string>> programs_of;
    std::vector<std::vector<std::string>> order;
    for (const Program& program : programs()) {
        std::set<std::vector<std::string>> seen;
        for (const PersonResult* person : in_name_order(report)) {
            const ProgramResult* result = find_result(*person, program.name);
            if (result == nullptr || result->same_source_as.empty()) {
                continue;
            }
            std::vector<std::string> group = result->same_source_as;
            group.push_back(person->name);
            std::sort(group.begin(), group.end(), name_order);
            if (!seen.insert(group).second) {
                continue;
            }
            if (programs_of.find(group) == programs_of.end()) {
                order.push_back(group);
            }
            programs_of[group].emplace_back(program.name);
        }
    }
    std::vector<SameSources> all;
    for (const std::vector<std::string>& group : order) {
        all.push_back({group, programs_of[group]});
    }
    return all;
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator)
{
    std::string text;
    for (const std::string& part : parts) {
        text += (text.empty() ? "" : std::string(separator)) + part;
    }
    return text;
}

std::string programs_named(const std::vector<std::string>& names)
{
    return names.size() == programs().size() ? "all nine programs" : joined(names, ", ");
}

// ---- The terminal's gradebook ----

struct Look {
    std::string_view symbol;
    std::string_view colour;
    std::string_view words;
};

Look look_of(ProgramVerdict verdict)
{
    switch (verdict) {
    case ProgramVerdict::correct: return {"+", green, "correct"};
    case ProgramVerdict::remarks: return {"~", yellow, "remarks"};
    case ProgramVerdict::wrong: return {"x", red, "wrong"};
    case ProgramVerdict::does_not_compile: return {"!", red, "does not compile"};
    case ProgramVerdict::absent: return {"-", dim, "absent"};
    }
    return {"?", {}, "?"};
}

class Gradebook {
  public:
    Gradebook(std::ostream& out, const Report& report, const TerminalStyle& style)
        : out_(out), report_(report), style_(style)
    {
    }

    void write()
    {
        if (!(report_.sandbox != "none") && !style_.verbose) {
            out_ << colour::sandbox_warning(style_);
        }
        table();
        key();
        same();
        if (style_.verbose) {
            // What came from the hand-ins made safe for the terminal, as in the table.
            Report detail = report_;
            for (PersonResult& person : detail.people) {
                person.name = for_terminal(person.name);
                person.folder = for_terminal(person.folder);
                person.note = for_terminal(person.note);
                for (ProgramResult& program : person.programs) {
                    program.source = for_terminal(program.source);
                    program.compiler_output = valid_utf8(program.compiler_output, false);
                    for (std::string& other : program.same_source_as) {
                        other = for_terminal(other);
                    }
                }
            }
            out_ << '\n';
            write_terminal(out_, detail, style_);
            return;
        }
        for (const PersonResult* person : in_name_order(report_)) {
            problems(*person);
        }
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
            width = std::max(width, std::min(longest_name, columns(for_terminal(person.name))));
        }
        out_ << painted(bold, padded("person", width));
        for (const Program& program : programs()) {
            out_ << ' ' << padded(short_name(program.name), 4);
        }
        out_ << "  correct\n";
        for (const PersonResult* person : in_name_order(report_)) {
            out_ << padded(cut(for_terminal(person->name), width), width);
            for (const Program& program : programs()) {
                const ProgramResult* result = find_result(*person, program.name);
                const Look look = look_of(verdict_of(result));
                const bool same = result != nullptr && !result->same_source_as.empty();
                out_ << "  " << painted(look.colour, look.symbol) << (same ? "* " : "  ");
            }
            const std::string count = std::to_string(correct_count(*person));
            out_ << std::string(9 - count.size(), ' ') << count << '\n';
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
        for (const ProgramVerdict verdict :
             {ProgramVerdict::correct, ProgramVerdict::remarks, ProgramVerdict::wrong,
              ProgramVerdict::does_not_compile, ProgramVerdict::absent}) {
            const Look look = look_of(verdict);
            symbols.push_back(painted(look.colour, look.symbol) + " " + std::string(look.words));
        }
        symbols.emplace_back("* same source as someone else's");
        wrapped(symbols);
        std::vector<std::string> names;
        for (const Program& program : programs()) {
            names.push_back(short_name(program.name) + " " + std::string(program.name));
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
            std::vector<std::string> names;
            for (const std::string& name : group.people) {
                names.push_back(for_terminal(name));
            }
            out_ << "  "
                 << wrapped_text(joined(names, " = ") + ": " + programs_named(group.programs),
                                 terminal_width - 2, "    ")
                 << '\n';
        }
    }

    // A person's notes, and each wrong program's first failing case in one line.
    void problems(const PersonResult& person)
    {
        std::vector<std::string> lines;
        if (!person.note.empty()) {
            lines.push_back(
                wrapped_text("note: " + for_terminal(person.note), terminal_width - 2, "        "));
        }
        for (const ProgramResult& program : person.programs) {
            if (program.verdict == ProgramVerdict::wrong) {
                lines.push_back(program.program + " " + painted(red, "wrong") + ": " +
                                failure_line(program));
            } else if (program.verdict == ProgramVerdict::does_not_compile) {
                lines.push_back(program.program + " " + painted(red, "does not compile") + ": " +
                                compiler_line(program));
            }
        }
        if (lines.empty()) {
            return;
        }
        out_ << '\n' << painted(bold, cut(for_terminal(person.name), terminal_width)) << '\n';
        for (const std::string& line : lines) {
            out_ << "  " << line << '\n';
        }
    }

    // "plain wrong-output: line 1, column 1: expected 'H', got 'h'", cut to the width; the
    // colours count for nothing.
    std::string failure_line(const ProgramResult& program) const
    {
        const CaseResult* failure = first_failure(program, report_.strict);
        if (failure == nullptr) {
            return "no failing case recorded";
        }
        const std::vector<std::string_view> lines = lines_of(failure->message);
        std::string detail = lines.empty() ? "" : std::string(lines.front());
        for (const std::string_view line : lines) {
            if (line.rfind("first difference at", 0) == 0) {
                detail = std::string(line);
                break;
            }
        }
        constexpr std::string_view difference = "first difference at ";
        if (detail.rfind(difference, 0) == 0) {
            detail.erase(0, difference.size());
        }
        // The program is named already: its case by the last part of its name.
        const std::string prefix = program.group + "." + program.program + ".";
        const std::string name = failure->name.rfind(prefix, 0) == 0
                                     ? failure->name.substr(prefix.size())
                                     : failure->name;
        const std::string head = program.program + " wrong: ";
        const std::string text = name + " " + std::string(case_verdict_name(failure->verdict)) +
                                 (detail.empty() ? "" : ": " + detail);
        return cut(for_terminal(text), terminal_width - 2 - head.size());
    }

    static std::string compiler_line(const ProgramResult& program)
    {
        const std::vector<std::string_view> lines = lines_of(program.compiler_output);
        std::string line = lines.empty() ? "(the compiler wrote nothing)" : std::string(lines[0]);
        for (const std::string_view candidate : lines) {
            if (candidate.find("error") != std::string_view::npos) {
                line = std::string(candidate);
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
        return cut(for_terminal(line), terminal_width - 2 - head.size());
    }

    std::ostream& out_;
    const Report& report_;
    const TerminalStyle& style_;
};

// ---- CSV ----

std::string csv_field(const std::string& text)
{
    const std::string valid = valid_utf8(text);
    if (valid.find_first_of(",\"\r\n") == std::string::npos) {
        return valid;
    }
    std::string quoted = "\"";
    for (const char byte : valid) {
        quoted += byte;
        if (byte == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

// ---- The web page ----

// A case's message, as the check writes it: lines, and blocks of shown text ("input:" up to
// "<end>").
struct Part {
    std::string title; // "expected output"; empty for a line of its own
    std::string text;
};

bool is_block_title(std::string_view line)
{
    return line.size() > 1 && line.size() < 40 && line.back() == ':' &&
           std::all_of(line.begin(), line.end() - 1,
                       [](char byte) { return (byte >= 'a' && byte <= 'z') || byte == ' '; });
}

// A block's shown text ends its every line but the last with a visible \n, so the first line
// ending in <end> is its last, whatever the program wrote.
std::vector<Part> parse_message(std::string_view message)
{
    std::vector<Part> parts;
    const std::vector<std::string_view> lines = lines_of(message);
    constexpr std::string_view end_mark = "<end>";
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (!is_block_title(lines[i])) {
            parts.push_back({"", std::string(lines[i])});
            continue;
        }
        Part block{std::string(lines[i].substr(0, lines[i].size() - 1)), ""};
        for (++i; i < lines.size(); ++i) {
            const std::string_view line = lines[i];
            const bool last = line.size() >= end_mark.size() &&
                              line.substr(line.size() - end_mark.size()) == end_mark;
            block.text += last ? line.substr(0, line.size() - end_mark.size()) : line;
            if (last) {
                break;
            }
            block.text += '\n';
        }
        parts.push_back(block);
    }
    return parts;
}

// Shown text in units: one character, or an escape that stands for one byte (\n, \r, \t, \xHH).
std::vector<std::string_view> units(std::string_view text)
{
    std::vector<std::string_view> found;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t length = 1;
        if (text[at] == '\\' && at + 1 < text.size()) {
            const char next = text[at + 1];
            if (next == 'n' || next == 'r' || next == 't') {
                length = 2;
            } else if (next == 'x' && at + 3 < text.size() &&
                       std::isxdigit(static_cast<unsigned char>(text[at + 2])) != 0 &&
                       std::isxdigit(static_cast<unsigned char>(text[at + 3])) != 0) {
                length = 4;
            }
        }
        found.push_back(text.substr(at, length));
        at += length;
    }
    return found;
}

// Shown text as HTML: escapes set apart, the unit at mark (when there is one) marked; at the
// end a mark of its own when the difference is that this text ended.
std::string shown_html(std::string_view text, std::size_t mark)
{
    const std::vector<std::string_view> all = units(text);
    std::string page;
    for (std::size_t i = 0; i < all.size(); ++i) {
        const bool escape = all[i].size() > 1;
        std::string unit =
            escape ? "<span class=\"esc\">" + html(all[i]) + "</span>" : html(all[i]);
        if (i == mark) {
            unit = "<mark>" + unit + "</mark>";
        }
        page += unit;
    }
    if (mark == all.size()) {
        page += "<mark class=\"end\">(ends here)</mark>";
    } else if (all.empty()) {
        page += "<span class=\"esc\">(nothing)</span>";
    }
    return page;
}

std::size_t first_different_unit(std::string_view expected, std::string_view actual)
{
    const std::vector<std::string_view> a = units(expected);
    const std::vector<std::string_view> b = units(actual);
    std::size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) {
        ++at;
    }
    return at == a.size() && at == b.size() ? std::string::npos : at;
}

std::string css_class(ProgramVerdict verdict)
{
    return "v-" + std::string(program_verdict_name(verdict));
}

std::string_view html_symbol(ProgramVerdict verdict)
{
    switch (verdict) {
    case ProgramVerdict::correct: return "&#10003;";
    case ProgramVerdict::remarks: return "~";
    case ProgramVerdict::wrong: return "&#10007;";
    case ProgramVerdict::does_not_compile: return "!";
    case ProgramVerdict::absent: return "&#8211;";
    }
    return "?";
}

std::string nonce()
{
    std::random_device random;
    std::ostringstream text;
    for (int i = 0; i < 4; ++i) {
        text << std::hex << std::setw(8) << std::setfill('0') << random();
    }
    return text.str();
}

constexpr std::string_view page_style = R"(
:root{--correct:#1b7f3b;--remarks:#a86b00;--wrong:#c0262d;--nc:#7a1fa2;--absent:#8a8f98;
--bg:#fff;--fg:#1d2125;--line:#d7dbe0;--soft:#f4f6f8}
*{box-sizing:border-box}
body{margin:0;font:15px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,sans-serif;color:var(--fg);
background:var(--bg)}
header,main{max-width:1200px;margin:0 auto;padding:1rem}
h1{font-size:1.4rem;margin:.2rem 0}
.warning{background:#fff4d6;border-left:4px solid var(--remarks);padding:.5rem .8rem}
.wrap{overflow-x:auto;border:1px solid var(--line);border-radius:6px}
table.grid{border-collapse:collapse;width:100%;min-width:560px}
.grid th,.grid td{border-bottom:1px solid var(--line);padding:0;text-align:center}
.grid thead th{background:var(--soft);font-weight:600;padding:.4rem .3rem;font-size:.85rem}
.grid th[scope=row]{text-align:left;padding:.35rem .6rem;font-weight:500;position:sticky;left:0;
background:var(--bg);min-width:8rem;max-width:16rem;overflow-wrap:break-word}
.grid .note{display:block;font-size:.75rem;color:#5b636b;font-weight:400}
.grid td a{display:block;padding:.45rem 0;color:#fff;text-decoration:none;font-weight:700;
min-width:2.2rem}
.grid td.count{font-weight:700;padding:0 .6rem}
.grid td a:focus,.grid td a:hover{outline:3px solid var(--fg);outline-offset:-3px}
.v-correct{background:var(--correct)}.v-remarks{background:var(--remarks)}
.v-wrong{background:var(--wrong)}.v-does-not-compile{background:var(--nc)}
.v-absent{background:var(--absent)}
.grid td.v-absent a{color:#eef}
sup{font-size:.7em}
.short{display:none}
.key{display:flex;flex-wrap:wrap;gap:.4rem 1rem;padding:0;list-style:none;font-size:.9rem}
.key span.sym{display:inline-block;min-width:1.6rem;text-align:center;color:#fff;border-radius:3px;
margin-right:.3rem;font-weight:700}
.detail{display:none}
.detail:target{display:block;position:fixed;inset:0;background:rgba(20,24,28,.55);overflow:auto;
z-index:10}
.box{background:var(--bg);max-width:1150px;margin:2rem auto;padding:1rem 1.2rem;border-radius:8px}
.box h2{margin:.2rem 0 .6rem;font-size:1.2rem;overflow-wrap:anywhere}
.close{float:right;font-size:1rem;text-decoration:none;border:1px solid var(--line);
border-radius:4px;padding:.1rem .6rem;color:var(--fg)}
.verdict{display:inline-block;color:#fff;padding:.1rem .6rem;border-radius:4px;font-weight:600}
.case{border-top:1px solid var(--line);margin-top:.8rem;padding-top:.4rem}
.case h3{font-size:1rem;margin:.3rem 0;overflow-wrap:anywhere}
.case h4,.block h4{font-size:.8rem;margin:.4rem 0 .1rem;color:#5b636b;font-weight:600}
pre{background:var(--soft);border:1px solid var(--line);border-radius:4px;padding:.4rem .5rem;
margin:0;overflow-x:auto;white-space:pre-wrap;overflow-wrap:anywhere;
font:13px/1.4 ui-monospace,"DejaVu Sans Mono",Menlo,Consolas,monospace}
.pair{display:grid;grid-template-columns:1fr 1fr;gap:.6rem}
.esc{color:#8a5a00;opacity:.75}
mark{background:#ffd24d;color:#000;outline:1px solid #c99700}
mark.end{font-size:.75em;padding:0 .2em}
.diff{font-weight:600}
.same{margin-top:1rem}
@media (max-width:700px){
body{font-size:14px}header,main{padding:.6rem}
.long{display:none}.short{display:inline}
table.grid{min-width:0}.grid td a{min-width:1.6rem}
.grid thead th{padding:.4rem .15rem}.grid .note{display:none}
.grid th[scope=row]{min-width:6.5rem;max-width:8rem;padding:.35rem .4rem}
.box{margin:0;border-radius:0;min-height:100%}
.pair{grid-template-columns:1fr}}
)";

// Closes an open program with Escape or a click beside it; the page works without it.
constexpr std::string_view page_script = R"(
document.addEventListener('keydown',function(e){if(e.key==='Escape'&&location.hash){
location.hash='';}});
document.addEventListener('click',function(e){if(e.target.classList&&
e.target.classList.contains('detail')){location.hash='';}});
)";

class Page {
  public:
    Page(std::ostream& out, const Report& report) : out_(out), report_(report) {}

    void write()
    {
        const std::string key = nonce();
        const std::vector<const PersonResult*> people = in_name_order(report_);
        out_ << "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
             << "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">\n"
             // Nothing is loaded from elsewhere, and no script runs but the page's own.
             << "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
             << "style-src 'nonce-" << key << "'; script-src 'nonce-" << key << "'\">\n"
             << "<title>exercise-check gradebook</title>\n<style nonce=\"" << key << "\">"
             << page_style << "</style>\n</head>\n<body>\n<header>\n<h1>Gradebook</h1>\n<p>"
             << people.size() << (people.size() == 1 ? " person" : " people")
             << ", nine programs each. Choose a cell to see how that program did.</p>\n";
        if (!(report_.sandbox != "none")) {
            out_ << "<p class=\"warning\">The programs ran without the sandbox.</p>\n";
        }
        out_ << "</header>\n<main>\n";
        grid(people);
        key_list();
        same();
        out_ << "</main>\n";
        for (std::size_t row = 0; row < people.size(); ++row) {
            for (std::size_t column = 0; column < programs().size(); ++column) {
                detail(*people[row], programs()[column], row, column);
            }
        }
        out_ << "<script nonce=\"" << key << "\">" << page_script
             << "</script>\n</body>\n</html>\n";
    }

  private:
    static std::string id(std::size_t row, std::size_t column)
    {
        return "p" + std::to_string(row) + "-" + std::to_string(column);
    }

    void grid(const std::vector<const PersonResult*>& people)
    {
        out_ << "<div class=\"wrap\"><table class=\"grid\">\n<thead><tr><th scope=\"col\">person"
             << "</th>";
        for (const Program& program : programs()) {
            out_ << "<th scope=\"col\" title=\"" << program.name << "\"><span class=\"long\">"
                 << program.name << "</span><span class=\"short\">" << short_name(program.name)
                 << "</span></th>";
        }
        out_ << "<th scope=\"col\">correct</th></tr></thead>\n<tbody>\n";
        for (std::size_t row = 0; row < people.size(); ++row) {
            const PersonResult& person = *people[row];
            out_ << "<tr><th scope=\"row\">" << html(person.name);
            if (!person.note.empty()) {
                out_ << "<span class=\"note\">" << html(person.note) << "</span>";
            }
            out_ << "</th>";
            for (std::size_t column = 0; column < programs().size(); ++column) {
                const ProgramResult* result = find_result(person, programs()[column].name);
                const ProgramVerdict verdict = verdict_of(result);
                const bool same = result != nullptr && !result->same_source_as.empty();
                out_ << "<td class=\"" << css_class(verdict) << "\"><a href=\"#" << id(row, column)
                     << "\" title=\"" << programs()[column].name << ": "
                     << program_verdict_name(verdict) << (same ? ", same source as another" : "")
                     << "\">" << html_symbol(verdict) << (same ? "<sup>=</sup>" : "")
                     << "</a></td>";
            }
            out_ << "<td class=\"count\">" << correct_count(person) << "</td></tr>\n";
        }
        out_ << "</tbody></table></div>\n";
    }

    void key_list()
    {
        out_ << "<ul class=\"key\">";
        for (const ProgramVerdict verdict :
             {ProgramVerdict::correct, ProgramVerdict::remarks, ProgramVerdict::wrong,
              ProgramVerdict::does_not_compile, ProgramVerdict::absent}) {
            out_ << "<li><span class=\"sym " << css_class(verdict) << "\">" << html_symbol(verdict)
                 << "</span>" << look_of(verdict).words << "</li>";
        }
        out_ << "<li><sup>=</sup> same source as someone else's</li></ul>\n";
    }

    void same()
    {
        const std::vector<SameSources> groups = same_sources(report_);
        if (groups.empty()) {
            return;
        }
        out_ << "<section class=\"same\"><h2>Same sources</h2><ul>\n";
        for (const SameSources& group : groups) {
            std::vector<std::string> names;
            for (const std::string& name : group.people) {
                names.push_back(html(name));
            }
            out_ << "<li>" << joined(names, " = ") << ": " << programs_named(group.programs)
                 << "</li>\n";
        }
        out_ << "</ul></section>\n";
    }

    void detail(const PersonResult& person, const Program& program, std::size_t row,
                std::size_t column)
    {
        const ProgramResult* result = find_result(person, program.name);
        const ProgramVerdict verdict = verdict_of(result);
        out_ << "<section class=\"detail\" id=\"" << id(row, column) << "\"><div class=\"box\">"
             << "<a class=\"close\" href=\"#\">close</a><h2>" << html(person.name) << ": "
             << program.name << "</h2>\n<p><span class=\"verdict " << css_class(verdict) << "\">"
             << look_of(verdict).words << "</span></p>\n";
        if (!person.note.empty()) {
            out_ << "<p>" << html(person.note) << "</p>\n";
        }
        if (result == nullptr || verdict == ProgramVerdict::absent) {
            out_ << "<p>Not handed in.</p></div></section>\n";
            return;
        }
        out_ << "<p>Source: <code>" << html(result->source) << "</code></p>\n";
        if (!result->same_source_as.empty()) {
            std::vector<std::string> names;
            for (const std::string& name : result->same_source_as) {
                names.push_back(html(name));
            }
            out_ << "<p>The same source as " << joined(names, ", ") << ".</p>\n";
        }
        if (!result->remarks.empty()) {
            out_ << "<h3>Remarks</h3><ul>";
            for (const std::string& remark : result->remarks) {
                out_ << "<li>" << html(remark) << "</li>";
            }
            out_ << "</ul>\n";
        }
        if (!result->compiler_output.empty()) {
            out_ << "<div class=\"block\"><h4>"
                 << (verdict == ProgramVerdict::does_not_compile ? "compiler errors"
                                                                 : "compiler warnings")
                 << "</h4><pre>" << html(result->compiler_output) << "</pre></div>\n";
        }
        if (verdict == ProgramVerdict::does_not_compile) {
            out_ << "<p>Its " << result->cases.size() << " cases could not run.</p>";
        } else {
            cases(*result);
        }
        out_ << "</div></section>\n";
    }

    void cases(const ProgramResult& program)
    {
        const auto failed = static_cast<std::size_t>(
            std::count_if(program.cases.begin(), program.cases.end(),
                          [](const CaseResult& c) { return c.verdict != CaseVerdict::passed; }));
        out_ << "<p>" << failed << " of " << program.cases.size() << " cases failed.</p>\n";
        for (const CaseResult& result : program.cases) {
            if (result.verdict == CaseVerdict::passed) {
                continue;
            }
            out_ << "<article class=\"case\"><h3>" << html(result.name) << ": "
                 << case_verdict_name(result.verdict) << (result.departure ? " (a departure)" : "")
                 << "</h3>\n";
            if (!result.remark.empty()) {
                out_ << "<p>" << html(result.remark) << "</p>\n";
            }
            message(result.message);
            out_ << "</article>\n";
        }
    }

    void message(std::string_view text)
    {
        const std::vector<Part> parts = parse_message(text);
        for (std::size_t i = 0; i < parts.size(); ++i) {
            const Part& part = parts[i];
            if (part.title.empty()) {
                const bool difference = part.text.rfind("first difference at", 0) == 0;
                out_ << "<p" << (difference ? " class=\"diff\"" : "") << ">" << html(part.text)
                     << "</p>\n";
                continue;
            }
            const bool expected = part.title == "expected output" || part.title == "expected shape";
            if (expected && i + 1 < parts.size() && parts[i + 1].title == "actual output") {
                const Part& actual = parts[i + 1];
                const std::size_t mark = part.title == "expected output"
                                             ? first_different_unit(part.text, actual.text)
                                             : std::string::npos;
                out_ << "<div class=\"pair\"><div><h4>" << html(part.title) << "</h4><pre>"
                     << shown_html(part.text, mark) << "</pre></div><div><h4>" << html(actual.title)
                     << "</h4><pre>" << shown_html(actual.text, mark) << "</pre></div></div>\n";
                ++i;
                continue;
            }
            out_ << "<div class=\"block\"><h4>" << html(part.title) << "</h4><pre>"
                 << shown_html(part.text, std::string::npos) << "</pre></div>\n";
        }
    }

    std::ostream& out_;
    const Report& report_;
};

} // namespace

bool name_order(std::string_view left, std::string_view right)
{
    const auto is_digit = [](char byte) { return byte >= '0' && byte <= '9'; };
    const auto lower = [](char byte) {
        return byte >= 'A' && byte <= 'Z' ? static_cast<char>(byte - 'A' + 'a') : byte;
    };
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < left.size() && j < right.size()) {
        if (is_digit(left[i]) && is_digit(right[j])) {
            // A number by its value: its digits without leading zeros, fewer first.
            const auto number = [&](std::string_view text, std::size_t& at) {
                while (at < text.size() && text[at] == '0') {
                    ++at;
                }
                const std::size_t start = at;
                while (at < text.size() && is_digit(text[at])) {
                    ++at;
                }
                return text.substr(start, at - start);
            };
            const std::string_view a = number(left, i);
            const std::string_view b = number(right, j);
            if (a.size() != b.size()) {
                return a.size() < b.size();
            }
            if (a != b) {
                return a < b;
            }
            continue;
        }
        if (lower(left[i]) != lower(right[j])) {
            return static_cast<unsigned char>(lower(left[i])) <
                   static_cast<unsigned char>(lower(right[j]));
        }
        ++i;
        ++j;
    }
    if (i < left.size() || j < right.size()) {
        return j < right.size();
    }
    return left < right;
}

void write_gradebook(std::ostream& out, const Report& report, const TerminalStyle& style)
{
    Gradebook(out, report, style).write();
}

void write_csv(std::ostream& out, const Report& report)
{
    out << "person";
    for (const Program& program : programs()) {
        out << ',' << program.name;
    }
    out << ",correct\r\n";
    for (const PersonResult* person : in_name_order(report)) {
        out << csv_field(person->name);
        for (const Program& program : programs()) {
            out << ',' << program_verdict_name(verdict_of(find_result(*person, program.name)));
        }
        out << ',' << correct_count(*person) << "\r\n";
    }
}

void write_html(std::ostream& out, const Report& report)
{
    Page(out, report).write();
}

} // namespace check
