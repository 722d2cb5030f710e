#include "kept.h"

#include "fault_cache.h"
#include "faults.h"
#include "files.h"
#include "interrupt.h"
#include "sha256.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <sys/utsname.h>
#include <unistd.h>

namespace check {

namespace fs = std::filesystem;
using json = nlohmann::json;

namespace {

// The first line of every entry: what it is, then the SHA-256 and the length of what follows.
const std::string entry_tag = "exercise-check kept 1 ";

// An entry larger than this is not read: a build is at most a program's largest (64 MiB).
constexpr std::uint64_t largest_entry = 256 * mebibyte;

// The bytes of every regular file under folder (not through links), by path, into fields.
void add_files(KeyFields& fields, const fs::path& folder, bool recursive)
{
    std::vector<fs::path> files;
    std::error_code error;
    const auto take = [&](const fs::directory_entry& entry) {
        std::error_code entry_error;
        if (entry.is_regular_file(entry_error) && !entry.is_symlink(entry_error)) {
            files.push_back(entry.path());
        }
    };
    if (recursive) {
        for (fs::recursive_directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            take(*it);
        }
    } else {
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            take(*it);
        }
    }
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files) {
        const FileRead read = read_file(file, largest_entry, Links::refused);
        fields.emplace_back("file " + file.lexically_relative(folder.parent_path()).string(),
                            read.bytes ? sha256_hex(*read.bytes) : read.problem);
    }
}

std::string number(double value)
{
    std::ostringstream text;
    text.precision(17);
    text << value;
    return text.str();
}

json shown_json(const std::optional<ShownText>& text)
{
    if (!text) {
        return nullptr;
    }
    return {{"title", text->title}, {"bytes", text->bytes}, {"left_out", text->left_out}};
}

std::optional<ShownText> shown_from(const json& value)
{
    if (value.is_null()) {
        return std::nullopt;
    }
    return ShownText{value.at("title").get<std::string>(), value.at("bytes").get<std::string>(),
                     value.at("left_out").get<std::size_t>()};
}

json case_json(const CaseResult& one)
{
    json value{{"name", one.name},
               {"verdict", static_cast<int>(one.verdict)},
               {"departure", one.departure},
               {"remark", one.remark},
               {"failed_otherwise", one.failed_otherwise},
               {"seconds", one.seconds},
               {"why", one.why},
               {"random_input", one.random_input},
               {"args", one.args},
               {"input", shown_json(one.input)},
               {"expected", shown_json(one.expected)},
               {"actual", shown_json(one.actual)},
               {"standard_error", shown_json(one.standard_error)},
               {"in_words", one.in_words},
               {"signal", one.signal}};
    value["exit_status"] = one.exit_status ? json(*one.exit_status) : json(nullptr);
    if (one.difference) {
        value["difference"] = {{"line", one.difference->line},
                               {"column", one.difference->column},
                               {"expected", one.difference->expected},
                               {"actual", one.difference->actual}};
    } else {
        value["difference"] = nullptr;
    }
    return value;
}

CaseResult case_from(const json& value)
{
    CaseResult one;
    one.name = value.at("name").get<std::string>();
    const int verdict = value.at("verdict").get<int>();
    if (verdict < 0 || verdict > static_cast<int>(CaseVerdict::not_built)) {
        throw std::out_of_range("no such verdict");
    }
    one.verdict = static_cast<CaseVerdict>(verdict);
    one.departure = value.at("departure").get<bool>();
    one.remark = value.at("remark").get<std::string>();
    one.failed_otherwise = value.at("failed_otherwise").get<bool>();
    one.seconds = value.at("seconds").get<double>();
    one.why = value.at("why").get<std::string>();
    one.random_input = value.at("random_input").get<std::string>();
    one.args = value.at("args").get<std::vector<std::string>>();
    one.input = shown_from(value.at("input"));
    one.expected = shown_from(value.at("expected"));
    one.actual = shown_from(value.at("actual"));
    one.standard_error = shown_from(value.at("standard_error"));
    one.in_words = value.at("in_words").get<std::string>();
    one.signal = value.at("signal").get<int>();
    if (!value.at("exit_status").is_null()) {
        one.exit_status = value.at("exit_status").get<int>();
    }
    if (const json& difference = value.at("difference"); !difference.is_null()) {
        one.difference = Difference{difference.at("line").get<std::size_t>(),
                                    difference.at("column").get<std::size_t>(),
                                    difference.at("expected").get<std::string>(),
                                    difference.at("actual").get<std::string>()};
    }
    return one;
}

