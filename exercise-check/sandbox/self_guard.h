// The checker keeps watch on itself: a program it runs with the checker's own user id could
// change the checker's limits or priority from outside, and a check that went on under them
// would report what they made of it. It ends instead.
#pragma once

#include <optional>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace check {

// What another process of the same user may change of this one. A thread's priority,
// processors and I/O priority are its own: each is every value its threads have, sorted (one,
// as each thread takes its creator's, until a thread's is changed).
struct SelfState {
    std::vector<rlimit> limits;        // each resource's, in the order of their numbers
    std::vector<int> priority;         // the nice values
    std::vector<std::string> affinity; // the processors they may run on, as the kernel's masks
    std::vector<int> io_priority;      // the I/O scheduling classes and levels, as numbers
};

SelfState self_state();

// What differs between two states, in a few words ("the file size limit", "the priority"), or
// nothing when they are the same.
std::optional<std::string> what_changed(const SelfState& before, const SelfState& now);

// The first call takes the checker's state as it is; each later one compares, and where it
// changed, says so in one line on standard error and ends the check as an interruption does
// (every run ended, the work folder removed), with exit status 3.
void guard_self();

} // namespace check
