#include "batch.h"

#include "sandbox_landlock.h"

#include "bwrap.h"
#include "process.h"
#include "syscall_filter.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstring>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

namespace check {

namespace fs = std::filesystem;

void BatchEncoder::number(std::uint64_t value)
{
    bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
}

void BatchEncoder::text(const std::string& value)
{
    number(value.size());
    bytes_ += value;
}

void BatchEncoder::real(double value)
{
    bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
}

std::uint64_t BatchDecoder::number()
{
    std::uint64_t value = 0;
    take(&value, sizeof value);
    return value;
}

double BatchDecoder::real()
{
    double value = 0;
    take(&value, sizeof value);
    return value;
}

std::string BatchDecoder::text()
{
    const std::uint64_t size = number();
    if (!good_ || size > bytes_.size() - at_) {
        good_ = false;
        at_ = bytes_.size();
        return {};
    }
    std::string value = bytes_.substr(at_, size);
    at_ += size;
    return value;
}

void BatchDecoder::take(void* into, std::size_t size)
{
    if (!good_ || size > bytes_.size() - at_) {
        good_ = false;
        at_ = bytes_.size();
        return;
    }
    std::memcpy(into, bytes_.data() + at_, size);
    at_ += size;
}

void put_request(BatchEncoder& out, const RunRequest& request)
{
    out.number(request.command.size());
    for (const std::string& word : request.command) {
        out.text(word);
    }
    out.text(request.input);
    out.number(request.input_stays_open ? 1 : 0);
    out.number(static_cast<std::uint64_t>(request.stdout_to));
    out.number(request.settles_on ? 1 : 0);
    out.text(request.settles_on.value_or(""));
    const Limits& limits = request.limits;
    out.real(limits.wall_seconds);
    out.real(limits.cpu_seconds);
    out.number(limits.memory_bytes);
    out.number(limits.output_bytes);
    out.number(limits.file_bytes);
    out.number(static_cast<std::uint64_t>(limits.processes));
    out.number(static_cast<std::uint64_t>(request.runs_after));
}

std::optional<RunRequest> get_request(BatchDecoder& in)
{
    RunRequest request;
    const std::uint64_t words = in.number();
    for (std::uint64_t word = 0; word < words && in.good(); ++word) {
        request.command.push_back(in.text());
    }
    request.input = in.text();
    request.input_stays_open = in.number() != 0;
    const std::uint64_t stdout_to = in.number();
    const bool settles = in.number() != 0;
    const std::string settles_on = in.text();
    if (settles) {
        request.settles_on = settles_on;
    }
    Limits& limits = request.limits;
    limits.wall_seconds = in.real();
    limits.cpu_seconds = in.real();
    limits.memory_bytes = in.number();
    limits.output_bytes = in.number();
    limits.file_bytes = in.number();
    limits.processes = static_cast<int>(in.number());
    const std::uint64_t runs_after = in.number();
    if (!in.good() || request.command.empty() ||
        stdout_to > static_cast<std::uint64_t>(Stdout::closed) ||
        runs_after > static_cast<std::uint64_t>(RunsAfter::in_time)) {
        return std::nullopt;
    }
    request.stdout_to = static_cast<Stdout>(stdout_to);
    request.runs_after = static_cast<RunsAfter>(runs_after);
    return request;
}

namespace {

constexpr std::size_t returned_error_bytes = 4096;
// Each result's numbers and lengths, beside its texts.
constexpr std::size_t result_frame_bytes = 11 * 8;

} // namespace

void put_result(BatchEncoder& out, std::uint64_t index, const RunResult& result)
{
    out.number(index);
    out.number(static_cast<std::uint64_t>(result.ending));
    out.number(static_cast<std::uint64_t>(static_cast<std::int64_t>(result.status)));
    out.number(static_cast<std::uint64_t>(result.signal));
    out.number(result.out_of_memory ? 1 : 0);
    out.text(result.out.substr(0, returned_bytes));
    out.text(result.err.substr(0, returned_bytes));
    out.real(result.seconds);
    out.number(result.peak_memory_bytes);
    out.text(result.error.substr(0, returned_error_bytes));
}

BatchResults get_results(const std::string& bytes, std::size_t expected)
{
    BatchResults got;
    BatchDecoder in(bytes);
    while (in.more()) {
        if (got.results.size() == expected) {
            got.broken = true; // more than was asked for
            break;
        }
        const std::uint64_t index = in.number();
        const std::uint64_t ending = in.number();
        const auto status = static_cast<std::int64_t>(in.number());
        const std::uint64_t signal = in.number();
        const std::uint64_t out_of_memory = in.number();
        RunResult result;
        result.out = in.text();
        result.err = in.text();
        result.seconds = in.real();
        result.peak_memory_bytes = in.number();
        result.error = in.text();
        if (!in.good()) {
            break; // cut off: what sent it ended while it wrote
        }
        const bool sound = index == got.results.size() &&
                           ending <= static_cast<std::uint64_t>(Ending::not_started) &&
                           status >= -1 && status <= 255 && signal < 128 && out_of_memory <= 1 &&
                           result.out.size() <= returned_bytes &&
                           result.err.size() <= returned_bytes &&
                           result.error.size() <= returned_error_bytes &&
                           std::isfinite(result.seconds) && result.seconds >= 0;
        if (!sound) {
            got.broken = true;
            break;
        }
        result.ending = static_cast<Ending>(ending);
        result.status = static_cast<int>(status);
        result.signal = static_cast<int>(signal);
        result.out_of_memory = out_of_memory != 0;
        got.results.push_back(std::move(result));
    }
    return got;
}

BatchResults batch_results(const RunResult& served, std::size_t expected)
{
    BatchResults got = get_results(served.out, expected);
    // A server that ended well sent every result: fewer were lost or held back on the way.
    const bool ended_well = served.ending == Ending::exited && served.status == 0;
    if (ended_well && got.results.size() != expected) {
        got.broken = true;
    }
    return got;
}

namespace {

bool write_all(int fd, const std::string& bytes)
{
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t count = write(fd, bytes.data() + written, bytes.size() - written);
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            return false;
        }
        written += static_cast<std::size_t>(count);
    }
    return true;
}

