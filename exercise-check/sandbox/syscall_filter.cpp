#include "syscall_filter.h"

#include <seccomp.h>

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <linux/filter.h>
#include <linux/ioprio.h>
#include <linux/sched.h>
#include <linux/seccomp.h>
#include <memory>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/personality.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace check::syscall_filter {

namespace {

using Context = std::unique_ptr<void, decltype(&seccomp_release)>;

// One comparison of an argument. (libseccomp's own macros are C99 compound literals.)
scmp_arg_cmp argument_is(unsigned argument, scmp_datum_t value)
{
    return scmp_arg_cmp{argument, SCMP_CMP_EQ, value, 0};
}

scmp_arg_cmp argument_is_not(unsigned argument, scmp_datum_t value)
{
    return scmp_arg_cmp{argument, SCMP_CMP_NE, value, 0};
}

// The argument has all these bits set.
scmp_arg_cmp has_bits(unsigned argument, scmp_datum_t bits)
{
    return scmp_arg_cmp{argument, SCMP_CMP_MASKED_EQ, bits, bits};
}

// The argument has none of these bits set.
scmp_arg_cmp lacks_bits(unsigned argument, scmp_datum_t bits)
{
    return scmp_arg_cmp{argument, SCMP_CMP_MASKED_EQ, bits, 0};
}

// A process id below 0: a process group, or with -1 every process the caller may signal.
constexpr scmp_datum_t negative = 0x80000000U;

// The namespaces a clone may make.
constexpr scmp_datum_t new_namespaces = CLONE_NEWNS | CLONE_NEWCGROUP | CLONE_NEWUTS |
                                        CLONE_NEWIPC | CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNET |
                                        CLONE_NEWTIME;

// The personality stays the plain one (PER_LINUX): no other system's, no address layout without
// randomisation, no executable data, no page at address zero.
constexpr scmp_datum_t foreign_personality = PER_MASK | UNAME26 | ADDR_NO_RANDOMIZE |
                                             FDPIC_FUNCPTRS | MMAP_PAGE_ZERO | ADDR_COMPAT_LAYOUT |
                                             READ_IMPLIES_EXEC | ADDR_LIMIT_32BIT | ADDR_LIMIT_3GB;

// Each bit of the mask alone.
std::vector<scmp_datum_t> bits_of(scmp_datum_t mask)
{
    std::vector<scmp_datum_t> bits;
    for (scmp_datum_t bit = 1; bit != 0 && bit <= mask; bit <<= 1U) {
        if ((mask & bit) != 0) {
            bits.push_back(bit);
        }
    }
    return bits;
}

// A filter under construction, for every table of system calls this machine's programs may use:
// on x86-64 also the 32-bit (i386) and x32 ones, each rule added to each by the call's name.
class Builder {
  public:
    explicit Builder(std::uint32_t otherwise) : context_(seccomp_init(otherwise), &seccomp_release)
    {
        if (!context_) {
            throw std::runtime_error("libseccomp cannot make a filter");
        }
        if (seccomp_arch_native() == SCMP_ARCH_X86_64) {
            for (const std::uint32_t arch :
                 {std::uint32_t{SCMP_ARCH_X86}, std::uint32_t{SCMP_ARCH_X32}}) {
                const int added = seccomp_arch_add(context_.get(), arch);
                if (added != 0 && added != -EEXIST) {
                    throw std::runtime_error("libseccomp cannot filter every table of calls");
                }
            }
        }
    }

    // The call by name, with all the comparisons true; a call this libseccomp does not know is
    // left out (it is older than the call).
    void add(std::uint32_t action, const std::string& name,
             const std::vector<scmp_arg_cmp>& when = {})
    {
        const int number = seccomp_syscall_resolve_name(name.c_str());
        if (number == __NR_SCMP_ERROR) {
            return;
        }
        if (seccomp_rule_add_array(context_.get(), action, number,
                                   static_cast<unsigned>(when.size()), when.data()) != 0) {
            throw std::runtime_error("libseccomp refused a rule for system call " + name);
        }
    }

    void refuse(const std::string& name, const std::vector<scmp_arg_cmp>& when = {},
                int error = EPERM)
    {
        add(static_cast<std::uint32_t>(SCMP_ACT_ERRNO(static_cast<unsigned>(error))), name, when);
    }

    void allow(const std::string& name, const std::vector<scmp_arg_cmp>& when = {})
    {
        add(SCMP_ACT_ALLOW, name, when);
    }

    std::vector<sock_filter> exported() const;

