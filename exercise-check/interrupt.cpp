#include "interrupt.h"

#include "run.h"

#include <csignal>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <unistd.h>

namespace check {

namespace fs = std::filesystem;

namespace {

std::mutex& folder_mutex()
{
    static std::mutex mutex;
    return mutex;
}

fs::path& folder_to_remove()
{
    static fs::path folder;
    return folder;
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

} // namespace

void handle_interruptions()
{
    static const bool started = [] {
        const sigset_t set = interruptions();
        pthread_sigmask(SIG_BLOCK, &set, nullptr);
        std::thread([set] {
            int signal = 0;
            while (sigwait(&set, &signal) != 0) {
            }
            // The lock is kept to the end: the check cannot remove the folder meanwhile.
            folder_mutex().lock();
            end_every_run();
            std::error_code error;
            if (!folder_to_remove().empty()) {
                fs::remove_all(folder_to_remove(), error);
            }
            _exit(128 + signal);
        }).detach();
        return true;
    }();
    (void)started;
}

void remove_when_interrupted(const fs::path& folder)
{
    const std::lock_guard<std::mutex> lock(folder_mutex());
    folder_to_remove() = folder;
}

} // namespace check
