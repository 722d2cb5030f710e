// What a check asks of the system: compiles and runs. The real runner compiles with the compiler
// and starts processes in the sandbox; a test gives the check a runner of its own.
#pragma once

#include "build.h"
#include "run.h"

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

namespace check {

class Runner {
  public:
    Runner() = default;
    Runner(const Runner&) = delete;
    Runner& operator=(const Runner&) = delete;
    Runner(Runner&&) = delete;
    Runner& operator=(Runner&&) = delete;
    virtual ~Runner() = default;

    // Whether precompiled headers are worth making: the compiler reads them.
    virtual bool precompiles() const = 0;
    // Whether it can build a program whose unset variables start with a pattern.
    virtual bool fills_unset() const = 0;
    virtual bool precompile(const std::vector<std::string>& headers,
                            const std::filesystem::path& folder) = 0;
    virtual Build compile(const std::filesystem::path& source,
                          const std::filesystem::path& executable, BuildKind kind,
                          const std::filesystem::path& headers) = 0;
    // What the builds depend on besides their source, so that a build may be kept and used again:
    // the compiler and its options; empty when builds are not to be kept.
    virtual std::string build_identity() const { return {}; }
    // One run in a sandbox of its own.
    virtual RunResult run(const RunRequest& request) = 0;
    // Runs of one program, one after another, in as few sandboxes as can be.
    virtual std::vector<RunResult> run_all(const std::vector<RunRequest>& requests,
                                           const Sandbox& sandbox) = 0;
};

// Compiles with compiler, within the limits, and runs in the sandbox (or with the checker's own
// rights where sandbox is not enabled).
class SystemRunner : public Runner {
  public:
    SystemRunner(Compiler compiler, Sandbox sandbox, const Limits& compile_limits)
        : compiler_(std::move(compiler)), sandbox_(std::move(sandbox)),
          compile_limits_(compile_limits)
    {
    }

    bool precompiles() const override { return compiler_.precompiles; }
    bool fills_unset() const override { return compiler_.fills_unset; }
    bool precompile(const std::vector<std::string>& headers,
                    const std::filesystem::path& folder) override
    {
        // The standard library's headers alone, which may make more than a program may (GCC's
        // of <bits/stdc++.h> is about 100 MB).
        Limits limits = compile_limits_;
        limits.file_bytes = std::max<std::uint64_t>(limits.file_bytes, 256 * mebibyte);
        return check::precompile(compiler_, headers, folder, sandbox_, limits);
    }
    Build compile(const std::filesystem::path& source, const std::filesystem::path& executable,
                  BuildKind kind, const std::filesystem::path& headers) override
    {
        return check::compile(compiler_, source, executable, kind, headers, sandbox_,
                              compile_limits_);
    }
    std::string build_identity() const override
    {
        std::string identity =
            compiler_.command + '\n' + compiler_.stdlib + '\n' + compiler_.version;
        for (const auto* flags :
             {&compiler_.flags, &compiler_.link_flags, &compiler_.quick_link_flags}) {
            for (const std::string& flag : *flags) {
                identity += '\n' + flag;
            }
            identity += '\n';
        }
        return identity;
    }
    RunResult run(const RunRequest& request) override { return check::run(request); }
    std::vector<RunResult> run_all(const std::vector<RunRequest>& requests,
                                   const Sandbox& sandbox) override
    {
        return check::run_all(requests, sandbox);
    }

  private:
    Compiler compiler_;
    Sandbox sandbox_;
    Limits compile_limits_;
};

} // namespace check