  private:
    Context context_;
};

// libseccomp writes the program to a descriptor: one in memory, read back.
std::vector<sock_filter> Builder::exported() const
{
    const int memory = static_cast<int>(syscall(SYS_memfd_create, "seccomp", MFD_CLOEXEC));
    if (memory < 0) {
        throw std::runtime_error("cannot make room for the seccomp filter");
    }
    std::vector<sock_filter> instructions;
    if (seccomp_export_bpf(context_.get(), memory) == 0) {
        const off_t size = lseek(memory, 0, SEEK_END);
        if (size > 0 && size % static_cast<off_t>(sizeof(sock_filter)) == 0) {
            instructions.resize(static_cast<std::size_t>(size) / sizeof(sock_filter));
            if (pread(memory, instructions.data(), static_cast<std::size_t>(size), 0) != size) {
                instructions.clear();
            }
        }
    }
    close(memory);
    if (instructions.empty()) {
        throw std::runtime_error("libseccomp cannot export the filter");
    }
    return instructions;
}

// The calls that act on the process they name, beyond signals: each only on the caller itself
// (0). Limits, priorities and scheduling of another process would reach the checker's and other
// people's; so would their memory's placement.
const std::vector<std::string>& on_a_named_process()
{
    static const std::vector<std::string> names{
        "prlimit64",     "sched_setaffinity", "sched_setscheduler", "sched_setparam",
        "sched_setattr", "migrate_pages",     "move_pages",         "get_robust_list"};
    return names;
}

// What tools() refuses of the calls that reach other processes: the calls above on any process
// but the caller; priorities of others (the second argument names a process, group or user, 0
// the caller's own, but for a user that is every process of the user); signals to a group or to
// every process; and a file's signals (F_SETOWN) sent to any process. A signal to one other
// process is Landlock's to refuse, where the kernel scopes signals.
void refuse_reaching_others(Builder& filter)
{
    for (const std::string& name : on_a_named_process()) {
        filter.refuse(name, {argument_is_not(0, 0)});
    }
    filter.refuse("setpriority", {argument_is_not(1, 0)});
    filter.refuse("setpriority", {argument_is(0, PRIO_USER)});
    filter.refuse("ioprio_set", {argument_is_not(1, 0)});
    filter.refuse("ioprio_set", {argument_is(0, IOPRIO_WHO_USER)});
    for (const char* name : {"kill", "rt_sigqueueinfo"}) {
        filter.refuse(name, {has_bits(0, negative)});
    }
    for (const char* name : {"fcntl", "fcntl64"}) {
        for (const scmp_datum_t command : {scmp_datum_t{F_SETOWN}, scmp_datum_t{F_SETOWN_EX}}) {
            filter.refuse(name, {argument_is(1, command)});
        }
    }
}

std::vector<sock_filter> make_tracing()
{
    Builder filter(SCMP_ACT_ALLOW);
    for (const char* name : {"ptrace", "process_vm_readv", "process_vm_writev"}) {
        filter.refuse(name);
    }
    return filter.exported();
}

std::vector<sock_filter> make_tools()
{
    Builder filter(SCMP_ACT_ALLOW);
    for (const std::string& name : refused()) {
        filter.refuse(name);
    }
    // clone3 hides its flags in memory a filter cannot read: the C library then uses clone.
    filter.refuse("clone3", {}, ENOSYS);
    for (const scmp_datum_t flag : bits_of(new_namespaces)) {
        filter.refuse("clone", {has_bits(0, flag)});
    }
    for (const scmp_datum_t flag : bits_of(foreign_personality)) {
        filter.refuse("personality", {has_bits(0, flag)});
    }
    refuse_reaching_others(filter);
    return filter.exported();
}

// Newer calls that programs() refuses as the kernel would that does not have them: the C library
// then does the same with older ones.
const std::vector<std::string>& unknown_to_programs()
{
    static const std::vector<std::string> names{
        "clone3",    "faccessat2",       "openat2", "close_range", "epoll_pwait2", "futex_waitv",
        "cachestat", "map_shadow_stack", "mseal",   "fchmodat2",   "statmount",    "listmount"};
    return names;
}

std::vector<sock_filter> make_programs()
{
    Builder filter(SCMP_ACT_ERRNO(EPERM));
    for (const std::string& name : allowed()) {
        filter.allow(name);
    }
    for (const std::string& name : unknown_to_programs()) {
        filter.refuse(name, {}, ENOSYS);
    }
    // Threads and processes of its own, in no namespace of their own.
    filter.allow("clone", {lacks_bits(0, new_namespaces)});
    filter.allow("personality", {lacks_bits(0, foreign_personality)});
    for (const std::string& name : on_a_named_process()) {
        filter.allow(name, {argument_is(0, 0)});
    }
    for (const char* name : {"kill", "tgkill", "tkill"}) {
        filter.allow(name, {lacks_bits(0, negative)});
    }
    // Only the caller's own, not its group's or its user's.
    filter.allow("setpriority", {argument_is(0, PRIO_PROCESS), argument_is(1, 0)});
    for (const char* name : {"fcntl", "fcntl64"}) {
        for (const int command : {F_GETFD, F_SETFD, F_GETFL, F_SETFL, F_DUPFD, F_DUPFD_CLOEXEC}) {
            filter.allow(name, {argument_is(1, static_cast<scmp_datum_t>(command))});
        }
    }
    // The C library names memory areas it maps; nothing else of prctl.
    filter.allow("prctl", {argument_is(0, PR_SET_VMA)});
    return filter.exported();
}

struct Program {
    explicit Program(std::vector<sock_filter> made)
        : instructions(std::move(made)), filter{static_cast<unsigned short>(instructions.size()),
                                                instructions.data()}
    {
        if (instructions.size() > BPF_MAXINSNS) {
            throw std::runtime_error("the seccomp filter is too long for the kernel");
        }
    }
    std::vector<sock_filter> instructions;
    sock_fprog filter;
};

} // namespace

