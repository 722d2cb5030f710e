#include "cgroup.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace check {

namespace fs = std::filesystem;

namespace {

std::string read_text(const fs::path& path)
{
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

bool write_text(const fs::path& path, const std::string& text)
{
    const int fd = open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
    close(fd);
    return written;
}

bool has_word(const std::string& list, const std::string& word, char separator)
{
    std::istringstream words(list);
    std::string one;
    while (std::getline(words, one, separator)) {
        if (one == word) {
            return true;
        }
    }
    return false;
}

// Where the groups of this process's own cgroup are made: the memory and pids folders of
// version 1, or the one folder of version 2.
struct Places {
    bool unified = false;
    fs::path memory;
    fs::path pids; // version 1 only, and may be missing
};

// This process's own folder in a mounted hierarchy: the hierarchy's mount point and the path that
// /proc/self/cgroup gives, less the part above the mount's root.
std::optional<fs::path> own_folder(bool unified, const std::string& controller)
{
    std::optional<fs::path> mount;
    std::string mount_root;
    std::ifstream mounts("/proc/self/mountinfo");
    for (std::string line; std::getline(mounts, line);) {
        std::istringstream fields(line);
        std::string id, parent, device, root, point, options, field;
        fields >> id >> parent >> device >> root >> point >> options;
        while (fields >> field && field != "-") {
        }
        std::string type, source, super;
        fields >> type >> source >> super;
        if (unified ? type == "cgroup2" : type == "cgroup" && has_word(super, controller, ',')) {
            mount = point;
            mount_root = root;
            break;
        }
    }
    if (!mount) {
        return std::nullopt;
    }
    std::ifstream groups("/proc/self/cgroup");
    for (std::string line; std::getline(groups, line);) {
        const std::size_t first = line.find(':');
        const std::size_t second = line.find(':', first + 1);
        if (first == std::string::npos || second == std::string::npos) {
            continue;
        }
        const std::string controllers = line.substr(first + 1, second - first - 1);
        if (unified ? line.compare(0, first, "0") == 0 && controllers.empty()
                    : has_word(controllers, controller, ',')) {
            std::string path = line.substr(second + 1);
            if (mount_root != "/" && path.compare(0, mount_root.size(), mount_root) == 0) {
                path.erase(0, mount_root.size());
            }
            return *mount / fs::path(path).relative_path();
        }
    }
    return std::nullopt;
}

std::optional<Places> find_places()
{
    if (const auto memory = own_folder(false, "memory")) {
        Places places;
        places.memory = *memory;
        places.pids = own_folder(false, "pids").value_or(fs::path());
        return places;
    }
    if (const auto own = own_folder(true, "")) {
        // Version 2 lets a group have memory limits only where its parent hands them down, and
        // a cgroup with processes of its own (as this one) cannot start handing them down.
        const std::string handed = read_text(*own / "cgroup.subtree_control");
        if (!has_word(handed.substr(0, handed.find('\n')), "memory", ' ') &&
            !write_text(*own / "cgroup.subtree_control", "+memory")) {
            return std::nullopt;
        }
        write_text(*own / "cgroup.subtree_control", "+pids"); // RLIMIT_NPROC holds without it
        Places places;
        places.unified = true;
        places.memory = *own;
        return places;
    }
    return std::nullopt;
}

const std::optional<Places>& places()
{
    static const std::optional<Places> found = find_places();
    return found;
}

} // namespace

std::unique_ptr<MemoryGroup> MemoryGroup::make(std::uint64_t memory_bytes, std::uint64_t processes)
{
    const std::optional<Places>& where = places();
    if (!where) {
        return nullptr;
    }
    static std::atomic<unsigned> count{0};
    const std::string name =
        "exercise-check-" + std::to_string(getpid()) + "-" + std::to_string(count++);
    std::unique_ptr<MemoryGroup> group(new MemoryGroup);
    const auto make_folder = [&](const fs::path& parent) {
        const fs::path folder = parent / name;
        if (mkdir(folder.c_str(), 0755) != 0) {
            return fs::path();
        }
        group->folders_.push_back(folder);
        return folder;
    };
    const auto join = [&](const fs::path& folder) {
        const int fd = open((folder / "cgroup.procs").c_str(), O_WRONLY | O_CLOEXEC);
        if (fd >= 0) {
            group->joins_.push_back(fd);
        }
        return fd >= 0;
    };
    const std::string bytes = std::to_string(memory_bytes);
    const fs::path memory = make_folder(where->memory);
    if (memory.empty()) {
        return nullptr;
    }
    if (where->unified) {
        // No swap: what does not fit in the limit must not go there instead.
        if (!write_text(memory / "memory.max", bytes) || !join(memory)) {
            return nullptr;
        }
        write_text(memory / "memory.swap.max", "0");
        write_text(memory / "pids.max", std::to_string(processes));
        group->events_ = memory / "memory.events";
        return group;
    }
    if (!write_text(memory / "memory.limit_in_bytes", bytes) || !join(memory)) {
        return nullptr;
    }
    if (fs::exists(memory / "memory.memsw.limit_in_bytes") &&
        !write_text(memory / "memory.memsw.limit_in_bytes", bytes)) {
        return nullptr;
    }
    group->events_ = memory / "memory.oom_control";
    if (!where->pids.empty()) {
        const fs::path pids = make_folder(where->pids);
        if (pids.empty() || !write_text(pids / "pids.max", std::to_string(processes)) ||
            !join(pids)) {
            return nullptr;
        }
    }
    return group;
}

void MemoryGroup::end_all() const
{
    for (const fs::path& folder : folders_) {
        for (int round = 0; round < 3; ++round) {
            std::istringstream left(read_text(folder / "cgroup.procs"));
            bool any = false;
            for (long pid = 0; left >> pid;) {
                if (pid > 0) {
                    kill(static_cast<pid_t>(pid), SIGKILL);
                    any = true;
                }
            }
            if (!any) {
                break;
            }
        }
    }
}

MemoryGroup::~MemoryGroup()
{
    for (const int fd : joins_) {
        close(fd);
    }
    // What is left in it is ended, and the folder goes once the last of it has.
    for (const fs::path& folder : folders_) {
        for (int attempt = 0; attempt < 500; ++attempt) {
            std::istringstream left(read_text(folder / "cgroup.procs"));
            for (long pid = 0; left >> pid;) {
                if (pid > 0) {
                    kill(static_cast<pid_t>(pid), SIGKILL);
                }
            }
            if (rmdir(folder.c_str()) == 0 || errno == ENOENT) {
                break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    }
}

std::uint64_t oom_kills_in(const std::string& text)
{
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream words(line);
        std::string name;
        std::uint64_t count = 0;
        if (words >> name >> count && name == "oom_kill") {
            return count;
        }
    }
    return 0;
}

std::uint64_t oom_kills(const fs::path& events)
{
    return oom_kills_in(read_text(events));
}

bool memory_groups_work()
{
    static const bool work = MemoryGroup::make(64ULL << 20, 64) != nullptr;
    return work;
}

} // namespace check
