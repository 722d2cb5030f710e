// The started process's side, between vfork and exec: it confines itself, step by step, and
// executes the program.
#pragma once

#include "process.h"

#include <sys/types.h>
#include <vector>

namespace check {

// The descriptors a started process takes as its standard input, output and error.
struct Streams {
    int in = -1;
    int out = -1;
    int err = -1;
};

// Starts args (argv, ending in nullptr) in a process of its own, confined, with the streams as
// its three: vfork, so that nothing of the checker's memory is copied. The process's id, or -1
// with errno set.
pid_t spawn(const RunRequest& request, const std::vector<char*>& argv, const Streams& streams,
            const Confinement& confinement);

} // namespace check
