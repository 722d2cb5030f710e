// Compiles one program's source as the project compiles its own: C++17, its warning options.
#pragma once

#include "run.h"

#include <filesystem>
#include <string>
#include <vector>

namespace check {

struct Compiler {
    std::string command;            // c++, or a path
    std::vector<std::string> flags; // the language standard and the warning options
    std::string stdlib;             // "libstdc++", "libc++" or "other"
    std::string version;            // what the compiler and its library say of their versions
    bool fills_unset = false;       // it can fill unset variables with a pattern
    // How a program that runs many times is linked: statically where the libraries allow it,
    // since a static program starts in half the time, and random inputs start it hundreds of
    // times. A program that runs a few times is linked dynamically: a static link takes about
    // as long as forty dynamic starts.
    std::vector<std::string> link_flags;
    std::vector<std::string> quick_link_flags;
    bool precompiles = false; // it finds precompiled headers on the include path (GCC)
};

// The compiler the tool was built for (or command), with its library and abilities found out by
// asking it; work is a folder it may write in. Throws std::runtime_error, with one line saying
// what to do, when it does not work.
Compiler probe_compiler(const std::string& command, const std::filesystem::path& work,
                        const Sandbox& sandbox);

// The standard headers a source includes before anything else, in order: the lines at its top
// that are #include <...>, blank or comments. A precompiled header of exactly these gives the
// same program, and makes most of the compile's work once for every source that shares them.
std::vector<std::string> leading_includes(const std::string& source);

// Precompiled headers are made for a set of leading headers that at least this many compiles
// share: each takes about as long as three compiles to make.
constexpr std::size_t compiles_worth_precompiling = 6;

// Precompiles those headers into folder, as compile() would compile them; compile() given that
// folder then uses it, for a build of either kind (the pattern is applied after the headers are
// read). False when it could not be made.
bool precompile(const Compiler& compiler, const std::vector<std::string>& headers,
                const std::filesystem::path& folder, const Sandbox& sandbox, const Limits& limits);

struct Build {
    bool built = false;
    std::string output;     // the compiler's messages: warnings, or why it failed
    bool too_large = false; // it was stopped at the largest file it may write
};

// How a build is made: with fill_unset, every unset local variable starts with a pattern instead
// of what happens to be in memory; runs is how many times the cases will start it.
struct BuildKind {
    bool fill_unset = false;
    std::size_t runs = 0;
};

// Compiles source into executable, as kind says; with headers, the precompiled headers there are
// used. The sandbox sees the source's folder and the executable's, read-only and writable.
Build compile(const Compiler& compiler, const std::filesystem::path& source,
              const std::filesystem::path& executable, BuildKind kind,
              const std::filesystem::path& headers, const Sandbox& sandbox, const Limits& limits);

} // namespace check
