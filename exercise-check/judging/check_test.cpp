// The check of located sources with a runner of the test's own: how large builds may be and how
// long they are kept, and how long a program that stops answering may take.
#include "catalogue.h"
#include "check.h"
#include "files.h"
#include "made_headers.h"
#include "stress.h"
#include "test_folders.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <vector>

namespace {

// The largest build a program may have in these tests, which the fake compiles hold to as the
// compile's file size limit does.
constexpr std::uint64_t largest_build = 1024 * 1024;

namespace fs = std::filesystem;
using namespace check;

// A number the source says after key=, or fallback: "size=2000000".
std::uint64_t number_after(const std::string& text, const std::string& key, std::uint64_t fallback)
{
    const std::size_t at = text.find(key + "=");
    return at == std::string::npos ? fallback : std::stoull(text.substr(at + key.size() + 1));
}

// The nth random input (from 1) of the default seed.
std::string nth_random_input(std::size_t nth)
{
    InputMaker inputs(Settings{}.seed);
    std::string input;
    for (std::size_t made = 0; made < nth; ++made) {
        input = inputs.next();
    }
    return input;
}

// Pretends to compile and run, taking no time. A source says how its program behaves:
// "right" prints its input ("0" for none), and "7" for a random input (its case's arguments say
// "random"); "loop" never ends; "loop-empty" never ends on an empty input; "breaks=N" prints
// what no shape allows on the Nth random input of the default seed (wherever it is given, as a
// program would), and "hangs=N" never ends on it; "slow" takes 4 s a run. "size=N" makes the build
// N bytes; "xfsz" stops the compiler at the largest file it may write.
class FakeRunner : public Runner {
  public:
    explicit FakeRunner(fs::path work) : work_(std::move(work)) {}
    bool precompiles() const override { return false; }
    bool fills_unset() const override { return fills; }
    bool precompile(const std::vector<std::string>& /*headers*/,
                    const fs::path& /*folder*/) override
    {
        return false;
    }
    Build compile(const fs::path& source, const fs::path& executable, BuildKind /*kind*/,
                  const fs::path& /*headers*/) override
    {
        const std::string text = read_file_or_throw(source, 1024 * 1024);
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            peak_build_bytes = std::max(peak_build_bytes, build_bytes());
        }
        // As the compile's file size limit has it: a build larger than a program may be stops
        // the linker at the limit.
        const std::uintmax_t size = number_after(text, "size", 1000);
        if (text.find("xfsz") != std::string::npos || size > largest_build) {
            return {false, "ld: final link failed: File too large\n", true};
        }
        test::touch(executable, text);
        fs::resize_file(executable, size);
        return {true, ""};
    }
    RunResult run(const RunRequest& request) override
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return run_locked(request);
    }
    std::vector<RunResult> run_all(const std::vector<RunRequest>& requests,
                                   const Sandbox& /*sandbox*/) override
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        std::vector<RunResult> results;
        for (const RunRequest& request : requests) {
            results.push_back(results.empty() || made_after(request, results.back())
                                  ? run_locked(request)
                                  : not_made());
        }
        return results;
    }

    // What the executables under work hold together.
    std::uint64_t build_bytes() const
    {
        std::uint64_t bytes = 0;
        std::error_code error;
        for (fs::recursive_directory_iterator it(work_, error), end; !error && it != end;
             it.increment(error)) {
            if (it->is_regular_file(error) && it->path().extension() != ".cpp") {
                bytes += it->file_size(error);
            }
        }
        return bytes;
    }

    bool fills = false; // builds programs with their unset variables filled too (the same)
    std::uint64_t peak_build_bytes = 0; // kept at once, as a compile starts or a program runs
    std::size_t random_runs = 0;
    std::size_t full_timeouts = 0; // runs that waited out the whole time limit
    double seconds = 0;            // that the runs would have taken

  private:
    RunResult run_locked(const RunRequest& request)
    {
        peak_build_bytes = std::max(peak_build_bytes, build_bytes());
        const std::string& executable = request.command.front();
        auto known = behaviour_.find(executable);
        if (known == behaviour_.end()) {
            known =
                behaviour_.emplace(executable, read_file_or_throw(executable, 1024 * 1024)).first;
        }
        const std::string& text = known->second;
        const bool random = std::find(request.command.begin(), request.command.end(), "random") !=
                            request.command.end();
        random_runs += random ? 1 : 0;
        const std::size_t breaks = number_after(text, "breaks", 0);
        const bool broken = random && breaks > 0 && request.input == nth_random_input(breaks);
        const double wall = request.limits.wall_seconds;
        const std::size_t hangs = number_after(text, "hangs", 0);
        const bool loops =
            (text.find("loop") != std::string::npos &&
             (text.find("loop-empty") == std::string::npos || request.input.empty())) ||
            (random && hangs > 0 && request.input == nth_random_input(hangs));
        const double takes = text.find("slow") != std::string::npos ? 4 : 0.001;
        RunResult result;
        if (loops || takes > wall) {
            result.ending = Ending::timed_out;
            result.seconds = wall;
            full_timeouts += wall >= 5 ? 1 : 0;
        } else {
            result.ending = Ending::exited;
            result.status = request.stdout_to == Stdout::capture ? 0 : 1;
            result.seconds = takes;
            result.out = !random ? request.input : broken ? "x\n" : "7\n";
            if (!random && request.input.empty()) {
                result.out = "0\n";
            }
        }
        seconds += result.seconds;
        return result;
    }

    fs::path work_;
    std::mutex mutex_;
    std::map<std::string, std::string> behaviour_;
};

