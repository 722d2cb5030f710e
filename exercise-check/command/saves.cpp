#include "saves.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <stdexcept>
#include <sys/inotify.h>
#include <unistd.h>

namespace check {

namespace fs = std::filesystem;

namespace {

// A hand-in holds a few folders: more than this is not one, and is not watched deeper.
constexpr std::size_t most_folders = 1000;

constexpr std::uint32_t watched_events =
    IN_CLOSE_WRITE | IN_MOVED_TO | IN_CREATE | IN_DONT_FOLLOW | IN_ONLYDIR | IN_EXCL_UNLINK;

} // namespace

Saves::Saves(const fs::path& folder) : descriptor_(inotify_init1(IN_NONBLOCK | IN_CLOEXEC))
{
    if (descriptor_ < 0) {
        throw std::runtime_error("cannot watch " + folder.string() + ": " + std::strerror(errno));
    }
    watch(folder);
    if (folders_.empty()) {
        ::close(descriptor_);
        throw std::runtime_error("cannot watch " + folder.string() + ": " + std::strerror(errno));
    }
}

Saves::~Saves()
{
    ::close(descriptor_);
}

void Saves::watch(const fs::path& folder)
{
    if (folders_.size() >= most_folders) {
        return;
    }
    const int watch = inotify_add_watch(descriptor_, folder.c_str(), watched_events);
    if (watch < 0) {
        return;
    }
    folders_[watch] = folder;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end;
         entry.increment(error)) {
        std::error_code entry_error;
        if (entry->is_directory(entry_error) && !entry->is_symlink(entry_error)) {
            this->watch(entry->path());
        }
    }
}

bool Saves::read_events(std::vector<fs::path>& saved)
{
    bool any = false;
    alignas(inotify_event) std::array<char, 64 * 1024> buffer{};
    for (;;) {
        const ssize_t got = ::read(descriptor_, buffer.data(), buffer.size());
        if (got <= 0) {
            return any;
        }
        any = true;
        for (std::size_t at = 0; at + sizeof(inotify_event) <= static_cast<std::size_t>(got);) {
            inotify_event event{};
            std::memcpy(&event, buffer.data() + at, sizeof(event));
            const char* name = buffer.data() + at + sizeof(inotify_event);
            at += sizeof(inotify_event) + event.len;
            const auto folder = folders_.find(event.wd);
            if (folder == folders_.end() || event.len == 0) {
                continue;
            }
            const fs::path path = folder->second / std::string(name, ::strnlen(name, event.len));
            if ((event.mask & IN_ISDIR) != 0) {
                if ((event.mask & (IN_CREATE | IN_MOVED_TO)) != 0) {
                    watch(path); // a folder made or moved in: what is saved in it counts too
                }
            } else if ((event.mask & (IN_CLOSE_WRITE | IN_MOVED_TO)) != 0 &&
                       std::find(saved.begin(), saved.end(), path) == saved.end()) {
                saved.push_back(path);
            }
        }
    }
}

std::vector<fs::path> Saves::next(std::chrono::milliseconds settle, std::chrono::milliseconds wait)
{
    std::vector<fs::path> saved;
    pollfd waiting{descriptor_, POLLIN, 0};
    int timeout = wait.count() < 0 ? -1 : static_cast<int>(wait.count());
    for (;;) {
        const int ready = ::poll(&waiting, 1, timeout);
        if (ready < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::runtime_error(std::string("cannot watch the folder: ") +
                                     std::strerror(errno));
        }
        if (ready == 0) {
            return saved; // settled, or nothing came in time
        }
        read_events(saved);
        // A save is often several writes, or a file written and then moved into place: what
        // comes within settle is part of it.
        timeout = saved.empty() && wait.count() < 0 ? -1 : static_cast<int>(settle.count());
    }
}

} // namespace check
