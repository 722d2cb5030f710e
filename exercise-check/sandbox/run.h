// Runs one process: feeds its input, collects its output within limits, and says how it ended.
// The only code that starts processes, and the only code that knows the sandbox.
//
// What the layers above call, and where it is done:
//   sandbox.cpp        run, sandbox_name, sandbox_problem, share_with_sandbox,
//                      memory_limit_held_by: which sandbox runs a request, and what they share
//   batch.cpp          run_all, serve_runs: many runs in one sandbox, and its other end
//   orphans.cpp        end_every_run: the runs under way, ended at once
// Below them: process_posix.cpp runs one process (process.h), child.cpp starts it confined
// (child.h), bwrap.cpp and sandbox_landlock.cpp are the two sandboxes, and syscall_filter.cpp,
// landlock.cpp, cgroup.cpp and run_users.cpp (a root checker's users) what they are made of.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace check {

constexpr std::uint64_t mebibyte = 1024ULL * 1024ULL;

struct Limits {
    double wall_seconds = 5;
    double cpu_seconds = 10;
    // Each process's address space, and all of a sandboxed program's processes and files
    // together (see memory_limit_held_by); 0 for no limit.
    std::uint64_t memory_bytes = 512 * mebibyte;
    std::uint64_t output_bytes = 1 * mebibyte; // each of standard output and error
    std::uint64_t file_bytes = 1 * mebibyte;   // the largest file it may write
    int processes = 64;
};

// What keeps a checked program away from the rest of the machine: bubblewrap (namespaces: its
// own view of the files, no network, its own processes), Landlock and seccomp (rules of the
// kernel's on files, the network, signals and system calls, where namespaces are refused), or
// nothing (the checker's own rights).
enum class SandboxKind {
    bubblewrap,
    landlock,
};

// "bubblewrap", "landlock"; "none" for no sandbox.
std::string_view sandbox_name(bool enabled, SandboxKind kind);

// What a sandboxed run sees and may do. Without enabled, the run has the checker's rights.
struct Sandbox {
    bool enabled = false;
    SandboxKind kind = SandboxKind::bubblewrap;
    std::vector<std::filesystem::path> read_only; // visible at the same path, read-only
    std::filesystem::path writable;               // visible at the same path, writable (or none)
    // The room it has for files, in its own /tmp: none unless given, since a console program
    // writes no file (a build gives its compiler room for its own).
    std::uint64_t tmp_bytes = 0;
    std::vector<std::filesystem::path> hidden{}; // shown empty wherever they are: case data
};

enum class Stdout {
    capture,
    full,
    closed
};

// Whether a run of a batch is made, after the run before it: always; only where that one exited
// (a second build of the same program, whose output means something only beside the first's);
// or only where that one was made and ended in time (random inputs, where no run after the first
// that does not end tells anything more).
enum class RunsAfter {
    always,
    exited,
    in_time,
};

struct RunRequest {
    std::vector<std::string> command; // the program first, as a path
    std::string input;
    bool input_stays_open = false; // after the input, standard input stays open instead of ending
    Stdout stdout_to = Stdout::capture;
    // Ends the run early, as "waiting", once standard output holds exactly these bytes and
    // nothing more comes for a moment while the program still runs.
    std::optional<std::string> settles_on;
    Limits limits;
    Sandbox sandbox;
    std::filesystem::path directory;          // where it starts (without a sandbox); empty: here
    RunsAfter runs_after = RunsAfter::always; // in run_all; the first of a batch is always made
};

enum class Ending {
    exited,       // status holds its exit status
    signalled,    // signal holds the signal that ended it
    timed_out,    // the wall time ran out
    output_limit, // it wrote more than the limit allows
    waiting,      // settles_on was met while it waited
    not_started,  // error says why
};

struct RunResult {
    Ending ending = Ending::not_started;
    int status = -1;
    int signal = 0;
    std::string out;
    std::string err;
    double seconds = 0;
    std::uint64_t peak_memory_bytes = 0;
    bool out_of_memory = false; // a process of its was ended for the memory of all together
    std::string error;
};

RunResult run(const RunRequest& request);

// Whether a run asked to run after previous (the result of the run before it) is made.
bool made_after(const RunRequest& request, const RunResult& previous);
// The result of a run that was not made, for its runs_after.
RunResult not_made();

// Runs the requests one after another. With the sandbox on they all run in one sandbox, which
// costs far less than one each for many short runs of one program; between two runs, whatever the
// first left running is ended and the sandbox's /tmp is emptied. A run that ends the sandbox
// itself (by killing what runs it) has ending not_started and says so; the rest run anew. A run
// whose runs_after the run before it does not meet is not made: its result is not_made().
std::vector<RunResult> run_all(const std::vector<RunRequest>& requests, const Sandbox& sandbox);

// The checker started with this as its first argument is run_all's other end, in the sandbox.
constexpr const char* serve_runs_argument = "--serve-runs";
int serve_runs();

// Makes a folder of the checker's own ready for a sandbox: one it may read, or one it may write
// (as root, given an id of the check's own, or its parent folder's where that is one, and closed
// to every other run unless shown to others, as one that all builds read).
void share_with_sandbox(const std::filesystem::path& folder, bool writable,
                        bool shown_to_others = false);

// What holds a sandboxed program's processes and files together within its memory limit here:
// "cgroup" where the checker can make one, else "per-process limits" (each process a share of
// the limit, and fewer processes at once).
std::string memory_limit_held_by();

// Why sandboxed runs of that kind cannot start here, in one line, or nothing when they can.
std::optional<std::string> sandbox_problem(SandboxKind kind = SandboxKind::bubblewrap);

// Ends every run under way at once, and refuses new ones: for a checker that is interrupted.
void end_every_run();

} // namespace check
