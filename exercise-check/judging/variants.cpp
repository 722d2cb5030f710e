#include "variants.h"

#include "build.h"
#include "cases.h"
#include "diagnosis.h"
#include "fault_cache.h"
#include "faults.h"
#include "files.h"
#include "made_headers.h"
#include "pool.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>

namespace check {

namespace fs = std::filesystem;

namespace {

// The exercises' own programs are small: a file larger than this is not one.
constexpr std::uint64_t largest_own_source = 1024 * 1024;

// One variant of one typical fault, for the exercise in slot: its source, its builds, its runs.
struct Variant {
    std::size_t slot = 0;
    const Fault* fault = nullptr;
    std::string source;
    fs::path executable; // empty when it did not build
    fs::path filled;
    ProgramResult result; // of the cases run so far
    VariantRun run;
};

// Builds source into folder/<program> (and <program>.filled with fill), from the kept builds
// where they are, keeping those it makes. False when it does not build.
bool build_kept(Runner& runner, const Settings& settings, Variant& variant,
                const std::string& program, const fs::path& folder, bool fill, std::size_t runs,
                const fs::path& headers)
{
    fs::create_directories(folder);
    share_with_sandbox(folder, true);
    const fs::path source = folder / (program + ".cpp");
    std::ofstream(source, std::ios::binary) << variant.source;
    const fs::path kept =
        kept_folder(settings.fault_cache, runner.build_identity(), variant.source);
    const auto one_build = [&](const std::string& name, BuildKind kind) {
        const fs::path executable = folder / name;
        if (fetch_kept(kept, name, executable)) {
            return true;
        }
        if (!runner.compile(source, executable, kind, headers).built) {
            return false;
        }
        keep(kept, name, executable);
        return true;
    };
    if (!one_build(program, BuildKind{false, runs})) {
        return false;
    }
    variant.executable = folder / program;
    if (fill && one_build(program + ".filled", BuildKind{true, runs})) {
        variant.filled = folder / (program + ".filled");
    }
    return true;
}

// Runs each variant on those of its exercise's cases that cases_of gives, adding the results to
// what it ran before.
void run_variants(std::vector<Variant*>& variants, const std::vector<Exercise>& exercises,
                  const std::vector<std::set<std::string>>& cases_of, const Settings& settings,
                  const RunBuilt& run_built)
{
    // A variant is the exercise's own program with a change, which ends in milliseconds: one that
    // runs for seconds waits or loops, and is ended sooner than a person's program is.
    constexpr double variant_seconds = 2;
    Settings limited = settings;
    limited.run_limits.wall_seconds = std::min(limited.run_limits.wall_seconds, variant_seconds);
    limited.run_limits.cpu_seconds = std::min(limited.run_limits.cpu_seconds, variant_seconds);
    std::vector<BuiltRun> programs;
    for (const Variant* variant : variants) {
        BuiltRun program;
        program.exercise = &exercises[variant->slot];
        program.executable = variant->executable;
        program.filled = variant->filled;
        program.cases = &cases_of[variant->slot];
        programs.push_back(std::move(program));
    }
    run_built(programs, limited);
    for (std::size_t index = 0; index < variants.size(); ++index) {
        for (const CaseResult& one : programs[index].result.cases) {
            variants[index]->run.cases[one.name] = one;
        }
    }
}

// What a class's diagnosis works on, per exercise: its wrong programs, the names of the cases
// they failed and of the others, its faults; and the variants of them all.
struct Diagnosing {
    std::vector<std::vector<ProgramResult*>> wrong;
    std::vector<std::vector<Fault>> faults;
    std::vector<std::set<std::string>> failed;
    std::vector<std::set<std::string>> rest;
    std::vector<std::set<std::string>> left_out; // cases the variants do not run
    std::vector<std::unique_ptr<Variant>> variants;

    explicit Diagnosing(std::size_t exercises)
        : wrong(exercises), faults(exercises), failed(exercises), rest(exercises),
          left_out(exercises)
    {
    }

    void add_wrong(std::size_t slot, ProgramResult& program)
    {
        wrong[slot].push_back(&program);
        for (const CaseResult& one : program.cases) {
            (one.verdict == CaseVerdict::passed ? rest : failed)[slot].insert(one.name);
        }
    }

