#include "cases.h"

#include "catalogue.h"
#include "files.h"

#include <algorithm>
#include <map>
#include <sstream>
#include <stdexcept>

#ifndef EXERCISE_CHECK_SOURCE_CASES
#define EXERCISE_CHECK_SOURCE_CASES ""
#endif

namespace check {

namespace fs = std::filesystem;

namespace {

// A case's files are this project's or a teacher's, and small: a file larger than this is not
// one of them.
constexpr std::uint64_t largest_case_file = std::uint64_t{64} * 1024 * 1024;

std::string read_case_file(const fs::path& path)
{
    return read_file_or_throw(path, largest_case_file);
}

// The file's bytes; none when there is no such file.
std::string read_if_there(const fs::path& path)
{
    FileRead read = read_file(path, largest_case_file);
    if (!read.bytes && !read.missing) {
        throw std::runtime_error(read.problem);
    }
    return read.bytes ? std::move(*read.bytes) : std::string();
}

std::vector<std::string> lines_of(const std::string& text)
{
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        lines.push_back(line);
    }
    return lines;
}

const char* const lost_output_remark =
    "exits with 0 when its output is lost: a script would take an empty file for success";

// A folder's case files by kind: each case's expected output by its name (a library's own for
// the common one), and the names of its waiting cases and shapes, in name order.
struct CaseFiles {
    std::map<std::string, fs::path> outputs;
    std::vector<std::string> waiting;
    std::vector<std::string> shapes;
};

CaseFiles case_files(const fs::path& folder, const std::string& stdlib)
{
    CaseFiles found;
    std::vector<fs::path> files;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder)) {
        files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        const std::string extension = file.extension().string();
        const std::string stem = file.stem().string();
        if (extension == ".out") {
            const fs::path inner(stem);
            const std::string library = inner.extension().string();
            if (library == ".libc++" || library == ".libstdc++") {
                if (library.substr(1) == stdlib) {
                    found.outputs[inner.stem().string()] = file;
                }
            } else {
                found.outputs.try_emplace(stem, file);
            }
        } else if (extension == ".waiting") {
            found.waiting.push_back(stem);
        } else if (extension == ".shape") {
            found.shapes.push_back(stem);
        }
    }
    return found;
}

// A case of that name as its files give it, but for what it expects: input, arguments, labels,
// remark.
Case base_case(const fs::path& folder, const std::string& prefix, const std::string& name)
{
    Case one;
    one.name = prefix + name;
    one.input = read_if_there(folder / (name + ".in"));
    one.args = lines_of(read_if_there(folder / (name + ".args")));
    for (const std::string& label : lines_of(read_if_there(folder / (name + ".labels")))) {
        one.failed_read = one.failed_read || label == "failed-read";
        one.departure = one.departure || label == "departure";
    }
    const std::vector<std::string> remark = lines_of(read_if_there(folder / (name + ".remark")));
    if (!remark.empty()) {
        one.remark = remark.front();
    } else if (one.departure) {
        one.remark = "fails " + one.name + ", where this project is stricter than the exercise";
    }
    return one;
}

} // namespace

std::vector<Case> load_cases(const fs::path& data, const Exercise& exercise,
                             const std::string& stdlib)
{
    const fs::path folder = data / exercise.group / exercise.name;
    if (!fs::is_directory(folder)) {
        throw std::runtime_error("no case data for " + exercise.name + " in " + data.string() +
                                 ": give it a folder " + exercise.group + "/" + exercise.name +
                                 " of cases");
    }
    const std::string prefix = exercise.group + "." + exercise.name + ".";
    const CaseFiles files = case_files(folder, stdlib);
    const auto base = [&](const std::string& name) { return base_case(folder, prefix, name); };

    // plain first: a failing program's first failing case is then, where it can be, its simplest.
    std::vector<std::pair<std::string, fs::path>> ordered(files.outputs.begin(),
                                                          files.outputs.end());
    std::stable_partition(ordered.begin(), ordered.end(),
                          [](const auto& named) { return named.first == "plain"; });
    std::vector<Case> cases;
    for (const auto& [name, file] : ordered) {
        Case one = base(name);
        one.expected = read_case_file(file);
        cases.push_back(one);
        if (name == "plain") {
            one.name = prefix + "input-left-open";
            one.kind = CaseKind::input_left_open;
            cases.push_back(one);
        }
    }
    for (const std::string& name : files.waiting) {
        Case one = base(name);
        one.kind = CaseKind::waiting;
        one.expected = read_case_file(folder / (name + ".waiting"));
        cases.push_back(one);
    }
    for (const auto& [name, kind] : {std::pair{"output-full", CaseKind::output_full},
                                     std::pair{"output-closed", CaseKind::output_closed}}) {
        Case one;
        one.name = prefix + name;
        one.kind = kind;
        one.expected_status = 1;
        one.departure = true;
        one.departure_gives = CaseVerdict::wrong_status;
        one.remark = lost_output_remark;
        cases.push_back(one);
    }
    for (const std::string& name : files.shapes) {
        Case one = base(name);
        one.kind = CaseKind::stress;
        one.expected = read_case_file(folder / (name + ".shape"));
        cases.push_back(one);
    }
    return cases;
}

std::string_view case_kind_name(CaseKind kind)
{
    switch (kind) {
    case CaseKind::plain: return "plain";
    case CaseKind::waiting: return "waiting";
    case CaseKind::input_left_open: return "input-left-open";
    case CaseKind::output_full: return "output-full";
    case CaseKind::output_closed: return "output-closed";
    case CaseKind::stress: return "stress";
    }
    return "?";
}

std::vector<std::string> case_labels(const Case& one)
{
    std::vector<std::string> labels;
    if (one.failed_read) {
        labels.emplace_back("failed-read");
    }
    if (one.departure) {
        labels.emplace_back("departure");
    }
    return labels;
}

fs::path default_case_data()
{
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    if (!error) {
        const fs::path installed = self.parent_path().parent_path() / "share" / "exercise-check";
        if (fs::is_regular_file(installed / catalogue_file)) {
            return installed;
        }
    }
    return EXERCISE_CHECK_SOURCE_CASES;
}

} // namespace check
