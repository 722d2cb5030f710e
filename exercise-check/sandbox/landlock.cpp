#include "landlock.h"

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fcntl.h>
#include <stdexcept>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace check::landlock {

namespace fs = std::filesystem;

namespace {

// The kernel's interface, spelled out here: the system's headers may be older than the kernel.
#ifndef SYS_landlock_create_ruleset
constexpr long SYS_landlock_create_ruleset = 444;
constexpr long SYS_landlock_add_rule = 445;
constexpr long SYS_landlock_restrict_self = 446;
#endif

struct RulesetAttributes {
    std::uint64_t handled_access_fs = 0;
    std::uint64_t handled_access_net = 0; // ABI 4
    std::uint64_t scoped = 0;             // ABI 6
};

struct [[gnu::packed]] PathBeneath {
    std::uint64_t allowed_access = 0;
    std::int32_t parent_fd = -1;
};

constexpr std::uint32_t create_ruleset_version = 1U << 0;
constexpr int rule_path_beneath = 1;

constexpr std::uint64_t execute = 1ULL << 0;
constexpr std::uint64_t write_file = 1ULL << 1;
constexpr std::uint64_t read_file = 1ULL << 2;
constexpr std::uint64_t read_dir = 1ULL << 3;
constexpr std::uint64_t remove_dir = 1ULL << 4;
constexpr std::uint64_t remove_file = 1ULL << 5;
constexpr std::uint64_t make_char = 1ULL << 6;
constexpr std::uint64_t make_dir = 1ULL << 7;
constexpr std::uint64_t make_reg = 1ULL << 8;
constexpr std::uint64_t make_sock = 1ULL << 9;
constexpr std::uint64_t make_fifo = 1ULL << 10;
constexpr std::uint64_t make_block = 1ULL << 11;
constexpr std::uint64_t make_sym = 1ULL << 12;
constexpr std::uint64_t refer = 1ULL << 13;     // ABI 2
constexpr std::uint64_t truncate = 1ULL << 14;  // ABI 3
constexpr std::uint64_t ioctl_dev = 1ULL << 15; // ABI 5

constexpr std::uint64_t bind_tcp = 1ULL << 0;    // ABI 4
constexpr std::uint64_t connect_tcp = 1ULL << 1; // ABI 4

constexpr std::uint64_t scope_abstract_unix_socket = 1ULL << 0; // ABI 6
constexpr std::uint64_t scope_signal = 1ULL << 1;               // ABI 6

// Every right over files this kernel knows, so that none is left unhandled (and so allowed).
std::uint64_t handled_fs(int version)
{
    std::uint64_t rights = execute | write_file | read_file | read_dir | remove_dir | remove_file |
                           make_char | make_dir | make_reg | make_sock | make_fifo | make_block |
                           make_sym;
    if (version >= 2) {
        rights |= refer;
    }
    if (version >= 3) {
        rights |= truncate;
    }
    if (version >= 5) {
        rights |= ioctl_dev;
    }
    return rights;
}

// The rights that apply to a file rather than a folder.
constexpr std::uint64_t file_rights = execute | write_file | read_file | truncate | ioctl_dev;

void add_rule(int ruleset, const fs::path& path, std::uint64_t rights)
{
    const int fd = open(path.c_str(), O_PATH | O_CLOEXEC);
    if (fd < 0) {
        return; // not on this system: nothing to reach
    }
    struct stat status {};
    if (fstat(fd, &status) == 0 && !S_ISDIR(status.st_mode)) {
        rights &= file_rights;
    }
    PathBeneath beneath;
    beneath.allowed_access = rights;
    beneath.parent_fd = fd;
    const long added = syscall(SYS_landlock_add_rule, ruleset, rule_path_beneath, &beneath, 0);
    const int error = errno;
    close(fd);
    if (added != 0) {
        throw std::runtime_error("Landlock refused a rule for " + path.string() + ": " +
                                 std::strerror(error));
    }
}

} // namespace

int abi()
{
    const long version = syscall(SYS_landlock_create_ruleset, nullptr, 0, create_ruleset_version);
    return version > 0 ? static_cast<int>(version) : 0;
}

std::vector<fs::path> system_folders()
{
    return {"/usr/bin",
            "/usr/sbin",
            "/usr/lib",
            "/usr/lib32",
            "/usr/lib64",
            "/usr/libx32",
            "/usr/libexec",
            "/usr/include",
            "/usr/local/bin",
            "/usr/local/lib",
            "/usr/local/include",
            "/bin",
            "/sbin",
            "/lib",
            "/lib32",
            "/lib64",
            "/libx32",
            "/etc/ld.so.cache",
            "/etc/ld.so.conf",
            "/etc/ld.so.conf.d",
            "/etc/alternatives"};
}

Ruleset::Ruleset(const Reach& reach)
{
    const int version = abi();
    if (version == 0) {
        throw std::runtime_error("the kernel offers no Landlock");
    }
    const std::uint64_t fs_rights = handled_fs(version);
    RulesetAttributes attributes;
    attributes.handled_access_fs = fs_rights;
    if (version >= 4) {
        attributes.handled_access_net = bind_tcp | connect_tcp; // no rule allows any port
    }
    if (version >= 6) {
        attributes.scoped = scope_abstract_unix_socket | scope_signal;
    }
    const long fd = syscall(SYS_landlock_create_ruleset, &attributes, sizeof attributes, 0);
    if (fd < 0) {
        throw std::runtime_error(std::string("Landlock refused a ruleset: ") +
                                 std::strerror(errno));
    }
    fd_ = static_cast<int>(fd);
    try {
        for (const fs::path& path : reach.read) {
            add_rule(fd_, path, execute | read_file | read_dir);
        }
        for (const fs::path& path : reach.devices) {
            add_rule(fd_, path, read_file | write_file | (version >= 3 ? truncate : 0));
        }
        for (const fs::path& path : reach.write) {
            add_rule(fd_, path, fs_rights);
        }
    } catch (...) {
        close(fd_);
        fd_ = -1;
        throw;
    }
}

Ruleset::~Ruleset()
{
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool restrict_self(int ruleset_fd)
{
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           syscall(SYS_landlock_restrict_self, ruleset_fd, 0) == 0;
}

std::optional<std::string> problem()
{
    const int version = abi();
    if (version == 0) {
        return std::string("the kernel offers no Landlock (Linux 5.13 or later with "
                           "CONFIG_SECURITY_LANDLOCK, and landlock in the lsm= boot list)");
    }
    return std::nullopt;
}

} // namespace check::landlock