// The bytes of a file of this user's own, read through no link, and whether it is one.
struct OwnRead {
    std::optional<std::string> bytes;
    std::string problem; // empty where there is no such file at all
};

OwnRead read_own(const fs::path& file)
{
    const int descriptor = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC | O_NONBLOCK);
    if (descriptor < 0) {
        return {std::nullopt, errno == ENOENT  ? ""
                              : errno == ELOOP ? "not a plain file (a link)"
                                               : std::string(std::strerror(errno))};
    }
    struct stat status {};
    OwnRead read;
    if (fstat(descriptor, &status) != 0 || !S_ISREG(status.st_mode)) {
        read.problem = "not a plain file";
    } else if (status.st_uid != geteuid()) {
        read.problem = "written by another user";
    } else if ((status.st_mode & (S_IWGRP | S_IWOTH)) != 0) {
        read.problem = "others may write it";
    } else if (static_cast<std::uint64_t>(status.st_size) > largest_entry) {
        read.problem = "too large";
    } else {
        std::string bytes(static_cast<std::size_t>(status.st_size), '\0');
        std::size_t done = 0;
        while (done < bytes.size()) {
            const ssize_t got = ::read(descriptor, bytes.data() + done, bytes.size() - done);
            if (got <= 0) {
                break;
            }
            done += static_cast<std::size_t>(got);
        }
        if (done == bytes.size()) {
            read.bytes = std::move(bytes);
        } else {
            read.problem = "cut short";
        }
    }
    ::close(descriptor);
    return read;
}

// What follows an entry's first line when it is whole, or why it is not.
std::optional<std::string> verified(const std::string& bytes, std::string& problem)
{
    const std::size_t line_end = bytes.find('\n');
    if (bytes.compare(0, entry_tag.size(), entry_tag) != 0 || line_end == std::string::npos) {
        problem = "not an entry of this store";
        return std::nullopt;
    }
    std::istringstream line(bytes.substr(entry_tag.size(), line_end - entry_tag.size()));
    std::string hash;
    std::size_t length = 0;
    line >> hash >> length;
    std::string held = bytes.substr(line_end + 1);
    if (!line || held.size() != length) {
        problem = "half written";
        return std::nullopt;
    }
    if (sha256_hex(held) != hash) {
        problem = "damaged: its bytes do not match their hash";
        return std::nullopt;
    }
    return held;
}

// Removes the entries of folder (files named by 64 lower-case hex digits) unused for longer than
// unused_for, and what a check that was stopped while writing one left (a day after).
void prune_entries(const fs::path& folder, std::chrono::hours unused_for)
{
    const auto now = fs::file_time_type::clock::now();
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        const bool is_entry =
            name.size() == 64 && name.find_first_not_of("0123456789abcdef") == std::string::npos;
        const bool is_part =
            name.size() > 65 && name[0] == '.' && name.compare(65, 6, ".part-") == 0;
        std::error_code entry_error;
        if ((!is_entry && !is_part) || !entry->is_regular_file(entry_error) ||
            entry->is_symlink(entry_error)) {
            continue;
        }
        const auto age = now - fs::last_write_time(entry->path(), entry_error);
        if (!entry_error && age > (is_entry ? unused_for : std::chrono::hours(24))) {
            fs::remove(entry->path(), entry_error);
        }
    }
}

} // namespace

fs::path default_store()
{
    const fs::path faults = default_fault_cache();
    return faults.empty() ? fs::path() : faults.parent_path();
}

