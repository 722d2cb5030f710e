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

// Whether the variant failed the case as the program did: with the same verdict, exit status,
// signal and random input, and the same output and standard error but where the fault says they
// may differ (the output of an unset value, the words written to standard error).
bool explains(const Fault& fault, const CaseResult& variant, const CaseResult& program);

// Whether the variant explains at least one of the program's failed cases.
bool explains_any(const VariantRun& variant, const ProgramResult& program);

// Fills in the diagnosis of a wrong program: each fault one of whose variants passed every case
// the program passes (a case it did not run cannot back it) and explains at least one failed case
// that is not a departure, the fault that explains the most cases first; a case that one fault
// reproduces byte for byte is not another's by what may differ. A fault that explains departures
// alone becomes the program's advice; one whose variant fails a failed case with its verdict but
// other bytes, or fails where the program passes, only resembles. Also the failed cases that
// count against the program, that some variant ran, and that no named fault explains. A program
// that is not wrong gets none. The cases in left_out (random inputs, which variants do not run)
// count for nothing.
void diagnose(ProgramResult& program, const std::vector<VariantRun>& variants, bool strict,
              const std::set<std::string>& left_out = {});

} // namespace check
