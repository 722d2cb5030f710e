#include "signals.h"

#include <csignal>
#include <cstring>

namespace check {

std::string signal_name(int signal)
{
    switch (signal) {
    case SIGSEGV: return "SIGSEGV (segmentation fault: an invalid memory access)";
    case SIGABRT: return "SIGABRT (aborted)";
    case SIGFPE: return "SIGFPE (arithmetic error, such as a division by zero)";
    case SIGILL: return "SIGILL (illegal instruction)";
    case SIGBUS: return "SIGBUS (bus error: an invalid memory access)";
    case SIGKILL: return "SIGKILL (killed)";
    case SIGTERM: return "SIGTERM (terminated)";
    case SIGPIPE: return "SIGPIPE (wrote to a pipe nobody reads)";
    case SIGXCPU: return "SIGXCPU (CPU time limit)";
    case SIGXFSZ: return "SIGXFSZ (file size limit)";
    case SIGTRAP: return "SIGTRAP (trap)";
    default: break;
    }
    const char* name = strsignal(signal);
    return "signal " + std::to_string(signal) +
           (name != nullptr ? std::string(" (") + name + ")" : "");
}

} // namespace check
