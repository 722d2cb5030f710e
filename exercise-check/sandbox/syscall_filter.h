// The seccomp filters of sandboxed processes, each built once with libseccomp for the native
// system calls and, on x86-64, the 32-bit and x32 ones too, so that no call slips past by another
// table: what may not reach other processes, namespaces, mounts, sockets or the kernel itself.
#pragma once

#include <string>
#include <vector>

struct sock_fprog;

namespace check::syscall_filter {

// Each filter as the kernel takes it, made on first use and kept for the checker's life: make it
// before any process starts that applies it (between fork and exec nothing may be allocated).
// Throws std::runtime_error where libseccomp cannot make it.

// Refuses tracing another process and reading or writing its memory: for runs inside
// bubblewrap's namespaces, which keep them from everything else.
const sock_fprog& tracing();

// The Landlock sandbox's for the system's programs (compilers and the like): every call that
// can act on another process, namespaces and mounts, sockets, and the kernel's own; the rest is
// allowed.
const sock_fprog& tools();

// The Landlock sandbox's for checked programs: only the calls a console program makes, and of
// those that can name a process only the forms that name its own; the rest is refused with
// EPERM (ENOSYS for newer calls the C library then does without).
const sock_fprog& programs();

// In the process, between fork and exec: sets no-new-privileges and applies the filter to this
// process and all it starts. Makes system calls only. False when the kernel refused.
bool apply(const sock_fprog& filter);

// The names of the system calls tools() refuses whatever their arguments.
const std::vector<std::string>& refused();

// The names of the system calls programs() allows, some only with certain arguments.
const std::vector<std::string>& allowed();

} // namespace check::syscall_filter
