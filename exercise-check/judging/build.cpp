#include "build.h"

#include "signals.h"

#include <algorithm>
#include <csignal>
#include <fstream>
#include <future>
#include <sstream>
#include <stdexcept>

#ifndef EXERCISE_CHECK_CXX
#define EXERCISE_CHECK_CXX "c++"
#endif
#ifndef EXERCISE_CHECK_CXX_FLAGS
#define EXERCISE_CHECK_CXX_FLAGS "-Wall|-Wextra"
#endif

namespace check {

namespace fs = std::filesystem;

namespace {

const char* const fill_flag = "-ftrivial-auto-var-init=pattern";

std::vector<std::string> project_flags()
{
    std::vector<std::string> flags{"-std=c++17"};
    std::istringstream list(EXERCISE_CHECK_CXX_FLAGS);
    for (std::string flag; std::getline(list, flag, '|');) {
        if (!flag.empty()) {
            flags.push_back(flag);
        }
    }
    flags.emplace_back("-fdiagnostics-color=never");
    return flags;
}

// The compiler's temporary files (the object a large program makes) fit in the sandbox's /tmp as
// they would in a folder of its own: how large a program may be is the check's to say, not the
// sandbox's.
std::uint64_t room_for_temporary_files(const Limits& limits)
{
    return limits.file_bytes + 64 * mebibyte;
}

RunResult preprocess(const Compiler& compiler, bool fill, const Sandbox& sandbox)
{
    RunRequest request;
    request.command = {compiler.command};
    request.command.insert(request.command.end(), compiler.flags.begin(), compiler.flags.end());
    if (fill) {
        request.command.emplace_back(fill_flag);
    }
    request.command.insert(request.command.end(), {"-x", "c++", "-E", "-dM", "-"});
    request.input = "#include <cstddef>\n";
    request.sandbox = sandbox;
    request.limits.wall_seconds = 30;
    request.limits.memory_bytes = 0;
    return run(request);
}

// The folder of the C++ runtime the compiler links against (library), or none where it has
// none to be found: every program is then linked statically.
fs::path runtime_folder_of(const Compiler& compiler, const std::string& library,
                           const Sandbox& sandbox)
{
    RunRequest ask;
    ask.command = {compiler.command};
    ask.command.insert(ask.command.end(), compiler.flags.begin(), compiler.flags.end());
    ask.command.push_back("-print-file-name=" + library);
    ask.sandbox = sandbox;
    ask.limits.wall_seconds = 30;
    ask.limits.memory_bytes = 0;
    const RunResult answer = run(ask);
    const fs::path path = answer.out.substr(0, answer.out.find('\n'));
    std::error_code error;
    if (answer.ending != Ending::exited || answer.status != 0 || !path.is_absolute() ||
        !fs::exists(path, error)) {
        return {};
    }
    return fs::canonical(path, error).parent_path();
}

// The quickest way of linking that works here, or none of them.
std::vector<std::string> quickest_link(const Compiler& compiler, const fs::path& work,
                                       const Sandbox& sandbox)
{
    std::vector<std::string> chosen;
    for (const std::vector<std::string>& flags :
         {std::vector<std::string>{"-static", "-fuse-ld=gold"},
          std::vector<std::string>{"-static"}}) {
        RunRequest link;
        link.command = {compiler.command, "-x", "c++", "-", "-o", (work / "probe").string()};
        link.command.insert(link.command.end(), flags.begin(), flags.end());
        link.input = "int main() { return 0; }\n";
        link.sandbox = sandbox;
        link.sandbox.writable = work;
        link.directory = work;
        link.limits.wall_seconds = 30;
        link.limits.memory_bytes = 0;
        link.limits.file_bytes = 256 * mebibyte;
        link.sandbox.tmp_bytes = room_for_temporary_files(link.limits);
        const RunResult linked = run(link);
        if (linked.ending == Ending::exited && linked.status == 0) {
            chosen = flags;
            break;
        }
    }
    std::error_code error;
    fs::remove(work / "probe", error);
    return chosen;
}

// What the compiler's predefined macros tell: whether it reads precompiled headers (GCC), its
// library, and the versions of both.
void know_from_macros(Compiler& compiler, const std::string& macros_text)
{
    compiler.precompiles = macros_text.find("__GNUC__") != std::string::npos &&
                           macros_text.find("__clang__") == std::string::npos;
    if (macros_text.find("_LIBCPP_VERSION") != std::string::npos) {
        compiler.stdlib = "libc++";
    } else if (macros_text.find("__GLIBCXX__") != std::string::npos) {
        compiler.stdlib = "libstdc++";
    } else {
        compiler.stdlib = "other";
    }
    // The macros that name the compiler's and its library's versions, as they define them.
    std::istringstream macros(macros_text);
    for (std::string line; std::getline(macros, line);) {
        for (const char* name : {"__VERSION__ ", "__GLIBCXX__ ", "_LIBCPP_VERSION "}) {
            if (line.rfind(std::string("#define ") + name, 0) == 0) {
                compiler.version += line + '\n';
            }
        }
    }
}

} // namespace

Compiler probe_compiler(const std::string& command, const fs::path& work, const Sandbox& sandbox)
{
    Compiler compiler;
    compiler.command = command.empty() ? EXERCISE_CHECK_CXX : command;
    compiler.flags = project_flags();
    RunResult result = preprocess(compiler, true, sandbox);
    compiler.fills_unset = result.ending == Ending::exited && result.status == 0;
    if (!compiler.fills_unset) {
        result = preprocess(compiler, false, sandbox);
    }
    if (result.ending != Ending::exited || result.status != 0) {
        std::string why = result.err.substr(0, result.err.find('\n'));
        if (why.empty()) {
            why = result.error.empty() ? "it failed" : result.error;
        }
        throw std::runtime_error("the C++ compiler " + compiler.command + " does not work (" + why +
                                 "): give another with --cxx");
    }
    // Where the C++ runtime that the compiler links against stands, asked for while the link
    // is tried: a dynamically linked program is told to load that one, not whichever the system
    // finds first (a compiler of one's own under /usr/local brings a newer one).
    const std::string library =
        result.out.find("_LIBCPP_VERSION") != std::string::npos ? "libc++.so" : "libstdc++.so";
    std::future<fs::path> runtime_folder = std::async(
        std::launch::async, [&] { return runtime_folder_of(compiler, library, sandbox); });
    compiler.link_flags = quickest_link(compiler, work, sandbox);
    know_from_macros(compiler, result.out);
    const fs::path runtime = runtime_folder.get();
    if (runtime.empty()) {
        compiler.quick_link_flags = compiler.link_flags;
    } else {
        for (const std::string& flag : compiler.link_flags) {
            if (flag != "-static") {
                compiler.quick_link_flags.push_back(flag);
            }
        }
        compiler.quick_link_flags.push_back("-Wl,-rpath," + runtime.string());
    }
    return compiler;
}

std::vector<std::string> leading_includes(const std::string& source)
{
    std::vector<std::string> headers;
    std::istringstream lines(source);
    for (std::string line; std::getline(lines, line);) {
        const std::size_t start = line.find_first_not_of(" \t\r");
        if (start == std::string::npos || line.compare(start, 2, "//") == 0) {
            continue;
        }
        static const std::string directive = "#include <";
        const std::size_t end = line.find('>', start);
        if (line.compare(start, directive.size(), directive) != 0 || end == std::string::npos ||
            line.find_first_not_of(" \t\r", end + 1) != std::string::npos) {
            break;
        }
        const std::string name =
            line.substr(start + directive.size(), end - start - directive.size());
        if (name.find_first_not_of("abcdefghijklmnopqrstuvwxyz_0123456789") != std::string::npos) {
            break; // a standard header's name, or none at all
        }
        headers.push_back(name);
    }
    return headers;
}

bool precompile(const Compiler& compiler, const std::vector<std::string>& headers,
                const fs::path& folder, const Sandbox& sandbox, const Limits& limits)
{
    if (headers.empty()) {
        return false;
    }
    std::error_code error;
    fs::create_directories(folder, error);
    share_with_sandbox(folder, true, true); // every build reads it
    const fs::path text = folder.parent_path() / (folder.filename().string() + ".hpp");
    std::ofstream list(text);
    for (const std::string& header : headers) {
        list << "#include <" << header << ">\n";
    }
    list.close();
    RunRequest request;
    request.command = {compiler.command};
    request.command.insert(request.command.end(), compiler.flags.begin(), compiler.flags.end());
    // Found where the first of them is included, it stands for all of them.
    request.command.insert(request.command.end(), {"-x", "c++-header", text.string(), "-o",
                                                   (folder / (headers.front() + ".gch")).string()});
    request.limits = limits;
    request.sandbox = sandbox;
    request.sandbox.tmp_bytes = room_for_temporary_files(limits);
    request.sandbox.writable = folder;
    request.sandbox.read_only.push_back(text);
    request.directory = folder;
    const RunResult result = run(request);
    return result.ending == Ending::exited && result.status == 0;
}

namespace {

// The most of a compiler's messages a result keeps: a compile that writes thousands of error
// lines would otherwise put megabytes of them into every report.
constexpr std::size_t kept_output = 64 * 1024;

// The first whole lines of output within kept_output bytes, and how much more there was.
std::string capped(std::string output)
{
    if (output.size() <= kept_output) {
        return output;
    }
    constexpr std::size_t room = 100; // for the line that says what was left out
    const std::size_t line_end = output.rfind('\n', kept_output - room);
    const std::size_t end = line_end == std::string::npos ? kept_output - room : line_end + 1;
    const std::size_t left_out = output.size() - end;
    output.resize(end);
    return output + "... and " + std::to_string(left_out) + " bytes more\n";
}

} // namespace

Build compile(const Compiler& compiler, const fs::path& source, const fs::path& executable,
              BuildKind kind, const fs::path& headers, const Sandbox& sandbox, const Limits& limits)
{
    RunRequest request;
    request.sandbox = sandbox;
    request.command = {compiler.command};
    request.command.insert(request.command.end(), compiler.flags.begin(), compiler.flags.end());
    if (kind.fill_unset) {
        request.command.emplace_back(fill_flag);
    }
    if (!headers.empty()) {
        request.command.push_back("-I" + headers.string());
        request.sandbox.read_only.push_back(headers);
    }
    request.command.insert(request.command.end(),
                           {"-pipe", source.string(), "-o", executable.string()});
    constexpr std::size_t static_pays_off = 40; // runs
    const std::vector<std::string>& link_flags =
        kind.runs >= static_pays_off ? compiler.link_flags : compiler.quick_link_flags;
    request.command.insert(request.command.end(), link_flags.begin(), link_flags.end());
    request.limits = limits;
    request.sandbox.tmp_bytes = room_for_temporary_files(limits);
    request.sandbox.writable = executable.parent_path();
    if (source.parent_path() != executable.parent_path()) {
        request.sandbox.read_only.push_back(source.parent_path());
    }
    request.directory = executable.parent_path();
    const RunResult result = run(request);

    Build build;
    build.output = capped(result.out + result.err);
    std::error_code error;
    build.built =
        result.ending == Ending::exited && result.status == 0 && fs::exists(executable, error);
    build.too_large = result.ending == Ending::signalled && result.signal == SIGXFSZ;
    if (!build.built && result.ending == Ending::timed_out) {
        build.output += "the compiler did not finish within the time limit\n";
    } else if (!build.built && result.ending != Ending::exited) {
        const std::string why = result.ending == Ending::signalled ? signal_name(result.signal)
                                : result.ending == Ending::output_limit
                                    ? "it wrote more than " +
                                          std::to_string(limits.output_bytes / 1024) +
                                          " KiB of messages"
                                    : result.error;
        build.output += "the compiler was stopped: " + why + "\n";
    }
    return build;
}

} // namespace check
