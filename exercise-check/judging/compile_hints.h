// Beginners' compile errors as data: what the compiler says (or a run's standard error) for each
// mistake a beginner makes, and what to write instead.
#pragma once

#include "model.h"

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace check {

// A mistake and what shows it: any of the texts in a diagnostic line of the compiler (quotes as
// ' whether the compiler wrote ' or ‘ ’), or in the standard error of a run.
struct CompileHintRule {
    CompileHint hint;
    std::vector<std::string> compiler;
    std::vector<std::string> standard_error;
};

// The rules of a file such as tests/diagnosis/compile-hints.json: {"hints": [{"id": "conio",
// "hint": "...", "compiler": ["conio.h: No such file", ...], "standard_error": [...]}, ...]},
// in its order. Throws std::runtime_error, in one line that names the file and the fault.
std::vector<CompileHintRule> load_compile_hints(const std::filesystem::path& file);

// The hints whose mistakes the compiler's output and the runs' standard error show, each once, in
// the order they show first: the compiler's before the standard error's.
std::vector<CompileHint> compile_hints_for(const std::vector<CompileHintRule>& rules,
                                           std::string_view compiler_output,
                                           std::string_view standard_error = {});

// Each program's hints, from its compiler's output and what its failed cases wrote on standard
// error.
void add_compile_hints(Report& report, const std::vector<CompileHintRule>& rules);

} // namespace check
