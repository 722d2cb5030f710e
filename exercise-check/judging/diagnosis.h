// Names the typical faults that explain a wrong program's failures, from how their variants ran.
#pragma once

#include "faults.h"
#include "model.h"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace check {

// How one variant of a fault ran: its results by case name, for the cases it ran.
struct VariantRun {
    const Fault* fault = nullptr;
    std::map<std::string, CaseResult> cases;
};

// Whether the variant failed the case as the program did: with the same verdict and, unless the
// fault shows by its verdict, the same output, exit status and random input.
bool explains(const Fault& fault, const CaseResult& variant, const CaseResult& program);

// Whether the variant explains at least one of the program's failed cases.
bool explains_any(const VariantRun& variant, const ProgramResult& program);

// Fills in the diagnosis of a wrong program: each fault one of whose variants explains at least
// one failed case and passed every case the program passes (a case it did not run cannot back
// it), in the order of the faults; and the failed cases that count against the program, that
// some variant ran, and that no named fault explains. A program that is not wrong gets none.
// The cases in left_out (random inputs, which variants do not run) count for nothing.
void diagnose(ProgramResult& program, const std::vector<VariantRun>& variants, bool strict,
              const std::set<std::string>& left_out = {});

} // namespace check
