#include "syscall_filter.h"

#include <seccomp.h>

#include <doctest/doctest.h>

#include <array>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <linux/filter.h>
#include <sched.h>
#include <string>
#include <sys/personality.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

using namespace check;

namespace {

// The tables of system calls a process may use: on x86-64, its own, the 32-bit one (int $0x80)
// and x32's (the numbers with bit 30 set, which the kernel here may not even offer).
enum class Table {
    native,
    i386,
    x32
};

#if defined(__x86_64__)
constexpr std::array<Table, 3> tables{Table::native, Table::i386, Table::x32};
#else
constexpr std::array<Table, 1> tables{Table::native};
#endif

const char* name_of(Table table)
{
    return table == Table::native ? "native" : table == Table::i386 ? "i386" : "x32";
}

// The call made through the table: 0 or the error it gave. The arguments are numbers, never
// pointers (a 32-bit call cannot carry the test's).
int call(Table table, const std::string& name, const std::array<long, 4>& args)
{
    const std::uint32_t arch = table == Table::native ? seccomp_arch_native()
                               : table == Table::i386 ? SCMP_ARCH_X86
                                                      : SCMP_ARCH_X32;
    const long number = seccomp_syscall_resolve_name_arch(arch, name.c_str());
    REQUIRE(number >= 0);
#if defined(__x86_64__)
    if (table == Table::i386) {
        long result = number;
        asm volatile("int $0x80"
                     : "+a"(result)
                     : "b"(args[0]), "c"(args[1]), "d"(args[2]), "S"(args[3])
                     : "memory", "r8", "r9", "r10", "r11");
        return result < 0 && result > -4096 ? static_cast<int>(-result) : 0;
    }
#endif
    return syscall(number, args[0], args[1], args[2], args[3]) < 0 ? errno : 0;
}

// What the call gives in a process of its own under the filter: 0 or its error; -1 where the
// filter could not be applied, 1000 and the signal where the process was ended.
int under(const sock_fprog& filter, Table table, const std::string& name,
          const std::array<long, 4>& args)
{
    const pid_t pid = fork();
    if (pid == 0) {
        if (!syscall_filter::apply(filter)) {
            _exit(255);
        }
        _exit(call(table, name, args));
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (WIFSIGNALED(status)) {
        return 1000 + WTERMSIG(status);
    }
    return WEXITSTATUS(status) == 255 ? -1 : WEXITSTATUS(status);
}

// How a filter takes a call: refused with EPERM or ENOSYS, or passed on to the kernel; or not
// tried, where the call would change more than the test's own process if it passed.
constexpr int passed = 0;
constexpr int not_tried = -1;

struct Case {
    const char* what;
    const char* name;
    std::array<long, 4> args;
    // Under tracing(), tools() and programs(): EPERM or ENOSYS where refused, else passed.
    std::array<int, 3> taken;
};

// Calls whose arguments make them fail or change nothing where they pass, so that passed is
// told from refused by the error alone.
std::vector<Case> cases()
{
    const long parent = getpid(); // the forked process's parent
    const long pgid = getpgrp();
    return {
        {"trace another process", "ptrace", {PTRACE_ATTACH, -5, 0, 0}, {EPERM, EPERM, EPERM}},
        {"read another's memory", "process_vm_readv", {parent, 0, 0, 0}, {EPERM, EPERM, EPERM}},
        {"make a namespace", "unshare", {-1, 0, 0, 0}, {passed, EPERM, EPERM}},
        {"clone into a new user namespace",
         "clone",
         {CLONE_NEWUSER | CLONE_FS, 0, 0, 0},
         {passed, EPERM, EPERM}},
        {"clone3, whose flags no filter can read",
         "clone3",
         {0, 0, 0, 0},
         {passed, ENOSYS, ENOSYS}},
        {"turn address randomisation off",
         "personality",
         {ADDR_NO_RANDOMIZE, 0, 0, 0},
         {passed, EPERM, EPERM}},
        {"read the checker's file size limit",
         "prlimit64",
         {parent, RLIMIT_FSIZE, 0, 0},
         {passed, EPERM, EPERM}},
        {"read its own file size limit",
         "prlimit64",
         {0, RLIMIT_FSIZE, 0, 0},
         {passed, passed, passed}},
        {"move the checker to other processors",
         "sched_setaffinity",
         {parent, 0, 0, 0},
         {passed, EPERM, EPERM}},
        {"renice every process of its user",
         "setpriority",
         {PRIO_USER, 0, 0, 0},
         {not_tried, EPERM, EPERM}},
        {"renice the checker",
         "setpriority",
         {PRIO_PROCESS, parent, 0, 0},
         {not_tried, EPERM, EPERM}},
        {"signal every process it may", "kill", {-1, 0, 0, 0}, {passed, EPERM, EPERM}},
        {"signal the checker's group", "kill", {-pgid, 0, 0, 0}, {passed, EPERM, EPERM}},
        {"signal its own group", "kill", {0, 0, 0, 0}, {passed, passed, passed}},
        {"open a pidfd", "pidfd_open", {parent, 0, 0, 0}, {passed, EPERM, EPERM}},
        {"direct a file's signals to another",
         "fcntl",
         {-1, F_SETOWN, parent, 0},
         {passed, EPERM, EPERM}},
        {"make a socket", "socket", {-1, 0, 0, 0}, {passed, EPERM, EPERM}},
        {"make a socket the 32-bit way", "socketcall", {1, 0, 0, 0}, {passed, EPERM, EPERM}},
        {"change a file's mode", "chmod", {0, 0, 0, 0}, {passed, passed, EPERM}},
        {"change a file's owner", "fchown", {-1, 0, 0, 0}, {passed, passed, EPERM}},
        {"set a file's times", "utimensat", {-1, 0, 0, 0}, {passed, passed, EPERM}},
        {"set an extended attribute", "fsetxattr", {-1, 0, 0, 0}, {passed, passed, EPERM}},
        {"ask its own id", "getpid", {0, 0, 0, 0}, {passed, passed, passed}},
        {"read a file it holds", "read", {-1, 0, 0, 0}, {passed, passed, passed}},
    };
}

} // namespace

TEST_CASE("each filter takes a call the same way through every table of system calls")
{
    struct Filter {
        const char* name;
        const sock_fprog& program;
    };
    const std::array<Filter, 3> filters{{{"tracing", syscall_filter::tracing()},
                                         {"tools", syscall_filter::tools()},
                                         {"programs", syscall_filter::programs()}}};
    for (const Case& one : cases()) {
        for (const Table table : tables) {
            // A call the table does not have (i386 has no clone3 before 5.3's numbers) is left.
            const std::uint32_t arch = table == Table::native ? seccomp_arch_native()
                                       : table == Table::i386 ? SCMP_ARCH_X86
                                                              : SCMP_ARCH_X32;
            if (seccomp_syscall_resolve_name_arch(arch, one.name) < 0) {
                continue;
            }
            for (std::size_t index = 0; index < filters.size(); ++index) {
                const std::string where =
                    std::string(one.what) + ", " + name_of(table) + ", " + filters[index].name;
                CAPTURE(where);
                if (one.taken[index] == not_tried) {
                    continue;
                }
                const int got = under(filters[index].program, table, one.name, one.args);
                REQUIRE(got != -1);
                CHECK(got < 1000); // ended, as by a table the filter does not know
                if (one.taken[index] == passed) {
                    // x32's calls fail with ENOSYS where the kernel has no x32.
                    CHECK(got != EPERM);
                    CHECK((got != ENOSYS || table == Table::x32));
                } else {
                    CHECK(got == one.taken[index]);
                }
            }
        }
    }
}

TEST_CASE("the filters' calls are known by name, and the allowed ones are few")
{
    std::vector<std::string> unknown;
    for (const auto* names : {&syscall_filter::refused(), &syscall_filter::allowed()}) {
        for (const std::string& name : *names) {
            bool known = false;
            for (const std::uint32_t arch : {seccomp_arch_native(), std::uint32_t{SCMP_ARCH_X86}}) {
                known = known || seccomp_syscall_resolve_name_arch(arch, name.c_str()) >= 0;
            }
            if (!known) {
                unknown.push_back(name);
            }
        }
    }
    CHECK(unknown == std::vector<std::string>{});
    CHECK(syscall_filter::allowed().size() <= 80);
    for (const std::string& name : syscall_filter::allowed()) {
        CAPTURE(name);
        for (const std::string& refused : syscall_filter::refused()) {
            CHECK(name != refused);
        }
    }
}
