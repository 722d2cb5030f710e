// The JUnit XML report, for continuous integration: one testsuite per person and program.
//
// A program that is absent gives a testsuite without testcases, so that every person still has
// a suite for every exercise. A program that did not compile gives one failed testcase named
// "<group>.<program>.compiles", holding the compiler's output, and its cases as skipped testcases.
#include "report.h"
#include "text.h"

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
    out += "      <property name=\"" + xml_escaped(name, true) + "\" value=\"" +
           xml_escaped(value, true) + "\"/>\n";
}

class SuiteWriter {
  public:
    SuiteWriter(const PersonResult& person, const ProgramResult& program, const Report& report,
                const Translation& words)
        : person_(person), program_(program), report_(report), words_(words),
          classname_(xml_escaped(person.name + '.' + program.program, true))
    {
    }

    // Appends the testsuite to out and returns its counts.
    Counts write(std::string& out)
    {
        if (program_.verdict == ProgramVerdict::does_not_compile) {
            compile_failure();
        }
        for (const CaseResult& result : program_.cases) {
            test_case(result);
        }

        out += "  <testsuite name=\"" + xml_escaped(person_.name + '/' + program_.program, true) +
               "\" tests=\"" + std::to_string(counts_.tests) + "\" failures=\"" +
               std::to_string(counts_.failures) + "\" errors=\"0\" skipped=\"" +
               std::to_string(counts_.skipped) + "\" time=\"" + seconds(counts_.seconds) + "\">\n";
        out += "    <properties>\n";
        property(out, "verdict", program_verdict_name(program_.verdict));
        if (!program_.source.empty()) {
            property(out, "source", program_.source);
        }
        property(out, "sandbox", report_.sandbox);
        property(out, "memory_limit", report_.memory_limit);
        property(out, "sandboxed", report_.sandbox != "none" ? "true" : "false");
        property(out, "strict", report_.strict ? "true" : "false");
        out += "    </properties>\n";
        out += cases_;
        const std::string system_out = notes();
        if (!system_out.empty()) {
            out += "    <system-out>" + xml_escaped(system_out) + "</system-out>\n";
        }
        out += "  </testsuite>\n";
        return counts_;
    }

  private:
    void compile_failure()
    {
        std::string group = program_.group;
        for (const Exercise& exercise : report_.exercises) {
            group = group.empty() && exercise.name == program_.program ? exercise.group : group;
        }
        const std::string name =
            (group.empty() ? "" : group + '.') + program_.program + ".compiles";
        ++counts_.tests;
        ++counts_.failures;
        cases_ += "    <testcase name=\"" + xml_escaped(name, true) + "\" classname=\"" +
                  classname_ + "\" time=\"0.000\">\n" +
                  "      <failure message=\"does-not-compile\" type=\"does-not-compile\">" +
                  xml_escaped(program_.compiler_output) + "</failure>\n    </testcase>\n";
    }

    void test_case(const CaseResult& result)
    {
        ++counts_.tests;
        if (std::isfinite(result.seconds) && result.seconds > 0) {
            counts_.seconds += result.seconds;
        }
        cases_ += "    <testcase name=\"" + xml_escaped(result.name, true) + "\" classname=\"" +
                  classname_ + "\" time=\"" + seconds(result.seconds) + "\"";

        const std::string verdict(case_verdict_name(result.verdict));
        std::string body;
        if (program_.verdict == ProgramVerdict::does_not_compile) {
            ++counts_.skipped;
            body = "      <skipped message=\"" + verdict + "\"/>\n";
        } else if (counts_against(result, report_.strict)) {
            ++counts_.failures;
            std::string text = message_said(message(result), words_);
            if (!result.remark.empty()) {
                text += (text.empty() || text.back() == '\n' ? "" : "\n") + words_(result.remark);
            }
            text += likely_faults(result);
            body = "      <failure message=\"" + verdict + "\" type=\"" + verdict + "\">" +
                   xml_escaped(text) + "</failure>\n";
        } else if (result.verdict != CaseVerdict::passed) {
            // A departure that is only a remark: the case passes, and says what it found.
            std::string text = "departure, " + verdict + ": " + result.remark;
            if (const std::string told = message(result); !told.empty()) {
                text += '\n' + told;
            }
            body = "      <system-out>" + xml_escaped(text) + "</system-out>\n";
        }
        cases_ += body.empty() ? "/>\n" : ">\n" + body + "    </testcase>\n";
    }

    // The typical faults that explain the failed case, each with its hint: "likely fault: ...".
    std::string likely_faults(const CaseResult& result) const
    {
        std::string text;
        for (const Diagnosis& found : program_.diagnosis) {
            if (std::find(found.cases.begin(), found.cases.end(), result.name) !=
                found.cases.end()) {
                text +=
                    words_("likely fault:") + " " + found.fault + "\n" + words_(found.hint) + "\n";
            }
        }
        return text.empty() ? text : "\n" + text;
    }

    // The suite's system-out: what the cases do not tell.
    std::string notes() const
    {
        std::string text;
        if (report_.sandbox == "none") {
            text += words_("The programs ran without the sandbox, with the rights of the user "
                           "who ran the check.") +
                    '\n';
        }
        if (!person_.note.empty()) {
            text += "Note: " + person_.note + '\n';
        }
        for (const std::string& advice : program_.advice) {
            text += words_("Advice:") + " " + words_(advice) + '\n';
        }
        if (!program_.same_source_as.empty()) {
            text += words_("Same source as:");
            for (std::size_t i = 0; i < program_.same_source_as.size(); ++i) {
                text += (i == 0 ? " " : ", ") + program_.same_source_as[i];
            }
            text += '\n';
        }
        if (program_.verdict != ProgramVerdict::does_not_compile &&
            !program_.compiler_output.empty()) {
            text += words_("Compiler warnings:") + "\n" + program_.compiler_output;
        }
        return text;
    }

    const PersonResult& person_;
    const ProgramResult& program_;
    const Report& report_;
    const Translation& words_;
    const std::string classname_;
    std::string cases_;
    Counts counts_;
};

} // namespace

void write_junit(std::ostream& out, const Report& report)
{
    std::string suites;
    const Translation words = load_translation(report.language);
    Counts total;
    for (const PersonResult& person : report.people) {
        for (const ProgramResult& program : person.programs) {
            total.add(SuiteWriter(person, program, report, words).write(suites));
        }
    }
    out << "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        << "<testsuites name=\"exercise-check\" tests=\"" << std::to_string(total.tests)
        << "\" failures=\"" << std::to_string(total.failures) << "\" errors=\"0\" skipped=\""
        << std::to_string(total.skipped) << "\" time=\"" << seconds(total.seconds) << "\">\n"
        << suites << "</testsuites>\n";
}

} // namespace check