// The fake runner with a compiler's identity, so that its builds and results may be kept; it
// counts its compiles and runs.
class KeepingRunner : public FakeRunner {
  public:
    KeepingRunner(fs::path work, std::string identity)
        : FakeRunner(std::move(work)), identity_(std::move(identity))
    {
    }
    std::string build_identity() const override { return identity_; }
    Build compile(const fs::path& source, const fs::path& executable, BuildKind kind,
                  const fs::path& headers) override
    {
        ++compiles;
        return FakeRunner::compile(source, executable, kind, headers);
    }
    RunResult run(const RunRequest& request) override
    {
        ++runs;
        return FakeRunner::run(request);
    }
    std::vector<RunResult> run_all(const std::vector<RunRequest>& requests,
                                   const Sandbox& sandbox) override
    {
        runs += requests.size();
        return FakeRunner::run_all(requests, sandbox);
    }
    std::atomic<std::size_t> compiles{0};
    std::atomic<std::size_t> runs{0};

  private:
    std::string identity_;
};

// Case data of its own: exercises e1..e6; each has six cases that print their input (the last
// one's empty, printing 0, a failed read), and one of random inputs whose outputs are integers.
struct Fixture {
    test::Scratch scratch;
    Settings settings;
    FakeRunner runner{scratch.path / "work"};

    Fixture()
    {
        std::string list;
        for (int number = 1; number <= 6; ++number) {
            const std::string name = "e" + std::to_string(number);
            list += std::string(list.empty() ? "" : ", ") + R"({"name": ")" + name +
                    R"(", "group": "g"})";
            const fs::path cases = scratch.path / "data" / "g" / name;
            for (int one = 1; one <= 6; ++one) {
                const std::string input = one == 6 ? "" : std::to_string(one) + "\n";
                test::touch(cases / ("c" + std::to_string(one) + ".in"), input);
                test::touch(cases / ("c" + std::to_string(one) + ".out"), one == 6 ? "0\n" : input);
            }
            test::touch(cases / "c6.labels", "failed-read\n"); // its input ends before a number
            test::touch(cases / "random.shape", "<int>\n");
            test::touch(cases / "random.args", "random\n");
        }
        test::touch(scratch.path / "data" / "exercises.json", R"({"exercises": [)" + list + "]}");
        settings.case_data = scratch.path / "data";
        settings.exercises = load_catalogue(settings.case_data);
        settings.stdlib = "libstdc++";
        settings.sandbox = false;
        settings.diagnose = false;
        settings.work = scratch.path / "work";
        settings.build_limits = {largest_build, 4 * largest_build};
        fs::create_directories(settings.work);
    }

    // Checks one person, whose source for exercise eN is sources[N - 1] (none where empty).
    Report check(const std::vector<std::string>& sources)
    {
        LocatedSources located;
        for (std::size_t index = 0; index < sources.size(); ++index) {
            if (!sources[index].empty()) {
                const fs::path path =
                    scratch.path / "ann" / ("e" + std::to_string(index + 1) + ".cpp");
                test::touch(path, "// " + sources[index] + "\n");
                located.sources.push_back({&settings.exercises[index], path});
            }
        }
        return check_located({{"ann", scratch.path / "ann", ""}}, {located}, settings.exercises,
                             settings, with == nullptr ? runner : *with);
    }
    Runner* with = nullptr; // the runner of the next checks, when not the fixture's
};

