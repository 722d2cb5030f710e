// Which files of a folder were saved, as the kernel's inotify tells: a file counts once it is
// written whole (closed after writing, or moved into place), and the saves have settled.
#pragma once

#include <chrono>
#include <filesystem>
#include <map>
#include <vector>

namespace check {

class Saves {
  public:
    // Watches folder and every folder in it (not through links), and those made in them later.
    // Throws std::runtime_error when the kernel will not watch it.
    explicit Saves(const std::filesystem::path& folder);
    Saves(const Saves&) = delete;
    Saves& operator=(const Saves&) = delete;
    Saves(Saves&&) = delete;
    Saves& operator=(Saves&&) = delete;
    ~Saves();

    // The files saved since the last call, in the order of their first save, once settle has
    // passed with nothing more saved; waits for the first as long as wait (negative: for ever),
    // and gives none when it passes.
    std::vector<std::filesystem::path> next(std::chrono::milliseconds settle,
                                            std::chrono::milliseconds wait);

  private:
    void watch(const std::filesystem::path& folder);
    // Reads what is waiting: true when something was.
    bool read_events(std::vector<std::filesystem::path>& saved);

    int descriptor_ = -1;
    std::map<int, std::filesystem::path> folders_; // by watch
};

} // namespace check
