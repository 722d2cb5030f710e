#include "outputs.h"

#include "report.h"
#include "report_classroom.h"
#include "report_github.h"
#include "report_gradescope.h"
#include "report_vpl.h"
#include "text.h"
#include "worksheet.h"

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <utility>

namespace check {

namespace fs = std::filesystem;

namespace {

using Clock = std::chrono::steady_clock;

// A writer that needs nothing but the report.
auto plain(void (*writer)(std::ostream&, const Report&))
{
    return [writer](std::ostream& out, const Report& report, const OutputAsked&,
                    Clock::time_point) { writer(out, report); };
}

std::string the_value(const OutputAsked& asked)
{
    return asked.value;
}

// VPL's grade range, MIN:MAX, two finite numbers with MIN at most MAX.
std::pair<double, double> vpl_range(const std::string& text)
{
    const std::size_t colon = text.find(':');
    try {
        std::size_t used_low = 0;
        std::size_t used_high = 0;
        const double low = std::stod(text.substr(0, colon), &used_low);
        const double high = std::stod(text.substr(colon + 1), &used_high);
        if (colon != std::string::npos && used_low == colon &&
            used_high == text.size() - colon - 1 && std::isfinite(low) && std::isfinite(high) &&
            low <= high) {
            return {low, high};
        }
    } catch (const std::exception&) {
    }
    throw std::runtime_error("--vpl " + text + ": give the grade's range as MIN:MAX, such as 0:10");
}

std::string gradescope_results(const OutputAsked& asked)
{
    return (fs::path(asked.value) / "results" / "results.json").string();
}

// The worksheet can be read, and its filled-in copy written elsewhere.
void check_worksheet(const OutputAsked& asked)
{
    std::error_code error;
    if (!fs::is_regular_file(asked.value, error)) {
        throw std::runtime_error("no such worksheet: " + asked.value);
    }
    const fs::path in = fs::weakly_canonical(fs::absolute(asked.value), error);
    const fs::path out = fs::weakly_canonical(fs::absolute(asked.second), error);
    if (in == out || fs::equivalent(asked.value, asked.second, error)) {
        throw std::runtime_error("--worksheet-out " + asked.second +
                                 " is the worksheet read: give another file, so that the one "
                                 "downloaded stays as it was");
    }
    check_writable(asked.second);
    parse_worksheet_columns(asked.third);
}

// Fills the worksheet in with the report's grades; the hand-ins that have no row are named on
// standard error and in the report.
std::vector<std::string> fill_worksheet_in(Report& report, const OutputAsked& asked)
{
    const WorksheetOutcome outcome = write_worksheet_file(
        asked.value, asked.second, graded_people(report), parse_worksheet_columns(asked.third));
    report.unmatched_hand_ins = outcome.unmatched;
    std::vector<std::string> lines;
    for (const std::string& name : outcome.unmatched) {
        lines.push_back("no row of the worksheet for " + terminal_line(name));
    }
    for (const std::string& problem : outcome.problems) {
        lines.push_back(terminal_line(problem));
    }
    return lines;
}

// A file of the results, in a format that needs nothing but the report.
Output results_file(std::string_view name, std::string_view help, std::string_view merge_help,
                    void (*writer)(std::ostream&, const Report&))
{
    Output output;
    output.name = name;
    output.value_name = "FILE";
    output.help = help;
    output.merge_help = merge_help;
    output.file = the_value;
    output.write = plain(writer);
    return output;
}

// Gradescope's autograder runs the checker in its own folder, ROOT: the submission is
// ROOT/submission and the results go to ROOT/results/results.json, with the time the check took.
// The autograder's run fails only when grading did.
Output gradescope()
{
    Output output;
    output.name = "gradescope";
    output.value_name = "ROOT";
    output.help = "grade ROOT/submission as Gradescope's autograder, writing "
                  "ROOT/results/results.json (ROOT: /autograder)";
    output.group = OutputGroup::platforms;
    output.implicit_value = "/autograder";
    output.hand_in = [](const OutputAsked& asked) {
        return (fs::path(asked.value) / "submission").string();
    };
    output.hand_in_shown = "ROOT/submission";
    output.status_is_grading = true;
    output.file = gradescope_results;
    output.check = [](const OutputAsked& asked) {
        std::error_code error;
        fs::create_directories(fs::path(gradescope_results(asked)).parent_path(), error);
        check_writable(gradescope_results(asked));
    };
    output.write = [](std::ostream& out, const Report& report, const OutputAsked&,
                      Clock::time_point started) {
        write_gradescope(out, report,
                         std::chrono::duration<double>(Clock::now() - started).count());
    };
    return output;
}

// VPL reads the comments and the grade from standard output, so they take the terminal report's
// place; MIN:MAX is the range of the activity's grade.
Output vpl()
{
    Output output;
    output.name = "vpl";
    output.value_name = "MIN:MAX";
    output.help = "write Moodle VPL's comments and the grade from MIN to MAX (MIN:MAX) instead of "
                  "the report";
    output.group = OutputGroup::platforms;
    output.place = OutputPlace::standard_output;
    output.check = [](const OutputAsked& asked) { vpl_range(asked.value); };
    output.write = [](std::ostream& out, const Report& report, const OutputAsked& asked,
                      Clock::time_point) {
        const auto [low, high] = vpl_range(asked.value);
        write_vpl(out, report, low, high);
    };
    return output;
}

// Moodle's worksheet is a file of the teacher's, read and filled in, so it needs a second file to
// go to: the one downloaded stays as it was. It is filled in first, since the other outputs name
// the hand-ins it had no row for.
Output worksheet()
{
    Output output;
    output.name = "worksheet";
    output.value_name = "FILE";
    output.help = "Moodle's grading worksheet (CSV) to fill in with the grades";
    output.merge_help = "Moodle's grading worksheet to fill in";
    output.group = OutputGroup::platforms;
    output.place = OutputPlace::filled_in;
    output.second_name = "worksheet-out";
    output.second_help = "where the filled-in worksheet goes (never the one read)";
    output.second_merge_help = "where the filled-in worksheet goes";
    output.third_name = "worksheet-columns";
    output.third_value_name = "KEY=NAME,...";
    output.third_help = "the worksheet's columns where its headers are not in English: "
                        "grade=NAME,max=NAME,id=NAME,name=NAME,feedback=NAME";
    output.check = check_worksheet;
    output.fill = fill_worksheet_in;
    return output;
}

// A plain GitHub Actions step: the annotations take the terminal report's place on standard
// output, where the runner reads workflow commands, and the job's summary is added to SUMMARY
// ($GITHUB_STEP_SUMMARY), after what other steps wrote there.
Output github_actions()
{
    Output output;
    output.name = "github-actions";
    output.value_name = "SUMMARY";
    output.help = "as a GitHub Actions step: annotations on the sources instead of the report, and "
                  "the job's summary added to SUMMARY ($GITHUB_STEP_SUMMARY)";
    output.group = OutputGroup::platforms;
    output.place = OutputPlace::standard_output;
    output.check = [](const OutputAsked& asked) { check_writable(asked.value); };
    output.write = [](std::ostream& out, const Report& report, const OutputAsked& asked,
                      Clock::time_point) {
        write_github_annotations(out, report);
        std::ofstream summary(asked.value, std::ios::binary | std::ios::app);
        write_github_summary(summary, report);
        summary.close();
        if (!summary) {
            out << "::warning::cannot write the job's summary to " << asked.value << '\n';
        }
    };
    return output;
}

Output platform(Output output)
{
    output.group = OutputGroup::platforms;
    return output;
}

// Adding an output is its writer and one entry here.
std::vector<Output> make_outputs()
{
    return {
        results_file("json", "also write the results as JSON to this file",
                     "write the joined results as JSON to this file", write_json),
        results_file("junit", "also write the results as JUnit XML to this file",
                     "write them as JUnit XML to this file", write_junit),
        results_file("csv", "also write the gradebook as CSV to this file",
                     "write the gradebook as CSV to this file", write_csv),
        results_file("html", "also write the results as a web page to this file",
                     "write them as a web page to this file", write_html),
        gradescope(),
        // A repository's own result: merge, which joins a class, has no use for it.
        platform(results_file("classroom",
                              "also write GitHub Classroom's autograding result to this file", "",
                              write_classroom)),
        vpl(),
        github_actions(),
        worksheet(),
    };
}

} // namespace

const std::vector<Output>& outputs()
{
    static const std::vector<Output> table = make_outputs();
    return table;
}

void check_writable(const std::string& file)
{
    const fs::path path(file);
    const fs::path folder = path.parent_path().empty() ? fs::path(".") : path.parent_path();
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        throw std::runtime_error("cannot write " + file + ": there is no folder " +
                                 folder.string());
    }
    if (fs::is_directory(path, error)) {
        throw std::runtime_error("cannot write " + file + ": it is a folder");
    }
    if (access(folder.c_str(), W_OK | X_OK) != 0 ||
        (fs::exists(path, error) && access(path.c_str(), W_OK) != 0)) {
        throw std::runtime_error("cannot write " + file + ": permission denied");
    }
}