const CaseResult& case_named(const ProgramResult& program, const std::string& name)
{
    const auto found =
        std::find_if(program.cases.begin(), program.cases.end(), [&](const CaseResult& one) {
            return one.name == "g." + program.program + "." + name;
        });
    REQUIRE(found != program.cases.end());
    return *found;
}

} // namespace

TEST_CASE("a program larger than a program may be does not compile, and says why")
{
    struct Row {
        std::string what;
        std::string source;
        ProgramVerdict verdict;
        std::string output;
    };
    const std::string too_large = "the program is larger than 1 MiB\n";
    const std::vector<Row> rows = {
        {"a small program", "right", ProgramVerdict::correct, ""},
        {"as large as a program may be", "right size=1048576", ProgramVerdict::correct, ""},
        {"a byte larger", "right size=1048577", ProgramVerdict::does_not_compile, too_large},
        {"far larger", "right size=209715200", ProgramVerdict::does_not_compile, too_large},
        {"the compiler stopped at the largest file", "right xfsz", ProgramVerdict::does_not_compile,
         too_large},
    };
    for (const Row& row : rows) {
        CAPTURE(row.what);
        Fixture fixture;
        const Report report = fixture.check({row.source});
        const ProgramResult& program = report.people.at(0).programs.at(0);
        CHECK(program.verdict == row.verdict);
        CHECK(program.compiler_output == row.output);
        CHECK(fixture.runner.build_bytes() == 0); // none is kept once its cases have run
    }
}

TEST_CASE("a person's builds take no more room at once than a person's may")
{
    struct Row {
        std::string what;
        std::vector<std::string> sources;
    };
    const std::string largest = "right size=1048576";
    const std::vector<Row> rows = {
        {"six programs as large as may be", std::vector<std::string>(6, largest)},
        {"two too large among them",
         {largest, "right size=9000000", largest, largest, "right size=9000000", largest}},
        {"some that loop", {largest, "loop " + largest, largest, "loop " + largest, largest}},
    };
    for (const Row& row : rows) {
        CAPTURE(row.what);
        Fixture fixture;
        fixture.settings.jobs = 6;
        const Report report = fixture.check(row.sources);
        CHECK(fixture.runner.peak_build_bytes <= fixture.settings.build_limits.person_bytes);
        CHECK(fixture.runner.build_bytes() == 0);
        for (std::size_t index = 0; index < row.sources.size(); ++index) {
            CAPTURE(index);
            const ProgramResult& program = report.people[0].programs[index];
            const bool loops = row.sources[index].find("loop") != std::string::npos;
            const bool large = row.sources[index].find("9000000") != std::string::npos;
            CHECK(program.verdict == (large   ? ProgramVerdict::does_not_compile
                                      : loops ? ProgramVerdict::wrong
                                              : ProgramVerdict::correct));
        }
    }
}

