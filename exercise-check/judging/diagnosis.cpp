#include "diagnosis.h"

#include <algorithm>
#include <map>

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

// How a variant's run of a failed case compares with the program's.
enum class Likeness {
    none,       // another verdict, or none
    resembles,  // the same verdict, but other bytes
    signature,  // the same, but for what the fault says may differ
    reproduces, // the same output, standard error, exit status and signal
};

Likeness likeness(const Fault& fault, const CaseResult& variant, const CaseResult& program)
{
    if (program.verdict == CaseVerdict::passed || variant.verdict != program.verdict) {
        return Likeness::none;
    }
    if (variant.exit_status != program.exit_status || variant.signal != program.signal ||
        variant.random_input != program.random_input) {
        return Likeness::resembles;
    }
    const bool output = same_text(variant.actual, program.actual);
    const bool standard_error = same_text(variant.standard_error, program.standard_error);
    if (output && standard_error) {
        return Likeness::reproduces;
    }
    // A program that writes nothing to standard error has no words of its own there to differ.
    const bool errors_shown =
        program.standard_error.has_value() == variant.standard_error.has_value();
    if ((output || fault.output_may_differ) &&
        (standard_error || (fault.standard_error_may_differ && errors_shown))) {
        return Likeness::signature;
    }
    return Likeness::resembles;
}

// What one fault's variants that pass where the program passes do on its failed cases.
struct Found {
    const Fault* fault = nullptr;
    std::set<std::string> reproduced; // byte for byte
    std::set<std::string> signature;  // but for what may differ
};

std::string one_line(const std::string& hint)
{
    std::string line = hint;
    std::replace(line.begin(), line.end(), '\n', ' ');
    return line;
}

} // namespace

