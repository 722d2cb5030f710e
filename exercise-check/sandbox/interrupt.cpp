#include "interrupt.h"

#include "run.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <mutex>
#include <pthread.h>
#include <set>
#include <string>
#include <thread>
#include <unistd.h>

namespace check {

namespace fs = std::filesystem;

namespace {

std::atomic<bool>& began()
{
    static std::atomic<bool> flag{false};
    return flag;
}

std::mutex& folder_mutex()
{
    static std::mutex mutex;
    return mutex;
}

std::set<fs::path>& folders_to_remove()
{
    static std::set<fs::path> folders;
    return folders;
}

sigset_t interruptions()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP}) {
        sigaddset(&set, signal);
    }
    return set;
}

// Ends every run, removes the folders, and ends the checker with the status, after the line
// (if any) on standard error. Whoever comes second waits here for the end.
[[noreturn]] void end_the_check(int status, const std::string& line = {})
{
    began() = true; // before any run is ended
    // The lock is kept to the end: the check cannot remove the folder meanwhile.
    folder_mutex().lock();
    if (!line.empty()) {
        const std::string text = line + "\n";
        (void)!write(STDERR_FILENO, text.data(), text.size());
    }
    end_every_run();
    // Threads of the check may still be making folders there as their runs end: the folders are
    // removed until they stay gone.
    for (int round = 0; round < 5; ++round) {
        bool any = false;
        for (const fs::path& folder : folders_to_remove()) {
            std::error_code error;
            any = fs::exists(folder, error) || any;
            fs::remove_all(folder, error);
        }
        if (!any && round > 0) {
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    _exit(status);
}

} // namespace

bool interruption_began()
{
    return began();
}

void abandon_check(const std::string& line, int status)
{
    end_the_check(status, line);
}

void handle_interruptions()
{
    static const bool started = [] {
        const sigset_t set = interruptions();
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        std::thread([set] {
            int signal = 0;
            while (sigwait(&set, &signal) != 0) {
            }
            end_the_check(128 + signal);
        }).detach();
        return true;
    }();
    (void)started;
}

void remove_when_interrupted(const fs::path& folder)
{
    const std::lock_guard<std::mutex> lock(folder_mutex());
    folders_to_remove().insert(folder);
}

void keep_when_interrupted(const fs::path& folder)
{
    const std::lock_guard<std::mutex> lock(folder_mutex());
    folders_to_remove().erase(folder);
}

} // namespace check
