#include "run_users.h"

#include "process.h"

#include <atomic>
#include <fcntl.h>
#include <fstream>
#include <sstream>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace check {

namespace fs = std::filesystem;

namespace {

// A system file of accounts, read whole: it is the system's, and small.
std::string system_file(const char* path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str().substr(0, 16 * 1024 * 1024);
}

// The number in field (from 0) of a line split at colons, if it holds one.
std::optional<std::uint64_t> number_in(const std::string& line, std::size_t field)
{
    std::size_t start = 0;
    for (std::size_t at = 0; at < field; ++at) {
        start = line.find(':', start);
        if (start == std::string::npos) {
            return std::nullopt;
        }
        ++start;
    }
    const std::size_t end = std::min(line.find(':', start), line.size());
    const std::string digits = line.substr(start, end - start);
    if (digits.empty() || digits.size() > 12 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    return std::stoull(digits);
}

// Whether any line of the text names an id of the block in one of the fields, or (with a count
// field) a range that meets it.
bool names_the_block(const std::string& text, const UserBlock& block,
                     std::initializer_list<std::size_t> fields, std::size_t count_field = 0)
{
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        for (const std::size_t field : fields) {
            const auto id = number_in(line, field);
            if (!id) {
                continue;
            }
            const std::uint64_t count =
                count_field > 0 ? number_in(line, count_field).value_or(1) : 1;
            if (*id<std::uint64_t{block.first} + block.size&& * id + count> block.first) {
                return true;
            }
        }
    }
    return false;
}

std::vector<uid_t> users_of_processes()
{
    std::vector<uid_t> users;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator("/proc", error)) {
        const std::string name = entry.path().filename().string();
        struct stat status {};
        if (!name.empty() && name.find_first_not_of("0123456789") == std::string::npos &&
            stat(entry.path().c_str(), &status) == 0) {
            users.push_back(status.st_uid);
        }
    }
    return users;
}

// A folder of root's alone for the blocks' locks: made where it is missing, refused where anyone
// else could have made or changed it.
std::optional<fs::path> lock_folder()
{
    for (const fs::path& folder :
         {fs::path("/run/exercise-check"), fs::temp_directory_path() / "exercise-check-users"}) {
        (void)mkdir(folder.c_str(), 0700);
        struct stat status {};
        if (lstat(folder.c_str(), &status) == 0 && S_ISDIR(status.st_mode) && status.st_uid == 0 &&
            (status.st_mode & 077) == 0) {
            return folder;
        }
    }
    return std::nullopt;
}

std::optional<UserBlock> claim_block()
{
    if (geteuid() != 0) {
        return std::nullopt;
    }
    const std::optional<fs::path> folder = lock_folder();
    if (!folder) {
        return std::nullopt;
    }
    const std::string passwd = system_file("/etc/passwd");
    const std::string group = system_file("/etc/group");
    const std::string subuid = system_file("/etc/subuid");
    const std::string subgid = system_file("/etc/subgid");
    for (int index = 0; index < block_count; ++index) {
        const UserBlock block{first_block_id + static_cast<uid_t>(index) * block_size, block_size};
        const fs::path lock = *folder / ("block-" + std::to_string(index));
        const int fd = open(lock.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
        if (fd < 0) {
            continue;
        }
        // The lock first: a process of the block is then one a killed check left behind.
        if (flock(fd, LOCK_EX | LOCK_NB) == 0 &&
            block_is_free(block, passwd, group, subuid, subgid, users_of_processes())) {
            return block; // the lock is held until the checker ends
        }
        close(fd);
    }
    return std::nullopt;
}

} // namespace

bool block_is_free(const UserBlock& block, const std::string& passwd, const std::string& group,
                   const std::string& subuid, const std::string& subgid,
                   const std::vector<uid_t>& process_users)
{
    for (const uid_t user : process_users) {
        if (block.contains(user)) {
            return false;
        }
    }
    return !names_the_block(passwd, block, {2, 3}) && !names_the_block(group, block, {2}) &&
           !names_the_block(subuid, block, {1}, 2) && !names_the_block(subgid, block, {1}, 2);
}

std::optional<UserBlock> check_users()
{
    static const std::optional<UserBlock> block = claim_block();
    return block;
}

uid_t new_run_user()
{
    static std::atomic<std::uint32_t> count{0};
    const std::optional<UserBlock> block = check_users();
    if (!block) {
        return unprivileged_id;
    }
    // The block's first id is for runs in no folder of their own.
    return block->first + 1 + count++ % (block->size - 1);
}

uid_t run_user_of(const Sandbox& sandbox)
{
    const std::optional<UserBlock> block = check_users();
    if (!block) {
        return unprivileged_id;
    }
    std::vector<fs::path> folders;
    if (!sandbox.writable.empty()) {
        folders.push_back(sandbox.writable);
    }
    for (const fs::path& shown : sandbox.read_only) {
        std::error_code error;
        folders.push_back(fs::is_directory(shown, error) ? shown : shown.parent_path());
    }
    for (const fs::path& folder : folders) {
        struct stat status {};
        if (stat(folder.c_str(), &status) == 0 && block->contains(status.st_uid)) {
            return status.st_uid;
        }
    }
    return block->first;
}

} // namespace check