void empty_folder(const fs::path& folder)
{
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        fs::remove_all(entry.path(), error);
    }
}

// Inside the sandbox, after a run: ends every process but this one and the sandbox's first, and
// empties /tmp and /dev/shm.
void clean_sandbox()
{
    const pid_t self = getpid();
    for (int round = 0; round < 3; ++round) {
        bool found = false;
        std::error_code error;
        for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error)) {
            const std::string name = entry.path().filename().string();
            if (name.find_first_not_of("0123456789") != std::string::npos) {
                continue;
            }
            const pid_t pid = static_cast<pid_t>(std::stol(name));
            if (pid != self && pid != 1) {
                kill(pid, SIGKILL);
                found = true;
            }
        }
        while (waitpid(-1, nullptr, WNOHANG) > 0) {
        }
        if (!found) {
            break;
        }
    }
    empty_folder("/tmp");
    empty_folder("/dev/shm");
}

// A failure of the batch as a whole: no result of it can be told true.
RunResult unreadable_results()
{
    RunResult result;
    result.ending = Ending::signalled;
    result.signal = SIGKILL;
    result.error = "what came back from its sandbox was not the results of its runs";
    return result;
}

} // namespace

int serve_runs()
{
    // Nothing a program run here can reach may write a result: no tracing of this process, no
    // reading or writing its memory, no opening its descriptors through /proc.
    if (prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0) {
        return 1;
    }
    std::string bytes;
    std::array<char, 65536> buffer{};
    while (true) {
        const ssize_t count = read(STDIN_FILENO, buffer.data(), buffer.size());
        if (count < 0 && errno == EINTR) {
            continue;
        }
        if (count <= 0) {
            break;
        }
        bytes.append(buffer.data(), static_cast<std::size_t>(count));
    }
    BatchDecoder in(bytes);
    Confinement confinement;
    confinement.dies_with_parent = true;
    try {
        confinement.syscall_filter = &syscall_filter::tracing();
    } catch (const std::exception&) {
        return 1;
    }
    confinement.ended_first = true; // its server is not, when the program's memory runs out
    const bool grouped = access(memory_events_inside, R_OK) == 0;
    RunResult previous;
    for (std::uint64_t index = 0; in.more(); ++index) {
        const std::optional<RunRequest> request = get_request(in);
        if (!request) {
            return 1;
        }
        RunResult result = not_made();
        if (index == 0 || made_after(*request, previous)) {
            std::vector<std::string> args = request->command;
            args.front() = find_on_path(args.front());
            const std::uint64_t killed_before = grouped ? oom_kills(memory_events_inside) : 0;
            result = run_process(*request, args, confinement);
            clean_sandbox();
            if (grouped && oom_kills(memory_events_inside) > killed_before) {
                mark_out_of_memory(result);
            }
        }
        previous = result;
        BatchEncoder out;
        put_result(out, index, result);
        if (!write_all(STDOUT_FILENO, out.bytes())) {
            return 1;
        }
    }
    return 0;
}

