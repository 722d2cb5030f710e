#include "check.h"

#include "cases.h"
#include "catalogue.h"
#include "compare.h"
#include "diagnosis.h"
#include "fault_cache.h"
#include "faults.h"
#include "pool.h"
#include "sha256.h"
#include "stress.h"
#include "verdict.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace check {

namespace fs = std::filesystem;

namespace {

std::string read_bytes(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::string replace_all(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// One program of one person, and what is known of it so far.
struct Checked {
    std::size_t person = 0;
    ProgramResult* result = nullptr;
    std::vector<Case> cases;
    fs::path executable;
    fs::path filled; // the build with unset variables filled, or empty
    bool built = false;
    std::atomic<std::size_t> cases_left{0};
    std::vector<Checked*> twins; // others who handed in the same bytes: they get these results
};

class Checker {
  public:
    Checker(const Settings& settings, Runner& runner, std::size_t people, const Progress& progress)
        : settings_(settings), runner_(runner), progress_(progress), people_left_(people, 0),
          total_people_(people)
    {
        judging_.crlf = settings.crlf;
        judging_.memcheck = !settings.memcheck.empty();
        judging_.limits = settings.run_limits;
        sandbox_ = base_sandbox(settings);
    }

    // Sets the program up to be checked; its cases run once it is built.
    // With cases, only the cases of those names.
    Checked& add(std::size_t person, ProgramResult& result, const Exercise& exercise,
                 const std::set<std::string>* cases = nullptr)
    {
        auto checked = std::make_unique<Checked>();
        checked->person = person;
        checked->result = &result;
        ++people_left_[person];
        checked->cases = load_cases(settings_.case_data, exercise, settings_.stdlib);
        if (!settings_.only_case.empty()) {
            std::vector<Case> only;
            for (const Case& one : checked->cases) {
                if (one.name == settings_.only_case) {
                    only.push_back(one);
                }
            }
            checked->cases = only;
        }
        if (cases != nullptr) {
            std::vector<Case> only;
            for (const Case& one : checked->cases) {
                if (cases->count(one.name) != 0) {
                    only.push_back(one);
                }
            }
            checked->cases = only;
        }
        checked_.push_back(std::move(checked));
        return *checked_.back();
    }

    void compile_all()
    {
        // One build for each distinct source: identical hand-ins share it.
        std::map<std::string, std::vector<Checked*>> by_source;
        for (const auto& checked : checked_) {
            if (!checked->result->source.empty()) {
                by_source[checked->result->program + '\n' + read_bytes(checked->result->source)]
                    .push_back(checked.get());
            }
        }
        // Each compile, and the precompiled headers it waits for where enough compiles share
        // them to be worth their cost (each takes as long as about three compiles to make).
        struct Job {
            std::vector<std::string> key; // the leading standard headers
            std::function<void(const fs::path& headers)> compile;
        };
        std::vector<Job> jobs;
        std::size_t number = 0;
        for (auto& [key, group] : by_source) {
            const fs::path folder = settings_.work / std::to_string(number++);
            fs::create_directories(folder);
            share_with_sandbox(folder, true);
            const std::string program = group.front()->result->program;
            const fs::path source = folder / (program + ".cpp");
            const std::string bytes = key.substr(key.find('\n') + 1);
            std::ofstream(source, std::ios::binary) << bytes;
            copied_from_[source.string()] = group.front()->result->source;
            const bool fill = runner_.fills_unset() && needs_filled_build(*group.front());
            auto members = std::make_shared<std::vector<Checked*>>(group);
            auto builds_left = std::make_shared<std::atomic<int>>(fill ? 2 : 1);
            // The same bytes behave the same: the cases run once, for the first of them.
            group.front()->twins.assign(group.begin() + 1, group.end());
            const auto built = [this, members, builds_left] {
                if (--*builds_left == 0) {
                    schedule_cases(*members->front());
                }
            };
            for (Checked* checked : group) {
                checked->executable = folder / program;
                if (fill) {
                    checked->filled = folder / (program + ".filled");
                }
            }
            const std::vector<std::string> headers = leading_includes(bytes);
            const BuildKind plain{false, runs(group.front()->cases, false)};
            jobs.push_back({headers, [this, source, folder, program, members, built,
                                      plain](const fs::path& precompiled) {
                                const Build build =
                                    compile(source, folder / program, plain, precompiled);
                                for (Checked* checked : *members) {
                                    checked->built = build.built;
                                    // The messages name the person's own source, not the copy.
                                    checked->result->compiler_output = replace_all(
                                        build.output, source.string(), checked->result->source);
                                }
                                built();
                            }});
            if (fill) {
                const BuildKind filled{true, runs(group.front()->cases, true)};
                jobs.push_back({headers, [this, source, folder, program, members, built,
                                          filled](const fs::path& precompiled) {
                                    const Build build =
                                        runner_.compile(source, folder / (program + ".filled"),
                                                        filled, precompiled);
                                    if (!build.built) {
                                        for (Checked* checked : *members) {
                                            checked->filled.clear();
                                        }
                                    }
                                    built();
                                }});
            }
        }
        std::map<std::vector<std::string>, std::vector<std::function<void(const fs::path&)>>>
            sharing;
        for (Job& job : jobs) {
            sharing[job.key].push_back(std::move(job.compile));
        }
        for (auto& [headers, compiles] : sharing) {
            if (!runner_.precompiles() || headers.empty() ||
                compiles.size() < compiles_worth_precompiling) {
                for (auto& compile_one : compiles) {
                    pool_.add([compile_one] { compile_one({}); });
                }
                continue;
            }
            const fs::path folder = settings_.work / ("headers-" + std::to_string(number++));
            auto waiting = std::make_shared<std::vector<std::function<void(const fs::path&)>>>(
                std::move(compiles));
            pool_.add([this, headers = headers, folder, waiting] {
                const bool made = runner_.precompile(headers, folder);
                for (auto& compile_one : *waiting) {
                    pool_.add(
                        [compile_one, folder, made] { compile_one(made ? folder : fs::path()); });
                }
            });
        }
        for (const auto& checked : checked_) {
            if (checked->result->source.empty()) {
                finish_program(*checked);
            }
        }
    }

    // Programs already built: their cases are scheduled at once.
    void use_built(Checked& checked, const fs::path& executable)
    {
        checked.executable = executable;
        checked.built = true;
        schedule_cases(checked);
    }

    // The waiting cases spend their time waiting, not working: they have threads of their own,
    // so that they do not hold up the builds and runs.
    void work()
    {
        waiting_pool_.hold();
        std::thread waiting([this] { waiting_pool_.run(settings_.jobs * 4); });
        pool_.run(settings_.jobs);
        waiting_pool_.release();
        waiting.join();
    }

    // Builds made while finding the sources, by the source's path.
    std::map<std::string, Prebuilt> built_before_;
    std::map<std::string, std::string> copied_from_; // a copy's person's source

  private:
    // The plain build of a copy of a person's source: the one made while finding the source, if
    // it was, else a new one.
    Build compile(const fs::path& copy, const fs::path& executable, BuildKind kind,
                  const fs::path& headers)
    {
        const auto found = built_before_.find(copied_from_.at(copy.string()));
        std::error_code error;
        if (found == built_before_.end() ||
            (found->second.build.built &&
             !fs::copy_file(found->second.executable, executable,
                            fs::copy_options::overwrite_existing, error))) {
            return runner_.compile(copy, executable, kind, headers);
        }
        Build build = found->second.build;
        build.output = replace_all(build.output, found->second.copy.string(), copy.string());
        return build;
    }

    // How many times the cases start the program's build, or its filled build.
    std::size_t runs(const std::vector<Case>& cases, bool filled) const
    {
        std::size_t count = 0;
        for (const Case& one : cases) {
            if (filled) {
                count += one.failed_read && one.kind == CaseKind::plain ? 1 : 0;
            } else {
                count += one.kind == CaseKind::stress
                             ? static_cast<std::size_t>(std::max(settings_.stress_runs, 0))
                             : 1;
            }
        }
        return count;
    }

    static bool needs_filled_build(const Checked& checked)
    {
        for (const Case& one : checked.cases) {
            if (one.failed_read && one.kind == CaseKind::plain) {
                return true;
            }
        }
        return false;
    }

    void schedule_cases(Checked& checked)
    {
        checked.result->cases.resize(checked.cases.size());
        if (!checked.built || checked.cases.empty()) {
            for (std::size_t index = 0; index < checked.cases.size(); ++index) {
                CaseResult& result = checked.result->cases[index];
                result.name = checked.cases[index].name;
                result.departure = checked.cases[index].departure;
                result.verdict = CaseVerdict::not_built;
                result.why = "the program did not compile, so this case could not run";
            }
            finish_program(checked);
            return;
        }
        // Runs of the same program share a sandbox where they can: one batch of the cases that
        // end by themselves, each waiting case on its own (it takes a moment), each stress case.
        std::vector<std::size_t> batch;
        std::vector<std::size_t> alone;
        for (std::size_t index = 0; index < checked.cases.size(); ++index) {
            const CaseKind kind = checked.cases[index].kind;
            (kind == CaseKind::waiting || kind == CaseKind::stress ? alone : batch)
                .push_back(index);
        }
        checked.cases_left = alone.size() + (batch.empty() ? 0 : 1);
        const auto done = [this, &checked] {
            if (--checked.cases_left == 0) {
                finish_program(checked);
            }
        };
        if (!batch.empty()) {
            pool_.add([this, &checked, batch, done] {
                run_batch(checked, batch);
                done();
            });
        }
        for (const std::size_t index : alone) {
            Pool& pool = checked.cases[index].kind == CaseKind::waiting ? waiting_pool_ : pool_;
            pool.add([this, &checked, index, done] {
                const Case& one = checked.cases[index];
                checked.result->cases[index] =
                    one.kind == CaseKind::stress
                        ? run_stress(checked, one)
                        : judge(one, runner_.run(request_for(one, checked.executable)), judging_);
                done();
            });
        }
    }

    // Whether the case also runs the build whose unset variables are filled with a pattern.
    static bool with_filled(const Checked& checked, const Case& one)
    {
        return one.failed_read && one.kind == CaseKind::plain && !checked.filled.empty();
    }

    void run_batch(Checked& checked, const std::vector<std::size_t>& batch) const
    {
        std::vector<RunRequest> requests;
        for (const std::size_t index : batch) {
            const Case& one = checked.cases[index];
            requests.push_back(request_for(one, checked.executable));
            if (with_filled(checked, one)) {
                requests.push_back(request_for(one, checked.filled));
            }
        }
        Sandbox sandbox = sandbox_;
        sandbox.read_only = {checked.executable};
        if (!checked.filled.empty()) {
            sandbox.read_only.push_back(checked.filled);
        }
        const std::vector<RunResult> results = runner_.run_all(requests, sandbox);
        std::size_t at = 0;
        for (const std::size_t index : batch) {
            const Case& one = checked.cases[index];
            const RunResult& result = results.at(at++);
            checked.result->cases[index] =
                with_filled(checked, one)
                    ? judge_unset_values(one, result, results.at(at++), judging_)
                    : judge(one, result, judging_);
        }
    }

    RunRequest request_for(const Case& one, const fs::path& executable) const
    {
        RunRequest request;
        request.command = settings_.memcheck;
        request.command.insert(request.command.end(), settings_.emulator.begin(),
                               settings_.emulator.end());
        request.command.push_back(executable.string());
        request.command.insert(request.command.end(), one.args.begin(), one.args.end());
        request.input = one.input;
        request.limits = settings_.run_limits;
        request.sandbox = sandbox_;
        request.sandbox.read_only.push_back(executable);
        switch (one.kind) {
        case CaseKind::waiting:
            request.input_stays_open = true;
            request.settles_on = settings_.crlf ? with_crlf(one.expected) : one.expected;
            break;
        case CaseKind::input_left_open: request.input_stays_open = true; break;
        case CaseKind::output_full: request.stdout_to = Stdout::full; break;
        case CaseKind::output_closed: request.stdout_to = Stdout::closed; break;
        case CaseKind::plain:
        case CaseKind::stress: break;
        }
        return request;
    }

    CaseResult run_stress(const Checked& checked, const Case& one) const
    {
        InputMaker inputs(settings_.seed);
        std::vector<std::string> given;
        std::vector<RunRequest> requests;
        for (int number = 1; number <= settings_.stress_runs; ++number) {
            Case random = one;
            random.input = inputs.next();
            given.push_back(random.input);
            requests.push_back(request_for(random, checked.executable));
        }
        const std::vector<RunResult> results = runner_.run_all(requests, sandbox_);
        double seconds = 0;
        for (std::size_t index = 0; index < results.size(); ++index) {
            seconds += results[index].seconds;
            CaseResult judged = judge_random_input(one, given[index], results[index], judging_);
            if (judged.verdict != CaseVerdict::passed) {
                judged.random_input = "random input " + std::to_string(index + 1) + " of " +
                                      std::to_string(settings_.stress_runs) + " (seed " +
                                      std::to_string(settings_.seed) + ")";
                judged.seconds = seconds;
                return judged;
            }
        }
        CaseResult passed;
        passed.name = one.name;
        passed.departure = one.departure;
        passed.seconds = seconds;
        return passed;
    }

    void finish_program(Checked& checked)
    {
        for (Checked* twin : checked.twins) {
            twin->result->cases = checked.result->cases;
            twin->built = checked.built;
            finish_program(*twin);
        }
        decide(*checked.result, checked.built, settings_.strict);
        bool person_done = false;
        std::size_t done = 0;
        {
            const std::lock_guard<std::mutex> lock(progress_mutex_);
            if (--people_left_[checked.person] == 0) {
                person_done = true;
                done = ++people_done_;
            }
        }
        if (person_done && progress_) {
            progress_(done, total_people_);
        }
    }

    const Settings& settings_;
    Runner& runner_;
    const Progress& progress_;
    Judging judging_;
    Sandbox sandbox_;
    Pool pool_;
    Pool waiting_pool_;
    std::vector<std::unique_ptr<Checked>> checked_;
    std::mutex progress_mutex_;
    std::vector<std::size_t> people_left_;
    std::size_t people_done_ = 0;
    std::size_t total_people_;
};

ProgramResult empty_result(const Exercise& exercise)
{
    ProgramResult result;
    result.program = exercise.name;
    result.group = exercise.group;
    return result;
}

// The exercises of an assignment, in the catalogue's order.
std::vector<Exercise> assigned(const Settings& settings)
{
    if (settings.programs.empty()) {
        return settings.exercises;
    }
    std::vector<Exercise> chosen;
    for (const std::string& name : settings.programs) {
        if (find_exercise(settings.exercises, name) == nullptr) {
            std::string known;
            for (const Exercise& exercise : settings.exercises) {
                known += (known.empty() ? "" : ", ") + exercise.name;
            }
            throw std::runtime_error("no exercise is named " + name + ": the exercises are " +
                                     known);
        }
    }
    for (const Exercise& exercise : settings.exercises) {
        if (std::find(settings.programs.begin(), settings.programs.end(), exercise.name) !=
            settings.programs.end()) {
            chosen.push_back(exercise);
        }
    }
    return chosen;
}

Report empty_report(const Settings& settings, const std::vector<Exercise>& exercises)
{
    Report report;
    report.exercises = exercises;
    report.sandbox = std::string(sandbox_name(settings.sandbox, settings.sandbox_kind));
    report.memory_limit = settings.sandbox ? settings.memory_limit : "";
    report.strict = settings.strict;
    return report;
}

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
                const std::string& program, const fs::path& folder, bool fill, std::size_t runs)
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
        if (!runner.compile(source, executable, kind, {}).built) {
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
                  Runner& runner)
{
    // A variant is the exercise's own program with a change, which ends in milliseconds: one that
    // runs for seconds waits or loops, and is ended sooner than a person's program is.
    constexpr double variant_seconds = 2;
    Settings limited = settings;
    limited.run_limits.wall_seconds = std::min(limited.run_limits.wall_seconds, variant_seconds);
    limited.run_limits.cpu_seconds = std::min(limited.run_limits.cpu_seconds, variant_seconds);
    const Progress none;
    Checker checker(limited, runner, variants.size(), none);
    for (std::size_t index = 0; index < variants.size(); ++index) {
        Variant& variant = *variants[index];
        variant.result = ProgramResult{};
        variant.result.program = exercises[variant.slot].name;
        variant.result.source = variant.executable.string();
        Checked& checked =
            checker.add(index, variant.result, exercises[variant.slot], &cases_of[variant.slot]);
        checked.filled = variant.filled;
        checker.use_built(checked, variant.executable);
    }
    checker.work();
    for (Variant* variant : variants) {
        for (const CaseResult& one : variant->result.cases) {
            variant->run.cases[one.name] = one;
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
        const std::string bytes = read_bytes(own);
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

// Builds every variant, several at a time; those that built.
std::vector<Variant*> build_variants(const Diagnosing& diagnosing,
                                     const std::vector<Exercise>& exercises,
                                     const Settings& settings, Runner& runner)
{
    Pool builds;
    std::mutex built_mutex;
    std::vector<Variant*> built;
    for (std::size_t index = 0; index < diagnosing.variants.size(); ++index) {
        builds.add([&, index] {
            Variant& variant = *diagnosing.variants[index];
            const Exercise& exercise = exercises[variant.slot];
            const std::vector<Case> cases =
                load_cases(settings.case_data, exercise, settings.stdlib);
            const bool fill = runner.fills_unset() &&
                              std::any_of(cases.begin(), cases.end(), [](const Case& one) {
                                  return one.failed_read && one.kind == CaseKind::plain;
                              });
            const fs::path folder = settings.work / ("fault-" + std::to_string(index));
            // Linked as a program that runs many times: it is kept, and runs at every check.
            const std::size_t runs =
                cases.size() + static_cast<std::size_t>(std::max(settings.stress_runs, 0));
            if (build_kept(runner, settings, variant, exercise.name, folder, fill, runs)) {
                const std::lock_guard<std::mutex> lock(built_mutex);
                built.push_back(&variant);
            }
        });
    }
    builds.run(settings.jobs);
    return built;
}

// Names the typical faults of each wrong program. The variants of an exercise's faults are built
// once for the class, and run first on the cases some wrong program failed; only those that
// explain a failure run on the other cases, to show they pass where the program does.
void diagnose_people(Report& report, const Settings& settings, Runner& runner)
{
    const std::vector<Exercise>& exercises = report.exercises;
    Diagnosing diagnosing(exercises.size());
    for (std::size_t slot = 0; slot < exercises.size(); ++slot) {
        for (PersonResult& person : report.people) {
            if (person.programs[slot].verdict == ProgramVerdict::wrong) {
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
    run_variants(built, exercises, diagnosing.failed, settings, runner);
    std::vector<Variant*> explaining;
    for (Variant* variant : built) {
        const auto& programs = diagnosing.wrong[variant->slot];
        if (std::any_of(programs.begin(), programs.end(), [&](const ProgramResult* program) {
                return explains_any(variant->run, *program);
            })) {
            explaining.push_back(variant);
        }
    }
    run_variants(explaining, exercises, diagnosing.rest, settings, runner);

    for (std::size_t slot = 0; slot < exercises.size(); ++slot) {
        std::vector<VariantRun> runs;
        for (const Variant* variant : explaining) {
            if (variant->slot == slot) {
                runs.push_back(variant->run);
            }
        }
        for (ProgramResult* program : diagnosing.wrong[slot]) {
            diagnose(*program, runs, settings.strict, diagnosing.left_out[slot]);
        }
    }
}

} // namespace

std::vector<Exercise> exercises_checked(const Settings& settings)
{
    if (settings.only_case.empty()) {
        return assigned(settings);
    }
    for (const Exercise& exercise : assigned(settings)) {
        const std::string prefix = exercise.group + "." + exercise.name + ".";
        if (settings.only_case.rfind(prefix, 0) == 0) {
            for (const Case& one : load_cases(settings.case_data, exercise, settings.stdlib)) {
                if (one.name == settings.only_case) {
                    return {exercise};
                }
            }
        }
    }
    throw std::runtime_error("no case is named " + settings.only_case +
                             ": exercise-check --list-cases lists them");
}

Sandbox base_sandbox(const Settings& settings)
{
    Sandbox sandbox;
    sandbox.enabled = settings.sandbox;
    sandbox.kind = settings.sandbox_kind;
    sandbox.hidden = {settings.case_data, default_case_data()}; // no expected outputs in reach
    return sandbox;
}

std::filesystem::path default_fault_cache()
{
    const char* cache = std::getenv("XDG_CACHE_HOME");
    if (cache != nullptr && *cache == '/') {
        return fs::path(cache) / "exercise-check" / "faults";
    }
    const char* home = std::getenv("HOME");
    if (home != nullptr && *home == '/') {
        return fs::path(home) / ".cache" / "exercise-check" / "faults";
    }
    return {};
}

Report check_located(const std::vector<Person>& people, std::vector<Located> located,
                     const std::vector<Exercise>& exercises, const Settings& settings,
                     Runner& runner, const Progress& progress)
{
    Report report = empty_report(settings, exercises);
    report.people.resize(people.size());
    Checker checker(settings, runner, people.size(), progress);
    for (std::size_t index = 0; index < people.size(); ++index) {
        const std::vector<Source>& sources = located[index].sources;
        checker.built_before_.merge(located[index].builds);
        PersonResult& person = report.people[index];
        person.name = people[index].name;
        person.folder = people[index].folder.string();
        person.note = people[index].note;
        for (const std::string& line : located[index].notes) {
            person.note += (person.note.empty() ? "" : "; ") + line;
        }
        person.id = people[index].id;
        for (const Exercise& exercise : exercises) {
            person.programs.push_back(empty_result(exercise));
        }
        for (std::size_t slot = 0; slot < exercises.size(); ++slot) {
            ProgramResult& result = person.programs[slot];
            for (const Source& source : sources) {
                if (source.exercise->name == exercises[slot].name) {
                    result.source = source.path.string();
                }
            }
            checker.add(index, result, exercises[slot]);
        }
    }
    checker.compile_all();
    checker.work();
    if (settings.diagnose) {
        diagnose_people(report, settings, runner);
    }

    // Which people handed in the same bytes for a program.
    for (std::size_t slot = 0; slot < exercises.size(); ++slot) {
        std::map<std::string, std::vector<std::size_t>> by_bytes;
        for (std::size_t index = 0; index < report.people.size(); ++index) {
            const ProgramResult& result = report.people[index].programs[slot];
            if (!result.source.empty()) {
                const std::string bytes = read_bytes(result.source);
                report.people[index].programs[slot].source_sha256 = sha256_hex(bytes);
                by_bytes[bytes].push_back(index);
            }
        }
        for (const auto& [bytes, group] : by_bytes) {
            for (const std::size_t index : group) {
                for (const std::size_t other : group) {
                    if (other != index) {
                        report.people[index].programs[slot].same_source_as.push_back(
                            report.people[other].name);
                    }
                }
            }
        }
    }
    return report;
}

Report check_built(const fs::path& folder, const Settings& settings, Runner& runner)
{
    const std::vector<Exercise> exercises = exercises_checked(settings);
    Report report = empty_report(settings, exercises);
    report.people.resize(1);
    PersonResult& person = report.people.front();
    person.name = folder.filename().string();
    person.folder = folder.string();
    for (const Exercise& exercise : exercises) {
        person.programs.push_back(empty_result(exercise));
    }
    const Progress none;
    Checker checker(settings, runner, 1, none);
    std::vector<std::pair<Checked*, fs::path>> found;
    for (std::size_t slot = 0; slot < exercises.size(); ++slot) {
        ProgramResult& result = person.programs[slot];
        for (const fs::path& candidate :
             {folder / exercises[slot].name, folder / (exercises[slot].name + ".exe")}) {
            std::error_code error;
            if (result.source.empty() && fs::is_regular_file(candidate, error)) {
                result.source = candidate.string();
            }
        }
        if (!result.source.empty()) {
            Checked& checked = checker.add(0, result, exercises[slot]);
            found.emplace_back(&checked, result.source);
        } else if (!settings.only_case.empty()) {
            throw std::runtime_error(settings.only_case + " cannot run: " + exercises[slot].name +
                                     " is not built in " + folder.string());
        }
    }
    for (auto& [checked, executable] : found) {
        checker.use_built(*checked, executable);
    }
    checker.work();
    return report;
}

} // namespace check