TEST_CASE("random inputs stop at the first that breaks the program")
{
    struct Row {
        std::string what;
        std::string source;
        std::size_t least; // random inputs run: those up to the one that breaks it
        std::size_t most;  // and the rest of those run in one sandbox with it
        std::string which;
    };
    const std::vector<Row> rows = {
        {"a right program runs them all", "right", 200, 200, ""},
        {"broken by the first", "right breaks=1", 1, 1, "random input 1 of 200 (seed 20261208)"},
        {"broken by the third", "right breaks=3", 3, 3, "random input 3 of 200 (seed 20261208)"},
        {"broken by the 150th", "right breaks=150", 150, 181,
         "random input 150 of 200 (seed 20261208)"},
        {"broken by the last", "right breaks=200", 200, 200,
         "random input 200 of 200 (seed 20261208)"},
        // Where it does not end, none after it in the same sandbox is run: it breaks it as well.
        {"not ending on the 150th", "right hangs=150", 150, 150,
         "random input 150 of 200 (seed 20261208)"},
    };
    // Run one after another, and in parts at once: the same first.
    for (const unsigned jobs : {1U, 2U}) {
        for (const Row& row : rows) {
            CAPTURE(row.what);
            CAPTURE(jobs);
            Fixture fixture;
            fixture.settings.jobs = jobs;
            const Report report = fixture.check({row.source});
            const CaseResult& random = case_named(report.people[0].programs[0], "random");
            CHECK(fixture.runner.random_runs >= row.least);
            if (jobs == 1) { // in parts, another part may run on meanwhile
                CHECK(fixture.runner.random_runs <= row.most);
            }
            CHECK(fixture.runner.random_runs <= 200);
            CHECK(random.random_input == row.which);
            CHECK((random.verdict == CaseVerdict::passed) == row.which.empty());
        }
    }
}

TEST_CASE("a program that stops answering waits out few timeouts, the rest cut short")
{
    struct Row {
        std::string what;
        std::string source;
        double program_seconds; // its budget
        std::size_t most_full_timeouts;
        double most_seconds;
        ProgramVerdict verdict;
        std::string why_after; // in the reason of a case that ran last and timed out
    };
    // Eight cases that end by themselves (six, and two that see where the output goes) and the
    // random inputs, one at a time: two timeouts of 5 s, and then a second for each case left.
    const std::vector<Row> rows = {
        {"a right program", "right", 60, 0, 1, ProgramVerdict::correct, ""},
        {"one that loops on every case", "loop", 60, 2, 2 * 5 + 7 * 1 + 0.5, ProgramVerdict::wrong,
         "(stopped after 2 timeouts)"},
        // It loops on three cases, and on the empty random inputs run with the first of them.
        {"one that loops where its input is empty", "loop-empty", 60, 2, 2 * 5 + 4 * 1 + 0.5,
         ProgramVerdict::wrong, ""},
        // Its budget leaves time for three runs; then five cases and one random input are left.
        {"a slow one past its budget", "slow", 10, 0, 3 * 4 + 6 * 1 + 0.5, ProgramVerdict::wrong,
         "(stopped: the program's runs took their 10 s)"},
    };
    // With a second build for the cases that end their input early, that build runs only where
    // the first ended: beside a run that timed out, it would only wait out its time again.
    for (const Row& row : rows) {
        for (const bool fills : {false, true}) {
            CAPTURE(row.what);
            CAPTURE(fills);
            Fixture fixture;
            fixture.runner.fills = fills;
            fixture.settings.jobs = 1; // the runs one after another, as the sums above count them
            fixture.settings.run_budget.program_seconds = row.program_seconds;
            const Report report = fixture.check({row.source});
            const ProgramResult& program = report.people[0].programs[0];
            CHECK(program.verdict == row.verdict);
            CHECK(fixture.runner.full_timeouts <= row.most_full_timeouts);
            CHECK(fixture.runner.seconds <= row.most_seconds);
            // The cases that end whatever their input still pass with the time they are given.
            if (row.source == "loop-empty") {
                for (const char* name : {"c1", "c2", "c3", "c4", "c5"}) {
                    CHECK(case_named(program, name).verdict == CaseVerdict::passed);
                }
            }
            if (!row.why_after.empty()) {
                const CaseResult& last = case_named(program, "c6");
                CHECK(last.verdict == CaseVerdict::timeout);
                CHECK(last.why.find(row.why_after) != std::string::npos);
            }
        }
    }
}