std::string judge_version()
{
    struct stat status {};
    std::string version = "exercise-check";
    if (::stat("/proc/self/exe", &status) == 0) {
        version += ' ' + std::to_string(status.st_size) + ' ' + std::to_string(status.st_ino) +
                   ' ' + std::to_string(status.st_mtim.tv_sec) + '.' +
                   std::to_string(status.st_mtim.tv_nsec);
    }
    return version;
}

std::string machine_identity()
{
    struct utsname name {};
    if (uname(&name) != 0) {
        return "unknown";
    }
    return std::string(name.sysname) + ' ' + name.release + ' ' + name.machine + ' ' +
           name.nodename;
}

std::string key_of(const KeyFields& fields)
{
    std::string text;
    for (const auto& [name, value] : fields) {
        text += name + '=' + std::to_string(value.size()) + ':' + value + '\n';
    }
    return sha256_hex(text);
}

KeyFields build_fields(const std::string& compiler, const std::string& program,
                       const std::string& source, BuildKind kind)
{
    constexpr std::size_t static_pays_off = 40; // as compile() links
    return {{"what", "build"},
            {"machine", machine_identity()},
            {"compiler", compiler},
            {"program", program},
            {"source", sha256_hex(source)},
            {"filled", kind.fill_unset ? "yes" : "no"},
            {"linked", kind.runs >= static_pays_off ? "for many runs" : "for a few"}};
}

KeyFields judging_fields(const Settings& settings, const Exercise& exercise,
                         const std::string& judge)
{
    const Limits& limits = settings.run_limits;
    KeyFields fields{
        {"what", "results"},
        {"judge", judge},
        {"machine", machine_identity()},
        {"exercise", exercise.name + ' ' + exercise.group},
        {"stdlib", settings.stdlib},
        {"limits", number(limits.wall_seconds) + ' ' + number(limits.cpu_seconds) + ' ' +
                       std::to_string(limits.memory_bytes) + ' ' +
                       std::to_string(limits.output_bytes) + ' ' +
                       std::to_string(limits.file_bytes) + ' ' + std::to_string(limits.processes)},
        {"build limits", std::to_string(settings.build_limits.program_bytes) + ' ' +
                             std::to_string(settings.build_limits.person_bytes)},
        {"run budget", number(settings.run_budget.program_seconds) + ' ' +
                           number(settings.run_budget.person_seconds)},
        {"stress", std::to_string(settings.stress_runs) + ' ' + std::to_string(settings.seed)},
        {"sandbox", std::string(sandbox_name(settings.sandbox, settings.sandbox_kind)) + ' ' +
                        settings.memory_limit},
        {"crlf", settings.crlf ? "yes" : "no"},
        {"strict", settings.strict ? "yes" : "no"},
        {"diagnose", settings.diagnose ? "yes" : "no"},
        {"only case", settings.only_case},
    };
    std::string wrappers;
    for (const auto* command : {&settings.emulator, &settings.memcheck}) {
        for (const std::string& word : *command) {
            wrappers += word + '\0';
        }
        wrappers += '\n';
    }
    fields.emplace_back("wrappers", wrappers);
    add_files(fields, settings.case_data, false);
    add_files(fields, settings.case_data / exercise.group, false);
    add_files(fields, settings.case_data / exercise.group / exercise.name, true);
    const fs::path own = own_source(settings.case_data, exercise);
    const FileRead read = own.empty() ? FileRead{} : read_file(own, largest_entry);
    fields.emplace_back("own source", read.bytes ? sha256_hex(*read.bytes) : "");
    return fields;
}

std::string results_text(const KeptResults& results)
{
    json cases = json::array();
    for (const CaseResult& one : results.cases) {
        cases.push_back(case_json(one));
    }
    json diagnosis = json::array();
    for (const Diagnosis& one : results.diagnosis) {
        diagnosis.push_back({{"fault", one.fault}, {"hint", one.hint}, {"cases", one.cases}});
    }
    const json value{{"built", results.built},
                     {"compiler_output", results.compiler_output},
                     {"cases", cases},
                     {"diagnosis", diagnosis},
                     {"unexplained", results.unexplained},
                     {"advice", results.advice},
                     {"resembles", results.resembles}};
    // As CBOR: the bytes of a program's output that are not UTF-8 are kept as they are.
    const std::vector<std::uint8_t> bytes = json::to_cbor(value);
    return {bytes.begin(), bytes.end()};
}

