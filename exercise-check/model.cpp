#include "model.h"

namespace check {

std::string_view case_verdict_name(CaseVerdict verdict)
{
    switch (verdict) {
    case CaseVerdict::passed: return "passed";
    case CaseVerdict::wrong_output: return "wrong-output";
    case CaseVerdict::wrong_layout: return "wrong-layout";
    case CaseVerdict::wrong_status: return "wrong-status";
    case CaseVerdict::stderr_output: return "stderr";
    case CaseVerdict::crashed: return "crashed";
    case CaseVerdict::timeout: return "timeout";
    case CaseVerdict::prompt_not_shown: return "prompt-not-shown";
    case CaseVerdict::memory_error: return "memory-error";
    case CaseVerdict::memory_limit: return "memory-limit";
    case CaseVerdict::output_limit: return "output-limit";
    case CaseVerdict::not_built: return "not-built";
    }
    return "?";
}

std::string_view program_verdict_name(ProgramVerdict verdict)
{
    switch (verdict) {
    case ProgramVerdict::correct: return "correct";
    case ProgramVerdict::remarks: return "remarks";
    case ProgramVerdict::wrong: return "wrong";
    case ProgramVerdict::does_not_compile: return "does-not-compile";
    case ProgramVerdict::absent: return "absent";
    }
    return "?";
}

bool counts_against(const CaseResult& result, bool strict)
{
    const bool mild = result.verdict == CaseVerdict::wrong_output ||
                      result.verdict == CaseVerdict::wrong_layout ||
                      result.verdict == CaseVerdict::wrong_status;
    return result.verdict != CaseVerdict::passed && (strict || !result.departure || !mild);
}

} // namespace check
