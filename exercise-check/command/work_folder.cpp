#include "work_folder.h"

#include "interrupt.h"
#include "sandbox_landlock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace check {

namespace fs = std::filesystem;

namespace {

constexpr const char* prefix = "exercise-check-";
constexpr const char* lock_name = ".lock";

// Everything below folder opened again for its owner, where a run closed it: else it could not be
// removed by a checker that is not root.
void open_for_removal(const fs::path& folder)
{
    std::error_code error;
    fs::permissions(folder, fs::perms::owner_all, fs::perm_options::add, error);
    for (auto entry = fs::recursive_directory_iterator(
             folder, fs::directory_options::skip_permission_denied, error);
         !error && entry != fs::recursive_directory_iterator(); entry.increment(error)) {
        if (entry->is_directory(error) && !entry->is_symlink(error)) {
            fs::permissions(entry->path(), fs::perms::owner_all, fs::perm_options::add, error);
        }
    }
}

} // namespace

WorkFolder::WorkFolder(bool sandboxed)
{
    const fs::path temporary = fs::temp_directory_path();
    remove_left_work_folders(temporary);
    std::string pattern = (temporary / (std::string(prefix) + "XXXXXX")).string();
    if (mkdtemp(pattern.data()) == nullptr) { // made with mode 0700
        throw WorkFolderRefused("cannot make a folder for the builds in " + temporary.string() +
                                ": set TMPDIR to a writable folder");
    }
    path_ = pattern;
    remove_when_interrupted(path_);
    // Locked before it has its name, so that no other check finds it unlocked.
    const fs::path unnamed = path_ / ".lock-being-made";
    lock_ = open(unnamed.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (lock_ < 0 || flock(lock_, LOCK_EX | LOCK_NB) != 0 ||
        rename(unnamed.c_str(), (path_ / lock_name).c_str()) != 0) {
        throw WorkFolderRefused("cannot lock " + path_.string() + ": set TMPDIR to a local folder");
    }
    if (sandboxed && geteuid() == 0) {
        // The runs are users of the check's own, each in a folder of its own in this one: they
        // may pass through it, and see neither what it holds nor each other's.
        if (chmod(path_.c_str(), 0711) != 0) {
            throw WorkFolderRefused("cannot open " + path_.string() + " to the sandbox's users");
        }
        for (fs::path folder = path_.parent_path(); !folder.empty();
             folder = folder.parent_path()) {
            struct stat status {};
            if (stat(folder.c_str(), &status) == 0 && (status.st_mode & S_IXOTH) == 0) {
                throw WorkFolderRefused("the sandbox's users cannot enter " + folder.string() +
                                        ", where the builds go: set TMPDIR to a folder anyone "
                                        "may enter, such as /tmp");
            }
            if (folder == folder.root_path()) {
                break;
            }
        }
    }
}

WorkFolder::~WorkFolder()
{
    keep_when_interrupted(path_);
    make_run_folders_in({});
    std::error_code error;
    if (fs::remove_all(path_, error) == static_cast<std::uintmax_t>(-1)) {
        open_for_removal(path_);
        fs::remove_all(path_, error);
    }
    if (lock_ >= 0) {
        close(lock_);
    }
}

int remove_left_work_folders(const fs::path& folder)
{
    int removed = 0;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(folder, error)) {
        const std::string name = entry.path().filename().string();
        struct stat status {};
        if (name.rfind(prefix, 0) != 0 || lstat(entry.path().c_str(), &status) != 0 ||
            !S_ISDIR(status.st_mode) || status.st_uid != geteuid()) {
            continue;
        }
        const int lock =
            open((entry.path() / lock_name).c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
        if (lock < 0) {
            continue; // not a check's, or one that has not locked it yet
        }
        struct stat lock_status {};
        const bool ended = fstat(lock, &lock_status) == 0 && S_ISREG(lock_status.st_mode) &&
                           lock_status.st_uid == geteuid() && flock(lock, LOCK_EX | LOCK_NB) == 0;
        if (ended) {
            open_for_removal(entry.path());
            std::error_code ignored;
            fs::remove_all(entry.path(), ignored);
            ++removed;
        }
        close(lock);
    }
    return removed;
}

} // namespace check
