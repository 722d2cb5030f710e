#include "check.h"

#include "build_room.h"
#include "case_runs.h"
#include "cases.h"
#include "catalogue.h"
#include "compare.h"
#include "files.h"
#include "kept.h"
#include "made_headers.h"
#include "pool.h"
#include "sha256.h"
#include "variants.h"
#include "verdict.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <fstream>
#include <limits>
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

std::string replace_all(std::string text, const std::string& from, const std::string& to)
{
    for (std::size_t at = text.find(from); at != std::string::npos;
         at = text.find(from, at + to.size())) {
        text.replace(at, from.size(), to);
    }
    return text;
}

// One program of one person, and what is known of it so far.
struct ProgramCheck {
    std::size_t person = 0;
    ProgramResult* result = nullptr;
    const Exercise* exercise = nullptr;
    std::vector<Case> cases;
    fs::path executable;
    fs::path filled; // the build with unset variables filled, or empty
    bool built = false;
    std::atomic<std::size_t> cases_left{0};
    std::atomic<std::size_t> cases_done{0}; // for the steps shown
    std::vector<ProgramCheck*> twins; // others who handed in the same bytes: they get these results
    fs::path folder;                  // where the checker built it, removed once its cases have run
    std::atomic<std::uint64_t> room{0}; // what its builds take of its person's room
    TimeSpent time;                     // by its runs
    std::string results_key;            // what its results are kept by; empty: they are not
    bool from_store = false;            // its results were taken from the store
};

class Checker {
  public:
    Checker(const Settings& settings, Runner& runner, std::size_t people, const Progress& progress,
            const Steps& steps = {})
        : settings_(settings), runner_(runner), progress_(progress), steps_(steps),
          people_left_(people, 0), total_people_(people)
    {
        conditions_.crlf = settings.crlf;
        conditions_.memcheck = !settings.memcheck.empty();
        conditions_.limits = settings.run_limits;
        sandbox_ = base_sandbox(settings);
        for (std::size_t person = 0; person < people; ++person) {
            rooms_.push_back(std::make_unique<BuildRoom>(settings.build_limits.person_bytes));
            person_time_.push_back(std::make_unique<TimeSpent>());
        }
    }