const std::vector<std::string>& refused()
{
    static const std::vector<std::string> names{
        // Reading or changing other processes.
        "ptrace", "process_vm_readv", "process_vm_writev", "kcmp", "pidfd_open", "pidfd_getfd",
        "pidfd_send_signal", "process_madvise", "process_mrelease",
        // Namespaces, mounts and the root.
        "unshare", "setns", "mount", "umount2", "pivot_root", "chroot", "fsopen", "fsmount",
        "fsconfig", "move_mount", "open_tree", "mount_setattr",
        // The network and local sockets: these programs need none.
        "socket", "socketpair",
        // The kernel itself: modules, keys, BPF, tracing, the clock, swapping, rebooting.
        "bpf", "perf_event_open", "keyctl", "add_key", "request_key", "kexec_load",
        "kexec_file_load", "init_module", "finit_module", "delete_module", "userfaultfd",
        "io_uring_setup", "io_uring_enter", "io_uring_register", "open_by_handle_at",
        "name_to_handle_at", "swapon", "swapoff", "reboot", "syslog", "acct", "settimeofday",
        "clock_settime", "clock_adjtime", "adjtimex", "quotactl", "fanotify_init", "iopl", "ioperm",
        "lookup_dcookie", "vhangup", "uselib"};
    return names;
}

const std::vector<std::string>& allowed()
{
    // What console programs call, under either standard library, static or not: strace -f -c
    // over this project's programs and its faulty ones, with every case's input, standard
    // output a pipe, /dev/full or closed. Beside them what the C library calls on the way out
    // (abort, a signal's handler, exit), for a time, and for the threads of std::thread;
    // programs() allows more with certain arguments.
    static const std::vector<std::string> names{
        // Starting: the loader maps the program and its libraries.
        "execve", "brk", "mmap", "munmap", "mprotect", "mremap", "madvise", "arch_prctl",
        "set_tid_address", "set_robust_list", "rseq", "getrandom", "uname", "readlink",
        // Files it may open (Landlock says which), reads and writes, and what it may do in
        // its own folder beside them.
        "openat", "close", "read", "write", "readv", "writev", "pread64", "pwrite64", "lseek",
        "fstat", "newfstatat", "statx", "access", "faccessat", "ioctl", "getcwd", "getdents64",
        "dup", "dup2", "dup3", "pipe", "pipe2", "poll", "ppoll", "select", "pselect6", "ftruncate",
        "fsync", "mkdir", "mkdirat", "unlink", "unlinkat", "rename", "renameat", "renameat2",
        // Time, ids, threads, and what system() needs to wait for its shell.
        "clock_gettime", "clock_getres", "clock_nanosleep", "nanosleep", "gettimeofday", "time",
        "getpid", "getppid", "gettid", "getuid", "geteuid", "getgid", "getegid", "futex",
        "sched_yield", "sched_getaffinity", "wait4", "waitid",
        // Signals of its own, and the way out.
        "rt_sigaction", "rt_sigprocmask", "rt_sigreturn", "sigaltstack", "restart_syscall", "pause",
        "exit", "exit_group"};
    return names;
}

const sock_fprog& tracing()
{
    static const Program made(make_tracing());
    return made.filter;
}

const sock_fprog& tools()
{
    static const Program made(make_tools());
    return made.filter;
}

const sock_fprog& programs()
{
    static const Program made(make_programs());
    return made.filter;
}

bool apply(const sock_fprog& filter)
{
    return prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) == 0 &&
           syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &filter) == 0;
}

} // namespace check::syscall_filter
