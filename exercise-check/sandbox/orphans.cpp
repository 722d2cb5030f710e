#include "orphans.h"

#include "run.h"

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>
#include <string>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace check {

namespace fs = std::filesystem;

namespace {

// The processes of the runs under way, each its group's first.
struct Runs {
    std::mutex mutex;
    std::set<pid_t> live;
    bool ended = false;
};

Runs& runs()
{
    static Runs all;
    return all;
}

// Each process's parent, from /proc.
std::map<pid_t, pid_t> parents()
{
    std::map<pid_t, pid_t> found;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() || name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::ifstream in(entry.path() / "stat");
        std::string line;
        std::getline(in, line);
        // pid (name) state ppid ...: the name may hold blanks and parentheses of its own.
        const std::size_t close = line.rfind(')');
        if (close == std::string::npos) {
            continue;
        }
        std::istringstream rest(line.substr(close + 1));
        std::string state;
        long parent = 0;
        if (rest >> state >> parent) {
            found[static_cast<pid_t>(std::stol(name))] = static_cast<pid_t>(parent);
        }
    }
    return found;
}

} // namespace

pid_t enter_run(const std::function<pid_t()>& start)
{
    Runs& all = runs();
    const std::lock_guard<std::mutex> lock(all.mutex);
    if (all.ended) {
        errno = ECANCELED;
        return -1;
    }
    const pid_t pid = start();
    if (pid > 0) {
        all.live.insert(pid);
    }
    return pid;
}

void leave_run(pid_t pid)
{
    Runs& all = runs();
    const std::lock_guard<std::mutex> lock(all.mutex);
    all.live.erase(pid);
}

void end_every_run()
{
    Runs& all = runs();
    const std::lock_guard<std::mutex> lock(all.mutex);
    all.ended = true;
    for (const pid_t pid : all.live) {
        kill(-pid, SIGKILL);
        kill(pid, SIGKILL);
    }
}

void take_in_orphans()
{
    static const bool taken = prctl(PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) == 0;
    (void)taken;
}

void end_orphans()
{
    Runs& all = runs();
    const std::lock_guard<std::mutex> lock(all.mutex);
    const pid_t self = getpid();
    const std::map<pid_t, pid_t> parent_of = parents();
    std::vector<pid_t> orphans;
    for (const auto& [pid, parent] : parent_of) {
        if (parent == self && all.live.count(pid) == 0) {
            orphans.push_back(pid);
        }
    }
    // Each orphan with everything below it, stopped first so that none starts more meanwhile.
    std::vector<pid_t> doomed = orphans;
    for (std::size_t index = 0; index < doomed.size(); ++index) {
        for (const auto& [pid, parent] : parent_of) {
            if (parent == doomed[index]) {
                doomed.push_back(pid);
            }
        }
    }
    for (const pid_t pid : doomed) {
        kill(pid, SIGSTOP);
    }
    for (const pid_t pid : doomed) {
        kill(pid, SIGKILL);
    }
    for (const pid_t pid : orphans) {
        while (waitpid(pid, nullptr, 0) < 0 && errno == EINTR) {
        }
    }
}

} // namespace check
