// A cgroup for one sandbox, which holds all its processes and files together within one memory
// limit; the checker makes one where the system lets it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace check {

class MemoryGroup {
  public:
    // A new, empty group, or nothing where none can be made here.
    static std::unique_ptr<MemoryGroup> make(std::uint64_t memory_bytes, std::uint64_t processes);
    MemoryGroup(const MemoryGroup&) = delete;
    MemoryGroup& operator=(const MemoryGroup&) = delete;
    ~MemoryGroup(); // ends whatever is still in it, and removes it

    // Ends every process in it, and leaves it to be used again.
    void end_all() const;
    // cgroup.procs of each of its folders, open for writing "0" into by a process that joins.
    const std::vector<int>& joins() const { return joins_; }
    // The file whose line "oom_kill <count>" counts the processes ended for the memory limit.
    const std::filesystem::path& events() const { return events_; }

  private:
    MemoryGroup() = default;
    std::vector<std::filesystem::path> folders_;
    std::vector<int> joins_;
    std::filesystem::path events_;
};

// How many processes a group's events file says were ended for its memory limit; 0 when it
// cannot be read.
std::uint64_t oom_kills(const std::filesystem::path& events);

// The line "oom_kill <count>" of such a file's text.
std::uint64_t oom_kills_in(const std::string& text);

// Whether a group can be made here: found out once, by making one.
bool memory_groups_work();

} // namespace check
