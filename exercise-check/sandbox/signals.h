// What a signal that ended a program is called, and what it means.
#pragma once

#include <string>

namespace check {

// The signal's name and what it means: "SIGSEGV (segmentation fault)".
std::string signal_name(int signal);

} // namespace check
