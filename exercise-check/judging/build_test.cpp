// Compiling a hand-in: what is kept of a compiler that writes without end; what a compiler's builds
// are known by.
#include "build.h"

#include "runner.h"

#include <doctest/doctest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using namespace check;

TEST_CASE("a compile stopped for writing too much says why and keeps at most 64 KiB")
{
    std::string pattern = (fs::temp_directory_path() / "build-test-XXXXXX").string();
    REQUIRE(mkdtemp(pattern.data()) != nullptr);
    const fs::path folder = pattern;
    // A source that makes 30,000 errors, as a compiler that reports every one of them writes.
    const fs::path compiler = folder / "compiler";
    std::ofstream(compiler)
        << "#!/bin/sh\n"
           "i=0\n"
           "while [ $i -lt 30000 ]; do\n"
           "  echo \"x.cpp:$i:1: error: 'x' was not declared in this scope\" >&2\n"
           "  i=$((i + 1))\n"
           "done\n"
           "exit 1\n";
    fs::permissions(compiler, fs::perms::owner_all);
    std::ofstream(folder / "x.cpp") << "int main() { return x; }\n";

    Compiler probed;
    probed.command = compiler.string();
    Limits limits;
    limits.output_bytes = 1024 * 1024;
    const Build build =
        compile(probed, folder / "x.cpp", folder / "x", BuildKind{}, {}, Sandbox{}, limits);
    fs::remove_all(folder);

    CHECK_FALSE(build.built);
    CHECK(build.output.size() <= 64 * 1024);
    CHECK(build.output.rfind("x.cpp:0:1: error:", 0) == 0);
    CHECK(build.output.find(" bytes more\n") != std::string::npos);
    CHECK(
        build.output.find("the compiler was stopped: it wrote more than 1024 KiB of messages\n") !=
        std::string::npos);
    CHECK(build.output.find("stopped: \n") == std::string::npos);
}

TEST_CASE("a compiler's version is part of what its kept builds are named by")
{
    std::string pattern = (fs::temp_directory_path() / "build-test-XXXXXX").string();
    REQUIRE(mkdtemp(pattern.data()) != nullptr);
    const fs::path folder = pattern;
    // A compiler that says its version where it defines its macros, and links anything.
    const fs::path compiler = folder / "compiler";
    std::ofstream(compiler) << "#!/bin/sh\n"
                               "case \"$*\" in\n"
                               "  *-dM*) cat >/dev/null\n"
                               "         echo '#define __GNUC__ 12'\n"
                               "         echo \"#define __VERSION__ \\\"$(cat " +
                                   (folder / "version").string() +
                                   ")\\\"\"\n"
                                   "         echo '#define __GLIBCXX__ 20220819' ;;\n"
                                   "esac\n"
                                   "exit 0\n";
    fs::permissions(compiler, fs::perms::owner_all);
    const auto identity = [&](const std::string& version) {
        std::ofstream(folder / "version") << version;
        const Compiler probed = probe_compiler(compiler.string(), folder, Sandbox{});
        CHECK(probed.version.find(version) != std::string::npos);
        return SystemRunner(probed, Sandbox{}, Limits{}).build_identity();
    };
    const std::string twelve = identity("12.2.0");
    CHECK(identity("12.2.0") == twelve);
    CHECK(identity("12.3.0") != twelve);
    fs::remove_all(folder);
}