std::optional<KeptResults> results_from(const std::string& text)
{
    try {
        const json value = json::from_cbor(text);
        KeptResults results;
        results.built = value.at("built").get<bool>();
        results.compiler_output = value.at("compiler_output").get<std::string>();
        for (const json& one : value.at("cases")) {
            results.cases.push_back(case_from(one));
        }
        for (const json& one : value.at("diagnosis")) {
            results.diagnosis.push_back({one.at("fault").get<std::string>(),
                                         one.at("hint").get<std::string>(),
                                         one.at("cases").get<std::vector<std::string>>()});
        }
        results.unexplained = value.at("unexplained").get<std::vector<std::string>>();
        results.advice = value.at("advice").get<std::vector<std::string>>();
        results.resembles = value.at("resembles").get<std::vector<std::string>>();
        return results;
    } catch (const json::exception&) {
        return std::nullopt;
    } catch (const std::out_of_range&) {
        return std::nullopt;
    }
}

bool worth_keeping(const KeptResults& results)
{
    for (const char* stopped :
         {"the compiler did not finish within the time limit", "the compiler was stopped"}) {
        if (results.compiler_output.find(stopped) != std::string::npos) {
            return false;
        }
    }
    return std::none_of(results.cases.begin(), results.cases.end(),
                        [](const CaseResult& one) { return one.verdict == CaseVerdict::timeout; });
}