namespace {

// The sandbox's run that serves the requests from next on, and the group that holds them.
struct Batch {
    RunRequest server;
    std::unique_ptr<MemoryGroup> group;
};

Batch batch_from(const std::vector<RunRequest>& requests, std::size_t next, const Sandbox& sandbox,
                 const fs::path& self)
{
    Batch batch;
    RunRequest& server = batch.server;
    server.command = {self.string(), serve_runs_argument};
    server.sandbox = sandbox;
    server.sandbox.read_only.push_back(self);
    server.limits.wall_seconds = 5;
    server.limits.cpu_seconds = 5;
    server.limits.memory_bytes = 0;
    server.limits.output_bytes = 0;
    server.limits.processes = 0;
    // One group for the sandbox, as large as the largest run's limit: the runs take turns.
    std::uint64_t memory = 0;
    bool unlimited = false;
    int processes = 0;
    for (std::size_t index = next; index < requests.size(); ++index) {
        const Limits& limits = requests[index].limits;
        memory = std::max(memory, limits.memory_bytes);
        unlimited = unlimited || limits.memory_bytes == 0;
        processes = std::max(processes, limits.processes);
    }
    batch.group = group_for(unlimited ? 0 : memory, processes + 1);
    BatchEncoder out;
    for (std::size_t index = next; index < requests.size(); ++index) {
        RunRequest request = requests[index];
        if (batch.group == nullptr) {
            request.limits = without_group(request.limits, sandbox);
        }
        put_request(out, request);
        server.sandbox.read_only.insert(server.sandbox.read_only.end(),
                                        request.sandbox.read_only.begin(),
                                        request.sandbox.read_only.end());
        const Limits& limits = request.limits;
        server.limits.wall_seconds += limits.wall_seconds + 1;
        server.limits.cpu_seconds += limits.cpu_seconds + 1;
        server.limits.output_bytes += 2 * returned_bytes + 4096 + result_frame_bytes;
        // The batch server (the sandbox's first process) is counted beside the program's.
        server.limits.processes = std::max(server.limits.processes, limits.processes + 1);
        server.limits.file_bytes = std::max(server.limits.file_bytes, limits.file_bytes);
    }
    std::vector<fs::path>& read_only = server.sandbox.read_only;
    std::sort(read_only.begin(), read_only.end());
    read_only.erase(std::unique(read_only.begin(), read_only.end()), read_only.end());
    server.input = out.bytes();
    return batch;
}

} // namespace

std::vector<RunResult> run_all(const std::vector<RunRequest>& requests, const Sandbox& sandbox)
{
    std::vector<RunResult> results;
    // Without namespaces a run costs no sandbox's start: each runs on its own.
    if (sandbox.enabled && sandbox.kind == SandboxKind::landlock) {
        return run_all_in_landlock(requests);
    }
    if (!sandbox.enabled) {
        for (const RunRequest& request : requests) {
            results.push_back(results.empty() || made_after(request, results.back()) ? run(request)
                                                                                     : not_made());
        }
        return results;
    }
    std::error_code error;
    const fs::path self = fs::read_symlink("/proc/self/exe", error);
    std::size_t next = 0;
    while (next < requests.size()) {
        // After a run that ended its sandbox, the next ones it does not let run are not made.
        if (next > 0 && !made_after(requests[next], results.back())) {
            results.push_back(not_made());
            ++next;
            continue;
        }
        const Batch batch = batch_from(requests, next, sandbox, self);
        const std::size_t expected = requests.size() - next;
        BatchResults got =
            batch_results(run_in_sandbox(batch.server, batch.group.get(), true), expected);
        if (got.broken) {
            // Nothing of this batch can be trusted; the rest of the program's runs are not made.
            results.resize(requests.size(), unreadable_results());
            std::fill(results.begin() + static_cast<std::ptrdiff_t>(next), results.end(),
                      unreadable_results());
            break;
        }
        next += got.results.size();
        results.insert(results.end(), std::make_move_iterator(got.results.begin()),
                       std::make_move_iterator(got.results.end()));
        if (next < requests.size()) {
            // The sandbox ended before this run did: the program ended what ran it.
            RunResult lost;
            lost.ending = Ending::signalled;
            lost.signal = SIGKILL;
            lost.error = "its sandbox ended during the run: it killed the process that ran it";
            results.push_back(lost);
            ++next;
        }
    }
    return results;
}

} // namespace check