TEST_CASE("a person's budget of time cuts the runs of all their programs")
{
    Fixture fixture;
    fixture.settings.jobs = 1;
    fixture.settings.run_budget = {100, 20};
    const Report report = fixture.check({"slow", "slow", "right"});
    // Five runs of 4 s fill the 20 s; then a second for each of the other 13 runs that wait.
    CHECK(fixture.runner.seconds <= 5 * 4 + 13 * 1 + 0.5);
    const CaseResult& last = case_named(report.people[0].programs[1], "c6");
    CHECK(last.verdict == CaseVerdict::timeout);
    CHECK(last.why.find("(stopped: the person's runs took their 20 s)") != std::string::npos);
    // A program that takes no time passes all the same: a second is enough for it.
    CHECK(report.people[0].programs[2].verdict == ProgramVerdict::correct);
}

TEST_CASE("a check takes the results kept for the same program, judged the same way")
{
    const std::vector<std::string> sources = {"right", "right", "right breaks=3"};
    struct Row {
        std::string what;
        std::function<void(Fixture&, std::vector<std::string>&, std::string& compiler)> change;
        std::size_t run_again;
        std::size_t compiles;
    };
    const std::vector<Row> rows = {
        {"nothing", [](Fixture&, std::vector<std::string>&, std::string&) {}, 0, 0},
        {"one source",
         [](Fixture&, std::vector<std::string>& changed, std::string&) {
             changed[1] = "right size=2000";
         },
         1, 1},
        {"the compiler",
         [](Fixture&, std::vector<std::string>&, std::string& compiler) { compiler += " 2"; }, 3,
         3},
        {"a case file",
         [](Fixture& fixture, std::vector<std::string>&, std::string&) {
             test::touch(fixture.settings.case_data / "g" / "e1" / "c1.out", "2\n");
         },
         1, 0}, // e1's: the other exercises' cases are as they were
        {"a limit",
         [](Fixture& fixture, std::vector<std::string>&, std::string&) {
             fixture.settings.run_limits.wall_seconds = 3;
         },
         3, 0},
        {"the random inputs' seed",
         [](Fixture& fixture, std::vector<std::string>&, std::string&) {
             fixture.settings.seed = 7;
         },
         3, 0},
        {"the judge",
         [](Fixture& fixture, std::vector<std::string>&, std::string&) {
             fixture.settings.judge = "judge 2";
         },
         3, 0},
    };
    for (const Row& row : rows) {
        CAPTURE(row.what);
        Fixture fixture;
        fixture.settings.store = fixture.scratch.path / "store";
        fixture.settings.judge = "judge 1";
        KeepingRunner first(fixture.settings.work, "fake c++");
        fixture.with = &first;
        const Report before = fixture.check(sources);
        CHECK(first.compiles == 3);
        CHECK(before.from_store == 0);

        std::vector<std::string> changed = sources;
        std::string compiler = "fake c++";
        row.change(fixture, changed, compiler);
        KeepingRunner again(fixture.settings.work, compiler);
        fixture.with = &again;
        const Report after = fixture.check(changed);
        CHECK(after.from_store == 3 - row.run_again);
        CHECK(again.compiles == row.compiles);
        CHECK((again.runs == 0) == (row.run_again == 0));
        CHECK(after.store_notes.empty());
        for (std::size_t slot = 0; slot < 3; ++slot) {
            const ProgramResult& was = before.people[0].programs[slot];
            const ProgramResult& is = after.people[0].programs[slot];
            const bool case_changed = row.what == "a case file" && slot == 0;
            if (row.what == "the random inputs' seed" && slot == 2) {
                continue; // the input it breaks on is not among another seed's
            }
            CHECK((is.verdict != was.verdict) == case_changed);
            REQUIRE(is.cases.size() == was.cases.size());
            for (std::size_t index = 0; index < is.cases.size(); ++index) {
                CHECK(is.cases[index].name == was.cases[index].name);
                if (row.what != "the random inputs' seed") { // which names the seed
                    CHECK(is.cases[index].random_input == was.cases[index].random_input);
                }
                CHECK((case_changed && index == 0) ==
                      (is.cases[index].verdict != was.cases[index].verdict));
            }
        }
    }
}