Store::Store(fs::path root) : root_(std::move(root))
{
    if (root_.empty()) {
        return;
    }
    // The store is the checker's own: folders of its user's, which no one else may enter.
    std::error_code error;
    fs::create_directories(root_.parent_path(), error);
    for (const fs::path& folder : {root_, root_ / "builds", root_ / "results"}) {
        fs::create_directory(folder, error);
        struct stat status {};
        if (::lstat(folder.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
            status.st_uid != geteuid()) {
            notes_.push_back("the store " + root_.string() +
                             " is not a folder of this user's own: nothing is kept or taken");
            root_.clear();
            return;
        }
        if ((status.st_mode & 0077) != 0) {
            ::chmod(folder.c_str(), 0700);
        }
    }
}

std::optional<std::string> Store::take(const std::string& kind, const std::string& key)
{
    if (root_.empty()) {
        return std::nullopt;
    }
    const fs::path file = root_ / kind / key;
    const OwnRead read = read_own(file);
    std::string problem = read.problem;
    std::optional<std::string> held;
    if (read.bytes) {
        held = verified(*read.bytes, problem);
    }
    if (!problem.empty()) {
        note("a kept " + std::string(kind == "builds" ? "build" : "result") + " was " + problem +
             ": made again (" + file.string() + ")");
        std::error_code error;
        fs::remove(file, error);
        return std::nullopt;
    }
    if (held) {
        std::error_code error; // used now: pruned a month from now
        fs::last_write_time(file, fs::file_time_type::clock::now(), error);
    }
    return held;
}

void Store::keep(const std::string& kind, const std::string& key, const std::string& bytes)
{
    // An interrupted check's last results are of runs the interruption ended: none is kept.
    if (root_.empty() || interruption_began()) {
        return;
    }
    static std::atomic<unsigned long> written{0};
    const fs::path file = root_ / kind / key;
    const fs::path part = root_ / kind /
                          ('.' + key + ".part-" + std::to_string(::getpid()) + '-' +
                           std::to_string(written.fetch_add(1)));
    const std::string entry =
        entry_tag + sha256_hex(bytes) + ' ' + std::to_string(bytes.size()) + '\n' + bytes;
    const int descriptor =
        ::open(part.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (descriptor < 0) {
        return;
    }
    std::size_t done = 0;
    while (done < entry.size()) {
        const ssize_t wrote = ::write(descriptor, entry.data() + done, entry.size() - done);
        if (wrote <= 0) {
            break;
        }
        done += static_cast<std::size_t>(wrote);
    }
    const bool whole = ::close(descriptor) == 0 && done == entry.size();
    std::error_code error;
    if (whole) {
        fs::rename(part, file, error); // a reader finds the whole entry or none
    }
    if (!whole || error) {
        fs::remove(part, error);
    }
}

std::optional<Build> Store::take_build(const std::string& key, const fs::path& executable)
{
    const std::optional<std::string> held = take("builds", key);
    if (!held) {
        return std::nullopt;
    }
    // built (0 or 1), the messages' length, the messages, the executable.
    std::istringstream head(*held);
    int built = 0;
    std::size_t length = 0;
    head >> built >> length;
    const std::size_t start = held->find('\n');
    if (!head || start == std::string::npos || held->size() - start - 1 < length) {
        note("a kept build was not one: made again");
        return std::nullopt;
    }
    Build build;
    build.built = built == 1;
    build.output = held->substr(start + 1, length);
    if (build.built) {
        const std::string program = held->substr(start + 1 + length);
        std::error_code error;
        fs::remove(executable, error);
        const int descriptor =
            ::open(executable.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0755);
        if (descriptor < 0) {
            return std::nullopt;
        }
        std::size_t done = 0;
        while (done < program.size()) {
            const ssize_t wrote = ::write(descriptor, program.data() + done, program.size() - done);
            if (wrote <= 0) {
                break;
            }
            done += static_cast<std::size_t>(wrote);
        }
        if (::close(descriptor) != 0 || done != program.size()) {
            fs::remove(executable, error);
            return std::nullopt;
        }
    }
    return build;
}

void Store::keep_build(const std::string& key, const Build& build, const fs::path& executable)
{
    if (root_.empty() || build.too_large ||
        !worth_keeping(KeptResults{build.built, build.output, {}, {}, {}, {}, {}})) {
        return;
    }
    std::string program;
    if (build.built) {
        const FileRead read = read_file(executable, largest_entry, Links::refused);
        if (!read.bytes) {
            return;
        }
        program = *read.bytes;
    }
    keep("builds", key,
         std::to_string(build.built ? 1 : 0) + ' ' + std::to_string(build.output.size()) + '\n' +
             build.output + program);
}

std::optional<KeptResults> Store::take_results(const std::string& key)
{
    const std::optional<std::string> held = take("results", key);
    if (!held) {
        return std::nullopt;
    }
    std::optional<KeptResults> results = results_from(*held);
    if (!results) {
        note("a kept result could not be read: run again");
    }
    return results;
}

void Store::keep_results(const std::string& key, const KeptResults& results)
{
    if (worth_keeping(results)) {
        keep("results", key, results_text(results));
    }
}

void Store::prune(std::chrono::hours unused_for) const
{
    if (root_.empty()) {
        return;
    }
    prune_kept(root_ / "faults", unused_for);
    prune_entries(root_ / "builds", unused_for);
    prune_entries(root_ / "results", unused_for);
}

std::vector<std::string> Store::notes() const
{
    const std::lock_guard<std::mutex> lock(mutex_);
    return notes_;
}

std::optional<std::string> first_use_note(const fs::path& root)
{
    const fs::path told = root / "told-where";
    std::error_code error;
    struct stat status {};
    if (root.empty() || ::lstat(root.c_str(), &status) != 0 || !S_ISDIR(status.st_mode) ||
        status.st_uid != geteuid() || fs::exists(told, error)) {
        return std::nullopt; // none, or not this user's: nothing is kept there
    }
    std::ofstream(told) << "the first check that kept something here said where it is\n";
    std::uint64_t bytes = 0;
    for (auto entry = fs::recursive_directory_iterator(root, error);
         !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        if (entry->is_regular_file(error) && !entry->is_symlink(error)) {
            bytes += entry->file_size(error);
        }
    }
    return "builds and results are kept in " + root.string() + " (" + size_text(bytes) +
           " now), so that the same sources are not built and run again; what is unused for 30 "
           "days is removed, and --no-cache keeps nothing";
}

void Store::note(const std::string& line)
{
    const std::lock_guard<std::mutex> lock(mutex_);
    notes_.push_back(line);
}

} // namespace check