    // The variants of the exercise's faults that can be made from its own program.
    void add_variants(std::size_t slot, const Settings& settings, const Exercise& exercise)
    {
        const fs::path own = own_source(settings.case_data, exercise);
        if (own.empty()) {
            return;
        }
        try {
            faults[slot] = load_faults(settings.case_data, exercise);
        } catch (const std::runtime_error&) {
            return; // faults that cannot be read name none: the check goes on without them
        }
        // Random inputs are left to the program's own check: each costs a variant hundreds of
        // runs, and only a shape backs it. The fixed cases tell the faults apart.
        for (const Case& one : load_cases(settings.case_data, exercise, settings.stdlib)) {
            if (one.kind == CaseKind::stress) {
                failed[slot].erase(one.name);
                rest[slot].erase(one.name);
                left_out[slot].insert(one.name);
            }
        }
        const FileRead read = read_file(own, largest_own_source);
        if (!read.bytes) {
            return; // nor does a program of its own that cannot be read
        }
        const std::string& bytes = *read.bytes;
        for (const Fault& fault : faults[slot]) {
            for (const std::vector<Change>& changes : fault.variants) {
                if (std::optional<std::string> source = apply(bytes, changes)) {
                    auto variant = std::make_unique<Variant>();
                    variant->slot = slot;
                    variant->fault = &fault;
                    variant->run.fault = &fault;
                    variant->source = std::move(*source);
                    variants.push_back(std::move(variant));
                }
            }
        }
    }
};

// Whether the exercise's programs are also built with unset variables filled: where a case of
// it reads what it cannot, so that what such a read leaves shows.
bool fills(const Exercise& exercise, const Settings& settings, const Runner& runner)
{
    const std::vector<Case> cases = load_cases(settings.case_data, exercise, settings.stdlib);
    return runner.fills_unset() && std::any_of(cases.begin(), cases.end(), [](const Case& one) {
               return one.failed_read && one.kind == CaseKind::plain;
           });
}

// The precompiled headers the variants' builds that are not kept will share, by the standard
// headers they start with: those a checker that checks again made before, and those made now
// for a set that enough compiles share (a fault's variant is its exercise's program with a
// change, so most of an exercise's share one).
std::map<std::vector<std::string>, fs::path>
variant_headers(const Diagnosing& diagnosing, const std::vector<Exercise>& exercises,
                const std::vector<bool>& filled, const Settings& settings, Runner& runner)
{
    std::map<std::vector<std::string>, fs::path> made;
    if (!runner.precompiles()) {
        return made;
    }
    std::map<std::vector<std::string>, std::size_t> compiles;
    for (const auto& variant : diagnosing.variants) {
        const std::string& program = exercises[variant->slot].name;
        const fs::path kept =
            kept_folder(settings.fault_cache, runner.build_identity(), variant->source);
        std::error_code error;
        const auto to_make = [&](const std::string& name) {
            return kept.empty() || !fs::exists(kept / name, error) ? std::size_t{1}
                                                                   : std::size_t{0};
        };
        const std::size_t count =
            to_make(program) + (filled[variant->slot] ? to_make(program + ".filled") : 0);
        if (count > 0) {
            compiles[leading_includes(variant->source)] += count;
        }
    }
    std::mutex made_mutex;
    Pool pool;
    std::size_t folders = 0;
    for (const auto& [headers, count] : compiles) {
        if (headers.empty()) {
            continue;
        }
        if (const auto kept =
                settings.made_headers ? settings.made_headers->find(headers) : std::nullopt) {
            made.emplace(headers, *kept);
            continue;
        }
        if (count < compiles_worth_precompiling) {
            continue;
        }
        const fs::path folder =
            settings.made_headers ? settings.made_headers->reserve(settings.work)
                                  : settings.work / ("fault-headers-" + std::to_string(folders++));
        pool.add([&, headers = headers, folder] {
            if (runner.precompile(headers, folder)) {
                const std::lock_guard<std::mutex> lock(made_mutex);
                made.emplace(headers, folder);
                if (settings.made_headers) {
                    settings.made_headers->add(headers, folder);
                }
            }
        });
    }
    pool.run(settings.jobs);
    return made;
}

// Builds every variant, several at a time; those that built.
std::vector<Variant*> build_variants(const Diagnosing& diagnosing,
                                     const std::vector<Exercise>& exercises,
                                     const Settings& settings, Runner& runner)
{
    std::vector<bool> filled(exercises.size(), false);
    for (const auto& variant : diagnosing.variants) {
        filled[variant->slot] = fills(exercises[variant->slot], settings, runner);
    }
    const std::map<std::vector<std::string>, fs::path> headers =
        variant_headers(diagnosing, exercises, filled, settings, runner);
    Pool builds;
    std::mutex built_mutex;
    std::vector<Variant*> built;
    for (std::size_t index = 0; index < diagnosing.variants.size(); ++index) {
        builds.add([&, index] {
            Variant& variant = *diagnosing.variants[index];
            const Exercise& exercise = exercises[variant.slot];
            const fs::path folder = settings.work / ("fault-" + std::to_string(index));
            // Linked as a program that runs many times: it is kept, and runs at every check.
            const std::size_t runs =
                load_cases(settings.case_data, exercise, settings.stdlib).size() +
                static_cast<std::size_t>(std::max(settings.stress_runs, 0));
            const auto shared = headers.find(leading_includes(variant.source));
            if (build_kept(runner, settings, variant, exercise.name, folder, filled[variant.slot],
                           runs, shared == headers.end() ? fs::path() : shared->second)) {
                const std::lock_guard<std::mutex> lock(built_mutex);
                built.push_back(&variant);
            }
        });
    }
    builds.run(settings.jobs);
    return built;
}

} // namespace

void diagnose_people(Report& report, const Settings& settings, Runner& runner,
                     const RunBuilt& run_built, const std::set<const ProgramResult*>& diagnosed)
{
    const std::vector<Exercise>& exercises = report.exercises;
    Diagnosing diagnosing(exercises.size());
    for (std::size_t slot = 0; slot < exercises.size(); ++slot) {
        for (PersonResult& person : report.people) {
            if (person.programs[slot].verdict == ProgramVerdict::wrong &&
                diagnosed.count(&person.programs[slot]) == 0) {
                diagnosing.add_wrong(slot, person.programs[slot]);
            }
        }
        if (!diagnosing.wrong[slot].empty()) { // a class whose programs are right costs nothing
            diagnosing.add_variants(slot, settings, exercises[slot]);
        }
        for (const std::string& name : diagnosing.failed[slot]) {
            diagnosing.rest[slot].erase(name);
        }
    }
    if (diagnosing.variants.empty()) {
        return;
    }

    std::vector<Variant*> built = build_variants(diagnosing, exercises, settings, runner);
    if (!settings.fault_cache.empty()) {
        constexpr std::chrono::hours month{24 * 30};
        prune_kept(settings.fault_cache, month);
    }
    // Every variant first runs, of each wrong program, the first case it fails each way (not a
    // departure, where there is one): a program's fault is seen there, and a variant that
    // explains none of them is at most what the program resembles. Those that explain one run
    // the other failed cases, and then the cases the programs passed, which a fault named must
    // pass too.
    std::vector<std::set<std::string>> first(exercises.size());
    std::vector<std::set<std::string>> others = diagnosing.failed;
    for (std::size_t slot = 0; slot < exercises.size(); ++slot) {
        for (const ProgramResult* program : diagnosing.wrong[slot]) {
            std::map<CaseVerdict, const CaseResult*> chosen;
            for (const CaseResult& one : program->cases) {
                if (one.verdict == CaseVerdict::passed ||
                    diagnosing.failed[slot].count(one.name) == 0) {
                    continue;
                }
                const CaseResult*& way = chosen[one.verdict];
                if (way == nullptr || (way->departure && !one.departure)) {
                    way = &one;
                }
            }
            for (const auto& [verdict, one] : chosen) {
                first[slot].insert(one->name);
                others[slot].erase(one->name);
            }
        }
    }
    const auto explaining_of = [&](const std::vector<Variant*>& variants) {
        std::vector<Variant*> explaining;
        for (Variant* variant : variants) {
            const auto& programs = diagnosing.wrong[variant->slot];
            if (std::any_of(programs.begin(), programs.end(), [&](const ProgramResult* program) {
                    return explains_any(variant->run, *program);
                })) {
                explaining.push_back(variant);
            }
        }
        return explaining;
    };
    run_variants(built, exercises, first, settings, run_built);
    std::vector<Variant*> explaining = explaining_of(built);
    run_variants(explaining, exercises, others, settings, run_built);
    run_variants(explaining, exercises, diagnosing.rest, settings, run_built);

    for (std::size_t slot = 0; slot < exercises.size(); ++slot) {
        std::vector<VariantRun> runs;
        for (const Variant* variant : built) {
            if (variant->slot == slot) {
                runs.push_back(variant->run);
            }
        }
        for (ProgramResult* program : diagnosing.wrong[slot]) {
            diagnose(*program, runs, settings.strict, diagnosing.left_out[slot]);
        }
    }
    // The variants' builds have done their work here; those worth keeping are in the cache.
    for (std::size_t index = 0; index < diagnosing.variants.size(); ++index) {
        std::error_code error;
        fs::remove_all(settings.work / ("fault-" + std::to_string(index)), error);
    }
}

} // namespace check
