#include "diagnosis.h"

#include <algorithm>

namespace check {

namespace {

bool same_text(const std::optional<ShownText>& one, const std::optional<ShownText>& other)
{
    if (!one || !other) {
        return !one && !other;
    }
    return one->bytes == other->bytes && one->left_out == other->left_out;
}

const CaseResult* find_case(const VariantRun& variant, const std::string& name)
{
    const auto found = variant.cases.find(name);
    return found == variant.cases.end() ? nullptr : &found->second;
}

// Whether the variant passed every case the program passes, but those left out.
bool passes_where_program_does(const VariantRun& variant, const ProgramResult& program,
                               const std::set<std::string>& left_out)
{
    return std::all_of(program.cases.begin(), program.cases.end(), [&](const CaseResult& one) {
        if (one.verdict != CaseVerdict::passed || left_out.count(one.name) != 0) {
            return true;
        }
        const CaseResult* ran = find_case(variant, one.name);
        return ran != nullptr && ran->verdict == CaseVerdict::passed;
    });
}

} // namespace

bool explains(const Fault& fault, const CaseResult& variant, const CaseResult& program)
{
    if (program.verdict == CaseVerdict::passed || variant.verdict != program.verdict) {
        return false;
    }
    return fault.by_verdict ||
           (same_text(variant.actual, program.actual) &&
            variant.exit_status == program.exit_status && variant.signal == program.signal &&
            variant.random_input == program.random_input);
}

bool explains_any(const VariantRun& variant, const ProgramResult& program)
{
    return std::any_of(program.cases.begin(), program.cases.end(), [&](const CaseResult& one) {
        const CaseResult* ran = find_case(variant, one.name);
        return ran != nullptr && explains(*variant.fault, *ran, one);
    });
}

void diagnose(ProgramResult& program, const std::vector<VariantRun>& variants, bool strict,
              const std::set<std::string>& left_out)
{
    program.diagnosis.clear();
    program.unexplained.clear();
    if (program.verdict != ProgramVerdict::wrong) {
        return;
    }
    std::vector<const CaseResult*> explained;
    for (const VariantRun& variant : variants) {
        if (!explains_any(variant, program) ||
            !passes_where_program_does(variant, program, left_out)) {
            continue;
        }
        auto named =
            std::find_if(program.diagnosis.begin(), program.diagnosis.end(),
                         [&](const Diagnosis& found) { return found.fault == variant.fault->id; });
        if (named == program.diagnosis.end()) {
            program.diagnosis.push_back({variant.fault->id, variant.fault->hint, {}});
            named = program.diagnosis.end() - 1;
        }
        for (const CaseResult& one : program.cases) {
            const CaseResult* ran = find_case(variant, one.name);
            if (ran != nullptr && explains(*variant.fault, *ran, one) &&
                std::find(named->cases.begin(), named->cases.end(), one.name) ==
                    named->cases.end()) {
                named->cases.push_back(one.name);
                explained.push_back(&one);
            }
        }
    }
    // The cases of each fault in the program's order, whatever order its variants found them.
    for (Diagnosis& found : program.diagnosis) {
        std::vector<std::string> ordered;
        for (const CaseResult& one : program.cases) {
            if (std::find(found.cases.begin(), found.cases.end(), one.name) != found.cases.end()) {
                ordered.push_back(one.name);
            }
        }
        found.cases = ordered;
    }
    // A fault whose every case another named fault explains as well, and more besides, is part
    // of that one: a float height makes a float sum too, and the larger fault is what to mend.
    const auto within = [](const Diagnosis& part, const Diagnosis& whole) {
        return part.cases.size() < whole.cases.size() &&
               std::all_of(part.cases.begin(), part.cases.end(), [&](const std::string& name) {
                   return std::find(whole.cases.begin(), whole.cases.end(), name) !=
                          whole.cases.end();
               });
    };
    const std::vector<Diagnosis> named = program.diagnosis;
    program.diagnosis.erase(std::remove_if(program.diagnosis.begin(), program.diagnosis.end(),
                                           [&](const Diagnosis& part) {
                                               return std::any_of(named.begin(), named.end(),
                                                                  [&](const Diagnosis& whole) {
                                                                      return within(part, whole);
                                                                  });
                                           }),
                            program.diagnosis.end());
    if (program.diagnosis.empty()) {
        return; // with no fault named, every failure is unexplained: nothing to say
    }
    // A case no variant ran (a random input) is neither explained nor unexplained.
    const auto tried = [&variants](const std::string& name) {
        return std::any_of(variants.begin(), variants.end(), [&](const VariantRun& variant) {
            return variant.cases.count(name) != 0;
        });
    };
    for (const CaseResult& one : program.cases) {
        if (counts_against(one, strict) && tried(one.name) &&
            std::find(explained.begin(), explained.end(), &one) == explained.end()) {
            program.unexplained.push_back(one.name);
        }
    }
}

} // namespace check
