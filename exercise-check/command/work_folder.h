// The check's work folder: made for the builds, removed at the end, when the check is
// interrupted, and (where a killed check left one) at the next check's start.
#pragma once

#include <filesystem>
#include <stdexcept>

namespace check {

// A work folder could not be made as it must be; what says why and what to do.
struct WorkFolderRefused : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A folder of the checker's own in TMPDIR, held by a lock for as long as it lives. It holds
// copies of every hand-in: only the checker's user, and the sandbox's user that must reach them
// (as root, the user of each folder in it alone), may enter it.
class WorkFolder {
  public:
    explicit WorkFolder(bool sandboxed);
    WorkFolder(const WorkFolder&) = delete;
    WorkFolder& operator=(const WorkFolder&) = delete;
    WorkFolder(WorkFolder&&) = delete;
    WorkFolder& operator=(WorkFolder&&) = delete;
    ~WorkFolder();
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
    int lock_ = -1;
};

// Removes the work folders in folder that this user's checks left when they were killed: those
// whose lock no checker holds. Folders of other users, and any without a lock, stay. How many.
int remove_left_work_folders(const std::filesystem::path& folder);

} // namespace check