bool explains(const Fault& fault, const CaseResult& variant, const CaseResult& program)
{
    const Likeness found = likeness(fault, variant, program);
    return found == Likeness::reproduces || found == Likeness::signature;
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
    program.resembles.clear();
    if (program.verdict != ProgramVerdict::wrong) {
        return;
    }
    // Each fault in the order of the catalogue, with what its variants showed.
    std::vector<Found> faults;
    std::vector<const Fault*> resembling;
    for (const VariantRun& variant : variants) {
        auto found = std::find_if(faults.begin(), faults.end(),
                                  [&](const Found& one) { return one.fault == variant.fault; });
        if (found == faults.end()) {
            faults.push_back({variant.fault, {}, {}});
            found = faults.end() - 1;
        }
        const bool passes = passes_where_program_does(variant, program, left_out);
        for (const CaseResult& one : program.cases) {
            const CaseResult* ran = find_case(variant, one.name);
            const Likeness like =
                ran == nullptr ? Likeness::none : likeness(*variant.fault, *ran, one);
            if (passes && like == Likeness::reproduces) {
                found->reproduced.insert(one.name);
            } else if (passes && like == Likeness::signature) {
                found->signature.insert(one.name);
            } else if (like != Likeness::none && std::find(resembling.begin(), resembling.end(),
                                                           variant.fault) == resembling.end()) {
                resembling.push_back(variant.fault);
            }
        }
    }
    // A case one fault reproduces byte for byte is not another's by its signature alone: a
    // system("pause") that writes to standard error is a wait at the end, not a debugging line.
    std::set<std::string> reproduced;
    for (const Found& found : faults) {
        reproduced.insert(found.reproduced.begin(), found.reproduced.end());
    }
    std::vector<Diagnosis> named;
    std::vector<std::string> advice;
    for (const Found& found : faults) {
        Diagnosis diagnosis{found.fault->id, found.fault->hint, {}};
        bool wrong_case = false;
        for (const CaseResult& one : program.cases) {
            const bool byte_for_byte = found.reproduced.count(one.name) != 0;
            const bool by_signature =
                found.signature.count(one.name) != 0 && reproduced.count(one.name) == 0;
            if (byte_for_byte || by_signature) {
                diagnosis.cases.push_back(one.name);
                // A departure case that failed otherwise (a value never set) is as wrong as any.
                wrong_case = wrong_case || !one.departure || one.failed_otherwise;
            }
        }
        if (diagnosis.cases.empty()) {
            continue;
        }
        // A fault that explains only what departs from this project's choices is advice.
        if (!wrong_case) {
            advice.push_back(one_line(found.fault->hint));
        } else {
            named.push_back(std::move(diagnosis));
        }
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
    for (const Diagnosis& one : named) {
        if (std::none_of(named.begin(), named.end(),
                         [&](const Diagnosis& whole) { return within(one, whole); })) {
            program.diagnosis.push_back(one);
        }
    }
    // The fault that reproduces the most failed cases first; the catalogue's order between equals.
    std::stable_sort(program.diagnosis.begin(), program.diagnosis.end(),
                     [](const Diagnosis& one, const Diagnosis& other) {
                         return one.cases.size() > other.cases.size();
                     });
    // A fault is named only where, of each kind of failure it explains, the program's first is
    // explained: by itself, or by a fault that is so named. One that reproduces a few later cases
    // and not the first may do so by chance, as two averages that differ past the sixth digit
    // print alike; it is at most resembled.
    const auto first_of_its_kind = [&](const std::string& name) -> const CaseResult* {
        const auto failed = std::find_if(program.cases.begin(), program.cases.end(),
                                         [&](const CaseResult& one) { return one.name == name; });
        if (failed == program.cases.end()) {
            return nullptr;
        }
        const auto first =
            std::find_if(program.cases.begin(), program.cases.end(), [&](const CaseResult& one) {
                return counts_against(one, strict) && one.verdict == failed->verdict;
            });
        return first == program.cases.end() ? nullptr : &*first;
    };
    const auto holds = [](const Diagnosis& found, const std::string& name) {
        return std::find(found.cases.begin(), found.cases.end(), name) != found.cases.end();
    };
    const auto firsts_explained = [&](const Diagnosis& found,
                                      const std::vector<const Diagnosis*>& by) {
        return std::all_of(found.cases.begin(), found.cases.end(), [&](const std::string& name) {
            const CaseResult* first = first_of_its_kind(name);
            return first == nullptr ||
                   std::any_of(by.begin(), by.end(),
                               [&](const Diagnosis* other) { return holds(*other, first->name); });
        });
    };
    std::vector<const Diagnosis*> anchored;
    for (const Diagnosis& found : program.diagnosis) {
        if (firsts_explained(found, {&found})) {
            anchored.push_back(&found);
        }
    }
    std::vector<Diagnosis> kept;
    for (const Diagnosis& found : program.diagnosis) {
        if (firsts_explained(found, anchored)) {
            kept.push_back(found);
            continue;
        }
        for (const VariantRun& variant : variants) {
            if (variant.fault->id == found.fault && std::find(resembling.begin(), resembling.end(),
                                                              variant.fault) == resembling.end()) {
                resembling.push_back(variant.fault);
            }
        }
    }
    program.diagnosis = std::move(kept);
    for (const std::string& line : advice) {
        if (std::find(program.advice.begin(), program.advice.end(), line) == program.advice.end()) {
            program.advice.push_back(line);
        }
    }
    for (const Fault* fault : resembling) {
        const bool said =
            std::any_of(program.diagnosis.begin(), program.diagnosis.end(),
                        [&](const Diagnosis& found) { return found.fault == fault->id; });
        if (!said && std::find(program.resembles.begin(), program.resembles.end(), fault->id) ==
                         program.resembles.end()) {
            program.resembles.push_back(fault->id);
        }
    }
    if (program.diagnosis.empty()) {
        return; // with no fault named, every failure is unexplained: nothing to say
    }
    // A case no variant ran (a random input) is neither explained nor unexplained.
    const auto tried = [&variants](const std::string& name) {
        return std::any_of(variants.begin(), variants.end(), [&](const VariantRun& variant) {
            return variant.cases.count(name) != 0;
        });
    };
    const auto explained = [&](const std::string& name) {
        return std::any_of(
            program.diagnosis.begin(), program.diagnosis.end(), [&](const Diagnosis& found) {
                return std::find(found.cases.begin(), found.cases.end(), name) != found.cases.end();
            });
    };
    for (const CaseResult& one : program.cases) {
        if (counts_against(one, strict) && tried(one.name) && !explained(one.name)) {
            program.unexplained.push_back(one.name);
        }
    }
}

} // namespace check
