#include "self_guard.h"

#include "interrupt.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <filesystem>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace check {

namespace {

using Resource = decltype(RLIMIT_CPU);

// The resources in the order of their numbers, each with its name.
const std::array<std::pair<Resource, const char*>, 16>& resources()
{
    static const std::array<std::pair<Resource, const char*>, 16> all{{
        {RLIMIT_CPU, "the processor time limit"},
        {RLIMIT_FSIZE, "the file size limit"},
        {RLIMIT_DATA, "the data size limit"},
        {RLIMIT_STACK, "the stack size limit"},
        {RLIMIT_CORE, "the core file size limit"},
        {RLIMIT_RSS, "the resident memory limit"},
        {RLIMIT_NPROC, "the process limit"},
        {RLIMIT_NOFILE, "the open file limit"},
        {RLIMIT_MEMLOCK, "the locked memory limit"},
        {RLIMIT_AS, "the address space limit"},
        {RLIMIT_LOCKS, "the file lock limit"},
        {RLIMIT_SIGPENDING, "the pending signal limit"},
        {RLIMIT_MSGQUEUE, "the message queue limit"},
        {RLIMIT_NICE, "the nice value limit"},
        {RLIMIT_RTPRIO, "the real-time priority limit"},
        {RLIMIT_RTTIME, "the real-time processor time limit"},
    }};
    return all;
}

} // namespace

SelfState self_state()
{
    SelfState state;
    for (const auto& [resource, name] : resources()) {
        rlimit limit{};
        getrlimit(resource, &limit);
        state.limits.push_back(limit);
    }
    std::vector<pid_t> threads{getpid()};
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator("/proc/self/task", error)) {
        const std::string name = entry.path().filename().string();
        if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos &&
            name.size() < 10 && std::stoi(name) != getpid()) {
            threads.push_back(std::stoi(name));
        }
    }
    for (const pid_t thread : threads) {
        errno = 0;
        const int priority = getpriority(PRIO_PROCESS, static_cast<id_t>(thread));
        if (priority == -1 && errno != 0) {
            continue; // a thread that ended meanwhile
        }
        state.priority.push_back(priority);
        cpu_set_t set;
        CPU_ZERO(&set);
        if (sched_getaffinity(thread, sizeof set, &set) == 0) {
            state.affinity.emplace_back(reinterpret_cast<const char*>(&set), sizeof set);
        }
        constexpr int io_priority_of_a_thread = 1; // IOPRIO_WHO_PROCESS
        const long io_priority = syscall(SYS_ioprio_get, io_priority_of_a_thread, thread);
        if (io_priority >= 0) {
            state.io_priority.push_back(static_cast<int>(io_priority));
        }
    }
    const auto distinct = [](auto& values) {
        std::sort(values.begin(), values.end());
        values.erase(std::unique(values.begin(), values.end()), values.end());
    };
    distinct(state.priority);
    distinct(state.affinity);
    distinct(state.io_priority);
    return state;
}

std::optional<std::string> what_changed(const SelfState& before, const SelfState& now)
{
    for (std::size_t index = 0; index < before.limits.size() && index < now.limits.size();
         ++index) {
        if (before.limits[index].rlim_cur != now.limits[index].rlim_cur ||
            before.limits[index].rlim_max != now.limits[index].rlim_max) {
            return std::string(resources().at(index).second);
        }
    }
    if (before.limits.size() != now.limits.size()) {
        return std::string("its limits");
    }
    if (before.priority != now.priority) {
        return std::string("the priority");
    }
    if (before.affinity != now.affinity) {
        return std::string("the processors it may run on");
    }
    if (before.io_priority != now.io_priority) {
        return std::string("the I/O priority");
    }
    return std::nullopt;
}

void guard_self()
{
    static const SelfState first = self_state();
    if (const auto changed = what_changed(first, self_state())) {
        abandon_check("exercise-check: " + *changed +
                          " of the checker itself was changed while it checked, by a program it "
                          "ran: it cannot make a true report",
                      3);
    }
}

} // namespace check
