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
    bool fills_unset = false;       // it can fill unset variables with a pattern
    // How the programs are linked: statically where the libraries allow it, since a static
    // program starts in half the time, and the cases start each program hundreds of times.
    std::vector<std::string> link_flags;
    bool precompiles = false; // it can use a precompiled <iostream> found on the include path
    std::filesystem::path headers;        // where precompiled <iostream> is, if it is
    std::filesystem::path filled_headers; // the same, for builds that fill unset variables
};

// The compiler the tool was built for (or command), with its library and abilities found out by
// asking it; work is a folder it may write in. Throws std::runtime_error, with one line saying
// what to do, when it does not work.
Compiler probe_compiler(const std::string& command, const std::filesystem::path& work,
                        const Sandbox& sandbox);

// Precompiles <iostream> into folder/iostream.gch, with fill_unset as compile() would use it. A
// source whose first include is <iostream> then compiles in half the time; any other source
// compiles as before. False when it could not be made.
bool precompile_iostream(const Compiler& compiler, const std::filesystem::path& folder,
                         bool fill_unset, const Sandbox& sandbox, const Limits& limits);

struct Build {
    bool built = false;
    std::string output; // the compiler's messages: warnings, or why it failed
};

// Compiles source into executable; with fill_unset, every unset local variable starts with a
// pattern instead of what happens to be in memory. The sandbox sees the source's folder and the
// executable's, read-only and writable.
Build compile(const Compiler& compiler, const std::filesystem::path& source,
              const std::filesystem::path& executable, bool fill_unset, const Sandbox& sandbox,
              const Limits& limits);

} // namespace check