    // Sets the program up to be checked; its cases run once it is built.
    // With cases, only the cases of those names.
    ProgramCheck& add(std::size_t person, ProgramResult& result, const Exercise& exercise,
                      const std::set<std::string>* cases = nullptr)
    {
        auto checked = std::make_unique<ProgramCheck>();
        checked->person = person;
        checked->result = &result;
        checked->exercise = &exercise;
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

    // One build for each distinct source: identical hand-ins share it. A source that cannot be
    // read does not compile, and says why.
    void compile_all()
    {
        std::map<std::string, std::vector<ProgramCheck*>> by_source;
        std::vector<ProgramCheck*> unread;
        for (const auto& checked : checked_) {
            if (checked->result->source.empty()) {
                continue;
            }
            const FileRead read = read_file(checked->result->source, largest_source);
            if (read.bytes) {
                by_source[checked->result->program + '\n' + *read.bytes].push_back(checked.get());
            } else {
                checked->result->compiler_output = read.problem + "\n";
                unread.push_back(checked.get());
            }
        }
        for (const auto& [key, group] : by_source) {
            for (const ProgramCheck* checked : group) {
                step(*checked, false);
            }
        }
        std::vector<Job> jobs;
        for (auto& [key, group] : by_source) {
            const std::string bytes = key.substr(key.find('\n') + 1);
            if (!take_kept(bytes, group)) {
                jobs.push_back(plan_builds(bytes, group));
            }
        }
        schedule(std::move(jobs));
        for (ProgramCheck* checked : unread) {
            schedule_cases(*checked);
        }
        for (const auto& checked : checked_) {
            if (checked->result->source.empty()) {
                finish_program(*checked);
            }
        }
    }

    // Programs already built: their cases are scheduled at once.
    void use_built(ProgramCheck& checked, const fs::path& executable)
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

    // From now on builds and results are kept in store, and taken from it.
    void keep_in(Store& store)
    {
        if (store.enabled() && !runner_.build_identity().empty()) {
            store_ = &store;
            identity_ = runner_.build_identity();
            judge_ = settings_.judge.empty() ? judge_version() : settings_.judge;
        }
    }

    // The programs whose results were taken from the store (with their diagnosis).
    std::set<const ProgramResult*> taken() const
    {
        std::set<const ProgramResult*> taken;
        for (const auto& checked : checked_) {
            if (checked->from_store) {
                taken.insert(checked->result);
            }
        }
        return taken;
    }

    // Keeps the results of the programs that were run, once they are diagnosed.
    void keep_results()
    {
        if (store_ == nullptr) {
            return;
        }
        std::set<std::string> kept;
        for (const auto& checked : checked_) {
            const ProgramResult& result = *checked->result;
            if (checked->from_store || checked->results_key.empty() ||
                !kept.insert(checked->results_key).second) {
                continue;
            }
            store_->keep_results(
                checked->results_key,
                KeptResults{checked->built,
                            replace_all(result.compiler_output, result.source, source_mark),
                            result.cases, result.diagnosis, result.unexplained, result.advice,
                            result.resembles});
        }
    }

    // Builds made while finding the sources, by the source's path.
    std::map<std::string, Prebuilt> built_before_;
    std::map<std::string, std::string> copied_from_; // a copy's person's source

  private:
    // The results kept for these bytes of the program, given to everyone who handed them in;
    // false when none are kept (the key they will be kept by is then set).
    bool take_kept(const std::string& bytes, const std::vector<ProgramCheck*>& group)
    {
        if (store_ == nullptr) {
            return false;
        }
        const Exercise& exercise = *group.front()->exercise;
        auto judging = judging_keys_.find(exercise.name);
        if (judging == judging_keys_.end()) {
            judging =
                judging_keys_
                    .emplace(exercise.name, key_of(judging_fields(settings_, exercise, judge_)))
                    .first;
        }
        const std::string key = key_of({{"judging", judging->second},
                                        {"compiler", identity_},
                                        {"program", exercise.name},
                                        {"source", sha256_hex(bytes)}});
        for (ProgramCheck* checked : group) {
            checked->results_key = key;
        }
        const std::optional<KeptResults> kept = store_->take_results(key);
        if (!kept || kept->cases.size() != group.front()->cases.size()) {
            return false;
        }
        for (ProgramCheck* checked : group) {
            ProgramResult& result = *checked->result;
            result.cases = kept->cases;
            result.compiler_output = replace_all(kept->compiler_output, source_mark, result.source);
            result.diagnosis = kept->diagnosis;
            result.unexplained = kept->unexplained;
            checked->built = kept->built;
            checked->from_store = true;
            finish_program(*checked);
            // Decided again from the cases, then as the diagnosis left them.
            result.advice = kept->advice;
            result.resembles = kept->resembles;
        }
        return true;
    }

    // A build as compile_one makes it, or the one kept for the same bytes and kind; what it
    // makes is kept. The compiler's messages name the copy as they would have.
    Build kept_build(const std::string& bytes, const fs::path& source, const fs::path& executable,
                     BuildKind kind, const std::function<Build()>& compile_one)
    {
        if (store_ == nullptr) {
            return compile_one();
        }
        const std::string program = source.stem().string();
        const std::string key = key_of(build_fields(identity_, program, bytes, kind));
        if (std::optional<Build> kept = store_->take_build(key, executable)) {
            kept->output = replace_all(kept->output, source_mark, source.string());
            return *kept;
        }
        Build build = compile_one();
        Build as_kept = build;
        as_kept.output = replace_all(build.output, source.string(), source_mark);
        store_->keep_build(key, as_kept, executable);
        return build;
    }

    // A program's builds (one, or two with the filled one), and the precompiled headers they
    // could share.
    struct Job {
        std::vector<std::string> headers; // the leading standard headers
        ProgramCheck* checked = nullptr;  // the first of those who handed in these bytes
        std::vector<std::function<void(const fs::path& precompiled)>> compiles;
    };

    // Writes the copy of the source the builds are made from, in a folder of its own, and plans
    // its builds; once they are made, its cases run.
    Job plan_builds(const std::string& bytes, const std::vector<ProgramCheck*>& group)
    {
        ProgramCheck& first = *group.front();
        const fs::path folder = settings_.work / std::to_string(folders_++);
        fs::create_directories(folder);
        share_with_sandbox(folder, true);
        const std::string program = first.result->program;
        const fs::path source = folder / (program + ".cpp");
        std::ofstream(source, std::ios::binary) << bytes;
        copied_from_[source.string()] = first.result->source;
        const bool fill = runner_.fills_unset() && needs_filled_build(first);
        // The same bytes behave the same: the cases run once, for the first of them.
        first.twins.assign(group.begin() + 1, group.end());
        first.folder = folder;
        for (ProgramCheck* checked : group) {
            checked->executable = folder / program;
            checked->filled = fill ? folder / (program + ".filled") : fs::path();
        }
        auto members = std::make_shared<std::vector<ProgramCheck*>>(group);
        auto builds_left = std::make_shared<std::atomic<int>>(fill ? 2 : 1);
        const auto built = [this, members, builds_left] {
            if (--*builds_left == 0) {
                schedule_cases(*members->front());
            }
        };
        Job job{leading_includes(bytes), &first, {}};
        const BuildKind plain{false, runs(first.cases, false)};
        auto kept_bytes = std::make_shared<const std::string>(bytes);
        job.compiles.emplace_back(
            [this, source, members, built, plain, kept_bytes](const fs::path& headers) {
                ProgramCheck& made = *members->front();
                const Build build = bounded(
                    made,
                    kept_build(*kept_bytes, source, made.executable, plain,
                               [&] { return compile(source, made.executable, plain, headers); }),
                    made.executable);
                for (ProgramCheck* checked : *members) {
                    checked->built = build.built;
                    // The messages name the person's own source, not the copy.
                    checked->result->compiler_output =
                        replace_all(build.output, source.string(), checked->result->source);
                }
                built();
            });
        if (fill) {
            const BuildKind filled{true, runs(first.cases, true)};
            job.compiles.emplace_back(
                [this, source, members, built, filled, kept_bytes](const fs::path& headers) {
                    ProgramCheck& made = *members->front();
                    const Build build = bounded(
                        made,
                        kept_build(
                            *kept_bytes, source, made.filled, filled,
                            [&] { return runner_.compile(source, made.filled, filled, headers); }),
                        made.filled);
                    if (!build.built) {
                        for (ProgramCheck* checked : *members) {
                            checked->filled.clear();
                        }
                    }
                    built();
                });
        }
        return job;
    }

    // Starts the builds, each once its person has room for it, those that share enough leading
    // headers (each set takes about as long as three compiles to make) once they are made.
    void schedule(std::vector<Job> jobs)
    {
        std::map<std::vector<std::string>, std::vector<Job>> sharing;
        for (Job& job : jobs) {
            sharing[job.headers].push_back(std::move(job));
        }
        for (auto& [headers, group] : sharing) {
            if (const auto made = settings_.made_headers && !headers.empty()
                                      ? settings_.made_headers->find(headers)
                                      : std::nullopt) {
                for (Job& job : group) {
                    start(std::move(job), *made);
                }
                continue;
            }
            std::size_t compiles = 0;
            for (const Job& job : group) {
                compiles += job.compiles.size();
            }
            if (!runner_.precompiles() || headers.empty() ||
                compiles < compiles_worth_precompiling) {
                for (Job& job : group) {
                    start(std::move(job), {});
                }
                continue;
            }
            const fs::path folder =
                settings_.made_headers ? settings_.made_headers->reserve(settings_.work)
                                       : settings_.work / ("headers-" + std::to_string(folders_++));
            auto waiting = std::make_shared<std::vector<Job>>(std::move(group));
            pool_.add([this, headers = headers, folder, waiting] {
                const bool made = runner_.precompile(headers, folder);
                if (made && settings_.made_headers) {
                    settings_.made_headers->add(headers, folder);
                }
                for (Job& job : *waiting) {
                    start(std::move(job), made ? folder : fs::path());
                }
            });
        }
    }

    // A program's builds take the most a program may be from its person's room until they are
    // made, and then what they are, until its cases have run. The pool waits for those that wait.
    void start(Job job, const fs::path& headers)
    {
        const std::uint64_t bytes = settings_.build_limits.program_bytes * job.compiles.size();
        job.checked->room = bytes;
        auto compiles = std::make_shared<std::vector<std::function<void(const fs::path&)>>>(
            std::move(job.compiles));
        pool_.hold();
        rooms_[job.checked->person]->take(bytes, [this, compiles, headers] {
            for (auto& compile_one : *compiles) {
                pool_.add([compile_one, headers] { compile_one(headers); });
            }
            pool_.release();
        });
    }

    // The build, unless the program is larger than a program may be: then it does not compile,
    // and is removed at once. What the build does not take of its room is given back.
    Build bounded(ProgramCheck& checked, Build build, const fs::path& executable)
    {
        const std::uint64_t largest = settings_.build_limits.program_bytes;
        std::error_code error;
        const std::uintmax_t size = build.built ? fs::file_size(executable, error) : 0;
        if (build.too_large || (build.built && !error && size > largest)) {
            fs::remove(executable, error);
            build = Build{false, "the program is larger than " + size_text(largest) + "\n"};
        }
        const std::uint64_t unused = largest - (build.built && !error ? size : 0);
        checked.room -= unused;
        rooms_[checked.person]->give_back(unused);
        return build;
    }

    // The plain build of a copy of a person's source: the one made while finding the source, if
    // it was, else a new one.
    Build compile(const fs::path& copy, const fs::path& executable, BuildKind kind,
                  const fs::path& headers)
    {
        const auto found = built_before_.find(copied_from_.at(copy.string()));
        if (found == built_before_.end() ||
            (found->second.build.built && !take_over(found->second.executable, executable))) {
            return runner_.compile(copy, executable, kind, headers);
        }
        Build build = found->second.build;
        build.output = replace_all(build.output, found->second.copy.string(), copy.string());
        return build;
    }

    // Moves a build made while finding the sources to where the check keeps its own: it is not
    // needed where it was, and takes room. False when it cannot be moved or copied.
    static bool take_over(const fs::path& from, const fs::path& to)
    {
        std::error_code error;
        fs::rename(from, to, error);
        if (!error) {
            return true;
        }
        error.clear();
        return fs::copy_file(from, to, fs::copy_options::overwrite_existing, error);
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

    static bool needs_filled_build(const ProgramCheck& checked)
    {
        for (const Case& one : checked.cases) {
            if (one.failed_read && one.kind == CaseKind::plain) {
                return true;
            }
        }
        return false;
    }

    void schedule_cases(ProgramCheck& checked)
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
        step(checked, false);
        const auto done = [this, &checked](std::size_t cases) {
            checked.cases_done += cases;
            if (--checked.cases_left == 0) {
                finish_program(checked);
            } else {
                step(checked, false);
            }
        };
        if (!batch.empty()) {
            pool_.add([this, &checked, batch, done] {
                std::vector<const Case*> cases;
                for (const std::size_t index : batch) {
                    cases.push_back(&checked.cases[index]);
                }
                ProgramRuns runs = runs_of(checked);
                std::vector<CaseResult> results = run_batch(cases, runs);
                for (std::size_t at = 0; at < batch.size(); ++at) {
                    checked.result->cases[batch[at]] = std::move(results[at]);
                }
                done(batch.size());
            });
        }
        for (const std::size_t index : alone) {
            if (checked.cases[index].kind == CaseKind::stress) {
                schedule_stress(checked, index, done);
                continue;
            }
            waiting_pool_.add([this, &checked, index, done] {
                ProgramRuns runs = runs_of(checked);
                checked.result->cases[index] = run_alone(checked.cases[index], runs);
                done(1);
            });
        }
    }

    // A stress case's first random input, and once the program has answered it the rest in as
    // many parts as runs go at once: a program checked alone has its random inputs run on every
    // processor, and one that does not answer waits out one time limit, not one a part.
    void schedule_stress(ProgramCheck& checked, std::size_t index,
                         const std::function<void(std::size_t)>& done)
    {
        struct Parts {
            std::mutex mutex;
            std::vector<StressPart> done;
            std::size_t left = 0;
            std::atomic<std::size_t> lowest_broken{std::numeric_limits<std::size_t>::max()};
        };
        auto parts = std::make_shared<Parts>();
        const auto finished = [&checked, index, done, parts](StressPart part) {
            bool last = false;
            {
                const std::lock_guard<std::mutex> lock(parts->mutex);
                parts->done.push_back(std::move(part));
                last = --parts->left == 0;
            }
            if (last) {
                checked.result->cases[index] = stress_result(checked.cases[index], parts->done);
                done(1);
            }
        };
        pool_.add([this, &checked, index, parts, finished] {
            const Case& one = checked.cases[index];
            const auto total = static_cast<std::size_t>(std::max(settings_.stress_runs, 0));
            ProgramRuns runs = runs_of(checked);
            StressPart first = run_stress_part(one, runs, 0, std::min<std::size_t>(total, 1),
                                               parts->lowest_broken);
            const std::size_t rest = total > 1 && !first.broken_at ? total - 1 : 0;
            const std::size_t count = rest == 0 ? 0 : std::min<std::size_t>(settings_.jobs, rest);
            {
                const std::lock_guard<std::mutex> lock(parts->mutex);
                parts->left = count + 1;
            }
            for (std::size_t part = 0; part < count; ++part) {
                const std::size_t from = 1 + rest * part / count;
                const std::size_t to = 1 + rest * (part + 1) / count;
                pool_.add([this, &checked, index, parts, finished, from, to] {
                    ProgramRuns part_runs = runs_of(checked);
                    finished(run_stress_part(checked.cases[index], part_runs, from, to - from,
                                             parts->lowest_broken));
                });
            }
            finished(std::move(first));
        });
    }

    ProgramRuns runs_of(ProgramCheck& checked)
    {
        return ProgramRuns{
            settings_,          conditions_,    sandbox_,     runner_,
            checked.executable, checked.filled, checked.time, *person_time_[checked.person]};
    }

    void finish_program(ProgramCheck& checked)
    {
        for (ProgramCheck* twin : checked.twins) {
            twin->result->cases = checked.result->cases;
            twin->built = checked.built;
            finish_program(*twin);
        }
        decide(*checked.result, checked.built, settings_.strict);
        step(checked, true);
        if (!checked.folder.empty()) { // its builds have done their work
            std::error_code error;
            fs::remove_all(checked.folder, error);
            rooms_[checked.person]->give_back(checked.room.exchange(0));
        }
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

    // Tells the steps shown where the program's check is.
    void step(const ProgramCheck& checked, bool finished) const
    {
        if (steps_) {
            const std::size_t cases = checked.cases.size();
            steps_(Step{checked.person, checked.result->program, checked.built || finished,
                        finished, finished ? cases : std::min(checked.cases_done.load(), cases),
                        cases});
        }
    }

    const Settings& settings_;
    Runner& runner_;
    const Progress& progress_;
    Steps steps_; // a copy: the default one given lives no longer than the constructor
    RunConditions conditions_;
    Sandbox sandbox_;
    Pool pool_;
    Pool waiting_pool_;
    std::vector<std::unique_ptr<ProgramCheck>> checked_;
    std::mutex progress_mutex_;
    std::vector<std::size_t> people_left_;
    std::size_t people_done_ = 0;
    std::size_t total_people_;
    std::size_t folders_ = 0;                       // the build folders made, by number
    std::vector<std::unique_ptr<BuildRoom>> rooms_; // each person's
    std::vector<std::unique_ptr<TimeSpent>> person_time_;
    Store* store_ = nullptr; // where builds and results are kept, if anywhere
    std::string identity_;   // the compiler's, as the runner says
    std::string judge_;
    std::map<std::string, std::string> judging_keys_; // by exercise
};

// Runs programs already built, each as a person of its own.
void run_built(std::vector<BuiltRun>& programs, const Settings& settings, Runner& runner)
{
    const Progress none;
    Checker checker(settings, runner, programs.size(), none);
    for (std::size_t index = 0; index < programs.size(); ++index) {
        BuiltRun& program = programs[index];
        program.result = ProgramResult{};
        program.result.program = program.exercise->name;
        program.result.source = program.executable.string();
        ProgramCheck& checked =
            checker.add(index, program.result, *program.exercise, program.cases);
        checked.filled = program.filled;
        checker.use_built(checked, program.executable);
    }
    checker.work();
}

ProgramResult empty_result(const Exercise& exercise)
{
    ProgramResult result;
    result.program = exercise.name;
    result.group = exercise.group;
    return result;
}

Report empty_report(const Settings& settings, const std::vector<Exercise>& exercises)
{
    Report report;
    report.exercises = exercises;
    report.sandbox = std::string(sandbox_name(settings.sandbox, settings.sandbox_kind));
    report.memory_limit = settings.sandbox ? settings.memory_limit : "";
    report.strict = settings.strict;
    report.bounds = {settings.build_limits.program_bytes, settings.build_limits.person_bytes,
                     settings.run_budget.program_seconds, settings.run_budget.person_seconds,
                     base_sandbox(settings).tmp_bytes};
    return report;
}

} // namespace

Sandbox base_sandbox(const Settings& settings)
{
    Sandbox sandbox;
    sandbox.enabled = settings.sandbox;
    sandbox.kind = settings.sandbox_kind;
    sandbox.hidden = {settings.case_data, default_case_data()}; // no expected outputs in reach
    // A program writes no file; under memcheck the tool writes its own few.
    if (!settings.memcheck.empty()) {
        sandbox.tmp_bytes = 16 * mebibyte;
    }
    if (!settings.store.empty()) {
        sandbox.hidden.push_back(settings.store); // nor the kept results
    }
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

Report check_located(const std::vector<Person>& people, std::vector<LocatedSources> located,
                     const std::vector<Exercise>& exercises, const Settings& settings,
                     Runner& runner, const Progress& progress, const Steps& steps)
{
    Report report = empty_report(settings, exercises);
    report.people.resize(people.size());
    Checker checker(settings, runner, people.size(), progress, steps);
    Store store(settings.store);
    checker.keep_in(store);
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
        person.late = people[index].late;
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
    add_compile_hints(report, settings.compile_hints);
    const std::set<const ProgramResult*> taken = checker.taken();
    if (settings.diagnose) {
        diagnose_people(
            report, settings, runner,
            [&runner](std::vector<BuiltRun>& programs, const Settings& limited) {
                run_built(programs, limited, runner);
            },
            taken);
    }
    checker.keep_results();
    store.prune(kept_for);
    report.from_store = taken.size();
    report.store_notes = store.notes();

    // Which people handed in the same bytes for a program.
    for (std::size_t slot = 0; slot < exercises.size(); ++slot) {
        std::map<std::string, std::vector<std::size_t>> by_bytes;
        for (std::size_t index = 0; index < report.people.size(); ++index) {
            const ProgramResult& result = report.people[index].programs[slot];
            const FileRead read =
                result.source.empty() ? FileRead{} : read_file(result.source, largest_source);
            if (read.bytes) {
                report.people[index].programs[slot].source_sha256 = sha256_hex(*read.bytes);
                by_bytes[*read.bytes].push_back(index);
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
    std::vector<std::pair<ProgramCheck*, fs::path>> found;
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
            ProgramCheck& checked = checker.add(0, result, exercises[slot]);
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
