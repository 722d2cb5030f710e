// The system calls a sandboxed run may not make: a seccomp filter against tracing other
// processes, namespaces and mounts, sockets, kernel modules and keys, and signals to processes
// other than its own.
#pragma once

#include <string>
#include <vector>

struct sock_fprog;

namespace check::syscall_filter {

// The filter as the kernel takes it, made once for the checker's life. Throws
// std::runtime_error where libseccomp cannot make it.
const sock_fprog& program();

// In the run's process, between fork and exec, after no-new-privileges is set: applies the
// filter to this process and all it starts. False when the kernel refused.
bool apply(const sock_fprog& filter);

// The names of the system calls refused whatever their arguments.
const std::vector<std::string>& refused();

} // namespace check::syscall_filter