TEST_CASE("kept results that were damaged are run again, with a note, and never used")
{
    Fixture fixture;
    fixture.settings.store = fixture.scratch.path / "store";
    KeepingRunner first(fixture.settings.work, "fake c++");
    fixture.with = &first;
    const Report before = fixture.check({"right", "right breaks=2"});
    std::size_t damaged = 0;
    for (const auto& entry : fs::directory_iterator(fixture.settings.store / "results")) {
        std::string bytes = read_file_or_throw(entry.path(), 1 << 20);
        bytes.resize(bytes.size() - 1); // as a check killed while writing would leave it
        test::touch(entry.path(), bytes);
        ++damaged;
    }
    REQUIRE(damaged == 2);
    KeepingRunner again(fixture.settings.work, "fake c++");
    fixture.with = &again;
    const Report after = fixture.check({"right", "right breaks=2"});
    CHECK(after.from_store == 0);
    CHECK(after.store_notes.size() == 2);
    CHECK(again.runs > 0);
    CHECK(after.people[0].programs[1].verdict == before.people[0].programs[1].verdict);
    KeepingRunner third(fixture.settings.work, "fake c++"); // and they are kept anew
    fixture.with = &third;
    CHECK(fixture.check({"right", "right breaks=2"}).from_store == 2);
    CHECK(third.runs == 0);
}

// The fake runner as a compiler that reads precompiled headers: it notes each set it makes and
// the folder of headers each compile is given.
class PrecompilingRunner : public FakeRunner {
  public:
    using FakeRunner::FakeRunner;
    bool precompiles() const override { return true; }
    bool precompile(const std::vector<std::string>& headers, const fs::path& folder) override
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        made.push_back(headers);
        fs::create_directories(folder);
        return true;
    }
    Build compile(const fs::path& source, const fs::path& executable, BuildKind kind,
                  const fs::path& headers) override
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            given.push_back(headers);
        }
        return FakeRunner::compile(source, executable, kind, headers);
    }
    std::vector<std::vector<std::string>> made;
    std::vector<fs::path> given;

  private:
    std::mutex mutex_;
};

TEST_CASE("headers made once for a checker that checks again serve its later single compiles")
{
    Fixture fixture;
    PrecompilingRunner runner(fixture.settings.work);
    fixture.with = &runner;
    // Two sources start with the same standard headers, one with others, one with none.
    const std::vector<std::string> sources = {
        "right\n#include <iostream>", "right\n#include <iostream>",
        "right\n#include <cmath>\n#include <iostream>", "right"};
    fixture.check(sources); // too few compiles to share a set: nothing made
    CHECK(runner.made.empty());

    fixture.settings.made_headers = std::make_shared<MadeHeaders>();
    std::vector<fs::path> paths;
    for (int number = 1; number <= 5; ++number) { // e5 was never written
        paths.push_back(fixture.scratch.path / "ann" / ("e" + std::to_string(number) + ".cpp"));
    }
    prepare_headers(paths, fixture.settings.work, 2, runner, *fixture.settings.made_headers);
    REQUIRE(runner.made.size() == 2);
    prepare_headers(paths, fixture.settings.work, 2, runner, *fixture.settings.made_headers);
    CHECK(runner.made.size() == 2); // each set once

    runner.given.clear();
    const Report report = fixture.check(sources);
    CHECK(report.people[0].programs[0].verdict == ProgramVerdict::correct);
    const auto iostream = fixture.settings.made_headers->find({"iostream"});
    const auto both = fixture.settings.made_headers->find({"cmath", "iostream"});
    REQUIRE(iostream);
    REQUIRE(both);
    CHECK(*iostream != *both);
    CHECK(std::count(runner.given.begin(), runner.given.end(), *iostream) == 2);
    CHECK(std::count(runner.given.begin(), runner.given.end(), *both) == 1);
    CHECK(std::count(runner.given.begin(), runner.given.end(), fs::path()) == 1);
    CHECK(runner.made.size() == 2); // nothing made again
}