bool write_file(const std::string& file, const std::function<void(std::ostream&)>& writer,
                std::ostream& errors)
{
    const std::string partial = file + ".partial";
    const auto remove_partial = [&partial] {
        std::error_code error;
        fs::remove(partial, error);
    };
    {
        std::ofstream out(partial, std::ios::binary | std::ios::trunc);
        try {
            writer(out);
        } catch (...) {
            out.close();
            remove_partial();
            throw;
        }
        out.close();
        if (out && std::rename(partial.c_str(), file.c_str()) == 0) {
            return true;
        }
    }
    remove_partial();
    errors << "exercise-check: cannot write " << file << '\n';
    return false;
}

void check_outputs(const std::vector<OutputAsked>& asked)
{
    for (const Output& output : outputs()) {
        for (const OutputAsked& one : asked) {
            if (one.output != &output) {
                continue;
            }
            if (output.check) {
                output.check(one);
            } else {
                check_writable(output.file(one));
            }
        }
    }
}

bool write_outputs(const std::vector<OutputAsked>& asked, Report& report, Clock::time_point started,
                   const std::function<void(std::ostream&, const Report&)>& terminal,
                   std::ostream& out, std::ostream& errors)
{
    for (const OutputAsked& one : asked) {
        if (one.output->place == OutputPlace::filled_in) {
            for (const std::string& line : one.output->fill(report, one)) {
                errors << "exercise-check: " << line << '\n';
            }
        }
    }
    const OutputAsked* instead = nullptr;
    for (const OutputAsked& one : asked) {
        if (one.output->place == OutputPlace::standard_output) {
            instead = &one;
        }
    }
    if (instead != nullptr) {
        instead->output->write(out, report, *instead, started);
    } else {
        terminal(out, report);
    }
    bool written = true;
    for (const Output& output : outputs()) {
        for (const OutputAsked& one : asked) {
            if (one.output == &output && output.place == OutputPlace::file) {
                const auto writer = [&](std::ostream& file) {
                    output.write(file, report, one, started);
                };
                written = write_file(output.file(one), writer, errors) && written;
            }
        }
    }
    return written;
}

} // namespace check
