// The JUnit XML report, for continuous integration: one testsuite per person and program.
//
// A program that is absent gives a testsuite without testcases, so that every person still has
// all nine suites. A program that did not compile gives one failed testcase named
// "<group>.<program>.compiles", holding the compiler's output, and its cases as skipped testcases.
#include "report.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <iomanip>
#include <locale>
#include <sstream>
#include <string>
#include <string_view>

namespace check {

namespace {

void append_hex_byte(std::string& out, unsigned char byte)
{
    constexpr std::string_view digits = "0123456789ABCDEF";
    out += "\\x";
    out += digits[byte >> 4U];
    out += digits[byte & 0xFU];
}

// The length of the UTF-8 sequence at the start of text, or 0 if it is not a valid one (an
// overlong form, a surrogate, beyond U+10FFFF, cut short).
std::size_t utf8_length(std::string_view text)
{
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byte(0);
    std::size_t length = 0;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    } else {
        return 0;
    }
    if (text.size() < length || byte(1) < low || byte(1) > high) {
        return 0;
    }
    for (std::size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) {
            return 0;
        }
    }
    return length;
}

// Text fit for XML 1.0, in an element or a double-quoted attribute. The characters XML forbids
// (control characters, bytes that are not UTF-8) are written as \xHH; U+FFFE and U+FFFF, also
// forbidden, become U+FFFD. In an attribute, tabs and line ends are written as references, which
// a parser keeps, where it would turn the characters themselves into blanks.
std::string xml(std::string_view text, bool attribute = false)
{
    std::string out;
    out.reserve(text.size());
    while (!text.empty()) {
        const auto byte = static_cast<unsigned char>(text.front());
        std::size_t length = 1;
        if (byte >= 0x80) {
            length = utf8_length(text);
            if (length == 0) {
                append_hex_byte(out, byte);
                length = 1;
            } else if (text.substr(0, length) == "\xEF\xBF\xBE" ||
                       text.substr(0, length) == "\xEF\xBF\xBF") {
                out += "\xEF\xBF\xBD";
            } else {
                out += text.substr(0, length);
            }
        } else if (byte == '&') {
            out += "&amp;";
        } else if (byte == '<') {
            out += "&lt;";
        } else if (byte == '>') {
            out += "&gt;";
        } else if (byte == '"') {
            out += "&quot;";
        } else if (byte == '\r' || (attribute && (byte == '\t' || byte == '\n'))) {
            out += "&#" + std::to_string(byte) + ';';
        } else if (byte < 0x20 && byte != '\t' && byte != '\n') {
            append_hex_byte(out, byte);
        } else {
            out += static_cast<char>(byte);
        }
        text.remove_prefix(length);
    }
    return out;
}

std::string seconds(double value)
{
    if (!std::isfinite(value) || value < 0) {
        value = 0;
    }
    std::ostringstream text;
    text.imbue(std::locale::classic());
    text << std::fixed << std::setprecision(3) << value;
    return text.str();
}

struct Counts {
    std::size_t tests = 0;
    std::size_t failures = 0;
    std::size_t skipped = 0;
    double seconds = 0;

    void add(const Counts& other)
    {
        tests += other.tests;
        failures += other.failures;
        skipped += other.skipped;
        seconds += other.seconds;
    }
};

void property(std::string& out, std::string_view name, std::string_view value)
{
    out +=
        "      <property name=\"" + xml(name, true) + "\" value=\"" + xml(value, true) + "\"/>\n";
}

// A program judged wrong whose failures would all be remarks has every failure counted, so that
// its suite fails.
bool every_failure_counts(const ProgramResult& program)
{
    return program.verdict == ProgramVerdict::wrong &&
           std::none_of(program.cases.begin(), program.cases.end(),
                        [](const CaseResult& result) { return counts_against(result, false); });
}

class SuiteWriter {
  public:
    SuiteWriter(const PersonResult& person, const ProgramResult& program, const Report& report)
        : person_(person), program_(program), report_(report),
          classname_(xml(person.name + '.' + program.program, true))
    {
    }

