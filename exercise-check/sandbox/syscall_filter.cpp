#include "syscall_filter.h"

#include <seccomp.h>

#include <cerrno>
#include <cstring>
#include <linux/filter.h>
#include <linux/sched.h>
#include <linux/seccomp.h>
#include <memory>
#include <stdexcept>
#include <sys/mman.h>
#include <sys/syscall.h>
#include <unistd.h>

namespace check::syscall_filter {

namespace {

using Context = std::unique_ptr<void, decltype(&seccomp_release)>;

void rule(scmp_filter_ctx context, int number, int error, unsigned count = 0,
          const scmp_arg_cmp* compare = nullptr)
{
    if (seccomp_rule_add_array(context, static_cast<std::uint32_t>(SCMP_ACT_ERRNO(error)), number,
                               count, compare) != 0) {
        throw std::runtime_error("libseccomp refused a rule for system call " +
                                 std::to_string(number));
    }
}

// The first argument has all these bits set. (libseccomp's own macro is a C99 compound literal.)
scmp_arg_cmp has_bits(scmp_datum_t bits)
{
    return scmp_arg_cmp{0, SCMP_CMP_MASKED_EQ, bits, bits};
}

// Builds the filter and turns it into the kernel's form.
std::vector<sock_filter> make()
{
    Context context(seccomp_init(SCMP_ACT_ALLOW), &seccomp_release);
    if (!context) {
        throw std::runtime_error("libseccomp cannot make a filter");
    }
    scmp_filter_ctx filter = context.get();
    // 32-bit programs make their calls through the 32-bit table: it is filtered too, and any
    // other table ends the process.
    if (seccomp_arch_native() == SCMP_ARCH_X86_64) {
        seccomp_arch_add(filter, SCMP_ARCH_X86);
    }
    for (const std::string& name : refused()) {
        const int number = seccomp_syscall_resolve_name(name.c_str());
        if (number != __NR_SCMP_ERROR) {
            rule(filter, number, EPERM);
        }
    }
    // clone3 hides its flags in memory a filter cannot read: the C library then uses clone.
    rule(filter, SCMP_SYS(clone3), ENOSYS);
    constexpr scmp_datum_t new_time = 0x80; // CLONE_NEWTIME, newer than some headers
    for (const scmp_datum_t flag :
         {scmp_datum_t{CLONE_NEWNS}, scmp_datum_t{CLONE_NEWCGROUP}, scmp_datum_t{CLONE_NEWUTS},
          scmp_datum_t{CLONE_NEWIPC}, scmp_datum_t{CLONE_NEWUSER}, scmp_datum_t{CLONE_NEWPID},
          scmp_datum_t{CLONE_NEWNET}, new_time}) {
        const scmp_arg_cmp has_flag = has_bits(flag);
        rule(filter, SCMP_SYS(clone), EPERM, 1, &has_flag);
    }
    // The personality stays the plain one: no other system's (a bit of the low byte), no address
    // layout without randomisation, no executable data, no page at address zero.
    for (scmp_datum_t flag = 1; flag <= 0x80; flag <<= 1) {
        const scmp_arg_cmp has_flag = has_bits(flag);
        rule(filter, SCMP_SYS(personality), EPERM, 1, &has_flag);
    }
    for (const scmp_datum_t flag :
         {scmp_datum_t{0x0020000}, scmp_datum_t{0x0040000}, scmp_datum_t{0x0080000},
          scmp_datum_t{0x0100000}, scmp_datum_t{0x0200000}, scmp_datum_t{0x0400000},
          scmp_datum_t{0x0800000}, scmp_datum_t{0x8000000}}) {
        const scmp_arg_cmp has_flag = has_bits(flag);
        rule(filter, SCMP_SYS(personality), EPERM, 1, &has_flag);
    }
    // A signal to a process group (pid below 0, -1 being every process it may signal) could
    // reach the checker's: only single processes, and its own group (0).
    const scmp_arg_cmp to_a_group = has_bits(0x80000000U);
    for (const int number : {SCMP_SYS(kill), SCMP_SYS(rt_sigqueueinfo)}) {
        rule(filter, number, EPERM, 1, &to_a_group);
    }

    const int memory = static_cast<int>(syscall(SYS_memfd_create, "seccomp", 0));
    if (memory < 0) {
        throw std::runtime_error("cannot make room for the seccomp filter");
    }
    std::vector<sock_filter> instructions;
    if (seccomp_export_bpf(filter, memory) == 0) {
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

} // namespace

const std::vector<std::string>& refused()
{
    static const std::vector<std::string> names{
        // Reading or changing other processes.
        "ptrace", "process_vm_readv", "process_vm_writev", "kcmp", "pidfd_getfd",
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

const sock_fprog& program()
{
    static const std::vector<sock_filter> instructions = make();
    static const sock_fprog filter{static_cast<unsigned short>(instructions.size()),
                                   const_cast<sock_filter*>(instructions.data())};
    return filter;
}

bool apply(const sock_fprog& filter)
{
    return syscall(SYS_seccomp, SECCOMP_SET_MODE_FILTER, 0, &filter) == 0;
}

} // namespace check::syscall_filter
