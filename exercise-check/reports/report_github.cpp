#include "report_github.h"

#include "points.h"
#include "text.h"

#include <cctype>
#include <string_view>
#include <vector>

namespace check {

namespace {

constexpr std::size_t longest_message = 4000; // bytes of an annotation's text

// A workflow command's message: % and line ends escaped; other control bytes shown.
std::string command_data(std::string_view text)
{
    std::string escaped;
    for (const char byte : plain_text(text, longest_message)) {
        switch (byte) {
        case '%': escaped += "%25"; break;
        case '\r': escaped += "%0D"; break;
        case '\n': escaped += "%0A"; break;
        default: escaped += byte;
        }
    }
    return escaped;
}

// A workflow command's property: as its message, and : and , too.
std::string command_property(std::string_view text)
{
    std::string escaped;
    for (const char byte : command_data(plain_text(text, 400, true))) {
        switch (byte) {
        case ':': escaped += "%3A"; break;
        case ',': escaped += "%2C"; break;
        default: escaped += byte;
        }
    }
    return escaped;
}

// The line of the source where the compiler's first error is: 26 of
// "./circle.cpp:26:5: error: ...", 0 where it names none.
int error_line(const ProgramResult& program)
{
    std::string_view output = program.compiler_output;
    const std::string prefix = program.source + ":";
    while (!output.empty()) {
        const std::string_view line = output.substr(0, output.find('\n'));
        output.remove_prefix(std::min(output.size(), line.size() + 1));
        if (line.substr(0, prefix.size()) != prefix ||
            line.find(": error:") == std::string_view::npos) {
            continue;
        }
        int number = 0;
        for (std::size_t at = prefix.size();
             at < line.size() && std::isdigit(static_cast<unsigned char>(line[at])) != 0 &&
             number < 10000000;
             ++at) {
            number = number * 10 + (line[at] - '0');
        }
        return number;
    }
    return 0;
}

// Text in Markdown as it is: every ASCII punctuation escaped, on one line, < > & as references.
std::string markdown_text(std::string_view text)
{
    std::string escaped;
    for (const char byte : plain_text(text, 300, true)) {
        if (byte == '<') {
            escaped += "&lt;";
        } else if (byte == '>') {
            escaped += "&gt;";
        } else if (byte == '&') {
            escaped += "&amp;";
        } else if (std::ispunct(static_cast<unsigned char>(byte)) != 0) {
            escaped += std::string("\\") + byte;
        } else {
            escaped += byte;
        }
    }
    return escaped;
}

// What failed first, in one line: the deciding case, or the compiler's first error.
std::string first_failure(const ProgramResult& program, bool strict)
{
    if (program.verdict == ProgramVerdict::does_not_compile) {
        std::string_view output = program.compiler_output;
        while (!output.empty()) {
            const std::string_view line = output.substr(0, output.find('\n'));
            output.remove_prefix(std::min(output.size(), line.size() + 1));
            if (line.find("error") != std::string_view::npos) {
                return std::string(line);
            }
        }
        return "";
    }
    const CaseResult* failed = deciding_failure(program, strict);
    return failed == nullptr
               ? ""
               : failed->name + " " + std::string(case_verdict_name(failed->verdict)) + ": " +
                     headline(*failed) + (failed->in_words.empty() ? "" : "; " + failed->in_words);
}

} // namespace

std::string repository_path(const std::string& source)
{
    std::string_view path = source;
    while (path.substr(0, 2) == "./") {
        path.remove_prefix(2);
    }
    return std::string(path);
}

void write_github_annotations(std::ostream& out, const Report& report)
{
    const Translation words = load_translation(report.language);
    for (const PersonResult& person : report.people) {
        for (const ProgramResult& program : person.programs) {
            if (program.verdict == ProgramVerdict::absent ||
                program_points(program, report.strict) > 0) {
                continue;
            }
            std::string message = program_summary(program, report.strict, words);
            for (const std::string& line : program_details(program, report.strict, words)) {
                message += '\n' + line;
            }
            const int line = error_line(program);
            out << "::error file=" << command_property(repository_path(program.source))
                << (line > 0 ? ",line=" + std::to_string(line) : std::string()) << ",title="
                << command_property(program.program + " " +
                                    verdict_shown(program, report.strict, words))
                << "::" << command_data(message) << '\n';
        }
        const Points points = person_points(person, report.strict);
        out << "::notice title=exercise-check::Points " << points.points << "/" << points.max_points
            << '\n';
    }
}

void write_github_summary(std::ostream& out, const Report& report)
{
    const Translation words = load_translation(report.language);
    for (const PersonResult& person : report.people) {
        const Points points = person_points(person, report.strict);
        out << "### exercise-check: Points " << points.points << "/" << points.max_points
            << "\n\n| program | verdict | what failed first |\n|---|---|---|\n";
        for (const ProgramResult& program : person.programs) {
            out << "| " << markdown_text(program.program) << " | "
                << markdown_text(verdict_shown(program, report.strict, words)) << " | "
                << markdown_text(first_failure(program, report.strict)) << " |\n";
        }
        out << '\n';
    }
}

} // namespace check