    // Appends the testsuite to out and returns its counts.
    Counts write(std::string& out)
    {
        if (program_.verdict == ProgramVerdict::does_not_compile) {
            compile_failure();
        }
        const bool every_failure = every_failure_counts(program_);
        for (const CaseResult& result : program_.cases) {
            test_case(result, every_failure);
        }

        out += "  <testsuite name=\"" + xml(person_.name + '/' + program_.program, true) +
               "\" tests=\"" + std::to_string(counts_.tests) + "\" failures=\"" +
               std::to_string(counts_.failures) + "\" errors=\"0\" skipped=\"" +
               std::to_string(counts_.skipped) + "\" time=\"" + seconds(counts_.seconds) + "\">\n";
        out += "    <properties>\n";
        property(out, "verdict", program_verdict_name(program_.verdict));
        if (!program_.source.empty()) {
            property(out, "source", program_.source);
        }
        property(out, "sandboxed", (report_.sandbox != "none") ? "true" : "false");
        property(out, "strict", report_.strict ? "true" : "false");
        out += "    </properties>\n";
        out += cases_;
        const std::string system_out = notes();
        if (!system_out.empty()) {
            out += "    <system-out>" + xml(system_out) + "</system-out>\n";
        }
        out += "  </testsuite>\n";
        return counts_;
    }

  private:
    void compile_failure()
    {
        std::string group = program_.group;
        for (const Exercise& known : report_.exercises) {
            if (group.empty() && known.name == program_.program) {
                group = known.group;
            }
        }
        const std::string name =
            (group.empty() ? "" : group + '.') + program_.program + ".compiles";
        ++counts_.tests;
        ++counts_.failures;
        cases_ += "    <testcase name=\"" + xml(name, true) + "\" classname=\"" + classname_ +
                  "\" time=\"0.000\">\n" +
                  "      <failure message=\"does-not-compile\" type=\"does-not-compile\">" +
                  xml(program_.compiler_output) + "</failure>\n    </testcase>\n";
    }

    void test_case(const CaseResult& result, bool every_failure)
    {
        ++counts_.tests;
        if (std::isfinite(result.seconds) && result.seconds > 0) {
            counts_.seconds += result.seconds;
        }
        cases_ += "    <testcase name=\"" + xml(result.name, true) + "\" classname=\"" +
                  classname_ + "\" time=\"" + seconds(result.seconds) + "\"";

        const std::string verdict(case_verdict_name(result.verdict));
        std::string body;
        if (program_.verdict == ProgramVerdict::does_not_compile) {
            ++counts_.skipped;
            body = "      <skipped message=\"" + verdict + "\"/>\n";
        } else if (result.verdict != CaseVerdict::passed &&
                   (every_failure || counts_against(result, report_.strict))) {
            ++counts_.failures;
            std::string text = result.message;
            if (!result.remark.empty()) {
                text += (text.empty() || text.back() == '\n' ? "" : "\n") + result.remark;
            }
            body = "      <failure message=\"" + verdict + "\" type=\"" + verdict + "\">" +
                   xml(text) + "</failure>\n";
        } else if (result.verdict != CaseVerdict::passed) {
            // A departure that is only a remark: the case passes, and says what it found.
            std::string text = "departure, " + verdict + ": " + result.remark;
            if (!result.message.empty()) {
                text += '\n' + result.message;
            }
            body = "      <system-out>" + xml(text) + "</system-out>\n";
        }
        cases_ += body.empty() ? "/>\n" : ">\n" + body + "    </testcase>\n";
    }

    // The suite's system-out: what the cases do not tell.
    std::string notes() const
    {
        std::string text;
        if (!(report_.sandbox != "none")) {
            text += "The programs ran without the sandbox, with the rights of the user who ran "
                    "the check.\n";
        }
        if (!person_.note.empty()) {
            text += "Note: " + person_.note + '\n';
        }
        for (const std::string& remark : program_.remarks) {
            text += "Remark: " + remark + '\n';
        }
        if (!program_.same_source_as.empty()) {
            text += "Same source as:";
            for (std::size_t i = 0; i < program_.same_source_as.size(); ++i) {
                text += (i == 0 ? " " : ", ") + program_.same_source_as[i];
            }
            text += '\n';
        }
        if (program_.verdict != ProgramVerdict::does_not_compile &&
            !program_.compiler_output.empty()) {
            text += "Compiler warnings:\n" + program_.compiler_output;
        }
        return text;
    }

    const PersonResult& person_;
    const ProgramResult& program_;
    const Report& report_;
    const std::string classname_;
    std::string cases_;
    Counts counts_;
};

} // namespace

void write_junit(std::ostream& out, const Report& report)
{
    std::string suites;
    Counts total;
    for (const PersonResult& person : report.people) {
        for (const ProgramResult& program : person.programs) {
            total.add(SuiteWriter(person, program, report).write(suites));
        }
    }
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<testsuites name=\"exercise-check\" tests=\"" << std::to_string(total.tests)
        << "\" failures=\"" << std::to_string(total.failures) << "\" errors=\"0\" skipped=\""
        << std::to_string(total.skipped) << "\" time=\"" << seconds(total.seconds) << "\">\n"
        << suites << "</testsuites>\n";
}

} // namespace check
