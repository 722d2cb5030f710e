// The kernel's Landlock rules for one sandboxed run: which files it may read, run and write, and,
// where the kernel can, no TCP and no signals or abstract sockets outside its own processes.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace check::landlock {

// The highest Landlock ABI the kernel offers, or 0 where it offers none (or it is switched off).
int abi();

// What a run may reach: everything else of the file system is out of its reach.
struct Reach {
    std::vector<std::filesystem::path> read;    // read and execute, files or whole folders
    std::vector<std::filesystem::path> write;   // folders it may also change
    std::vector<std::filesystem::path> devices; // /dev/null and the like: read and write
};

// The folders of the system's programs and libraries that every run may read and execute.
std::vector<std::filesystem::path> system_folders();

// A ruleset made in the checker, before the run starts, and applied in the run's first process
// by restrict_self. Paths that are not there are left out.
class Ruleset {
  public:
    // Throws std::runtime_error where the kernel refuses it.
    explicit Ruleset(const Reach& reach);
    Ruleset(const Ruleset&) = delete;
    Ruleset& operator=(const Ruleset&) = delete;
    Ruleset(Ruleset&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
    Ruleset& operator=(Ruleset&&) = delete;
    ~Ruleset();

    int fd() const { return fd_; }

  private:
    int fd_ = -1;
};

// In the run's process, between fork and exec: no memory is allocated, only system calls made.
// Sets no-new-privileges and applies the ruleset to this process and all it starts. False when
// the kernel refused.
bool restrict_self(int ruleset_fd);

// Why Landlock cannot be used here, in one line, or nothing when it can.
std::optional<std::string> problem();

} // namespace check::landlock
