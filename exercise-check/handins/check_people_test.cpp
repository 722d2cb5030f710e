#include "check_people.h"

#include "catalogue.h"
#include "test_folders.h"

#include <doctest/doctest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <mutex>
#include <sstream>

using namespace check;
namespace fs = std::filesystem;

namespace {

std::string read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

void write(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// Pretends to compile and run. A "source" names how its program behaves: "echo" prints its input
// (0 for none),
// "unset" prints 0 for empty input as built and something else with its unset variables filled,
// anything else prints "wrong". "broken" does not compile.
class FakeRunner : public Runner {
  public:
    bool precompiles() const override { return true; }
    bool fills_unset() const override { return true; }
    std::string build_identity() const override { return identity; }
    bool precompile(const std::vector<std::string>& /*headers*/, const fs::path& folder) override
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        precompiled.push_back(folder);
        return true;
    }
    Build compile(const fs::path& source, const fs::path& executable, BuildKind kind,
                  const fs::path& headers) override
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        const std::string text = read(source);
        compiles.push_back({text, kind.fill_unset, headers});
        behaviour[executable.string()] = {text, kind.fill_unset};
        // The "executable" holds what it behaves as, so that a copy of it behaves the same.
        write(executable, (kind.fill_unset ? "filled\n" : "plain\n") + text);
        return {text.find("broken") == std::string::npos, ""};
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
            results.push_back(run_locked(request));
        }
        return results;
    }

    struct Compile {
        std::string source;
        bool filled = false;
        fs::path headers;
    };
    std::vector<Compile> compiles;
    std::vector<fs::path> precompiled;
    std::size_t runs = 0;
    std::vector<std::pair<std::string, double>> wall_seconds; // each run's source and time limit
    std::string identity;                                     // builds are kept only with one

  private:
    RunResult run_locked(const RunRequest& request)
    {
        ++runs;
        RunResult result;
        result.ending = Ending::exited;
        result.status = request.stdout_to == Stdout::capture ? 0 : 1;
        if (behaviour.count(request.command.back()) == 0) {
            const std::string built = read(request.command.back());
            behaviour[request.command.back()] = {built.substr(built.find('\n') + 1),
                                                 built.rfind("filled\n", 0) == 0};
        }
        const auto [source, filled] = behaviour.at(request.command.back());
        wall_seconds.emplace_back(source, request.limits.wall_seconds);
        if (source.find("echo") != std::string::npos) {
            result.out = request.input.empty() ? "0\n" : request.input;
        } else if (source.find("unset") != std::string::npos) {
            result.out = request.input.empty() ? (filled ? "-16843010\n" : "0\n") : request.input;
        } else {
            result.out = "wrong\n";
        }
        return result;
    }

    std::mutex mutex_;
    std::map<std::string, std::pair<std::string, bool>> behaviour;
};

// Case data of its own: one exercise, "echo", whose program prints what it reads; its case
// "empty" is a failed read that must print 0.
struct Fixture {
    test::Scratch scratch;
    fs::path root = scratch.path;
    Settings settings;
    FakeRunner runner;

    Fixture()
    {
        write(root / "data" / "exercises.json",
              R"({"exercises": [{"name": "echo", "group": "calc"}]})");
        const fs::path cases = root / "data" / "calc" / "echo";
        write(cases / "plain.in", "5\n");
        write(cases / "plain.out", "5\n");
        write(cases / "empty.in", "");
        write(cases / "empty.out", "0\n");
        write(cases / "empty.labels", "failed-read\n");
        settings.case_data = root / "data";
        settings.exercises = load_catalogue(settings.case_data);
        settings.stdlib = "libstdc++";
        settings.sandbox = false;
        settings.work = root / "work";
        fs::create_directories(settings.work);
    }
    Fixture(const Fixture&) = delete;
    Fixture& operator=(const Fixture&) = delete;
    Fixture(Fixture&&) = delete;
    Fixture& operator=(Fixture&&) = delete;
    ~Fixture() = default;

    // A person whose echo.cpp holds that text (a folder without it when empty).
    Person person(const std::string& name, const std::string& source, const std::string& tail = "")
    {
        const fs::path folder = root / "people" / name;
        fs::create_directories(folder);
        if (!source.empty()) {
            write(folder / "echo.cpp", "#include <iostream>\n// " + source + tail + "\n");
        }
        return {name, folder, ""};
    }

    std::size_t compiles(bool filled) const
    {
        return static_cast<std::size_t>(std::count_if(
            runner.compiles.begin(), runner.compiles.end(),
            [&](const FakeRunner::Compile& compile) { return compile.filled == filled; }));
    }
};

ProgramVerdict verdict_of(const Report& report, std::size_t person)
{
    return report.people.at(person).programs.at(0).verdict;
}

} // namespace

TEST_CASE("identical hand-ins are built and run once, and each gets the verdict")
{
    Fixture fixture;
    const Report report =
        check_people({fixture.person("ann", "echo"), fixture.person("bob", "echo"),
                      fixture.person("cid", "other"), fixture.person("dee", "")},
                     fixture.settings, fixture.runner);
    CHECK(fixture.compiles(false) == 2);
    CHECK(fixture.compiles(true) == 2); // a failed-read case: each distinct source filled too
    CHECK(verdict_of(report, 0) == ProgramVerdict::correct);
    CHECK(verdict_of(report, 1) == ProgramVerdict::correct);
    CHECK(verdict_of(report, 2) == ProgramVerdict::wrong);
    CHECK(verdict_of(report, 3) == ProgramVerdict::absent);
    CHECK(report.people[0].programs[0].same_source_as == std::vector<std::string>{"bob"});
    CHECK(report.people[2].programs[0].same_source_as.empty());
    CHECK(report.people[1].programs[0].cases.size() == report.people[0].programs[0].cases.size());
    CHECK(report.exercises.size() == 1);
}

TEST_CASE("precompiled headers are made only for as many compiles as are worth it")
{
    for (const std::size_t people :
         {compiles_worth_precompiling / 2 - 1, compiles_worth_precompiling / 2}) {
        CAPTURE(people); // each source is compiled twice: as it is and filled
        Fixture fixture;
        std::vector<Person> all;
        for (std::size_t index = 0; index < people; ++index) {
            all.push_back(
                fixture.person("p" + std::to_string(index), "echo", " " + std::to_string(index)));
        }
        const Report report = check_people(all, fixture.settings, fixture.runner);
        const bool worth_it = people * 2 >= compiles_worth_precompiling;
        CHECK(fixture.runner.precompiled.size() == (worth_it ? 1U : 0U));
        for (const FakeRunner::Compile& compile : fixture.runner.compiles) {
            CHECK(compile.headers.empty() == !worth_it);
        }
        CHECK(verdict_of(report, 0) == ProgramVerdict::correct);
    }
}

TEST_CASE("a failed-read case runs both builds, and a value never set is a memory error")
{
    Fixture fixture;
    const Report report =
        check_people({fixture.person("ann", "unset")}, fixture.settings, fixture.runner);
    const ProgramResult& program = report.people[0].programs[0];
    CHECK(program.verdict == ProgramVerdict::wrong);
    for (const CaseResult& one : program.cases) {
        CAPTURE(one.name);
        CHECK(one.verdict ==
              (one.name == "calc.echo.empty" ? CaseVerdict::memory_error : CaseVerdict::passed));
    }
}

TEST_CASE("a program that does not compile runs no case")
{
    Fixture fixture;
    const Report report =
        check_people({fixture.person("ann", "broken")}, fixture.settings, fixture.runner);
    CHECK(verdict_of(report, 0) == ProgramVerdict::does_not_compile);
    CHECK(fixture.runner.runs == 0);
}

TEST_CASE("one case alone: its exercise only, and an error where it cannot run")
{
    Fixture fixture;
    fixture.settings.only_case = "calc.echo.plain";
    Report report = check_people({fixture.person("ann", "echo")}, fixture.settings, fixture.runner);
    REQUIRE(report.people[0].programs[0].cases.size() == 1);
    CHECK(report.people[0].programs[0].cases[0].name == "calc.echo.plain");

    fixture.settings.only_case = "calc.echo.no-such-case";
    CHECK_THROWS_WITH(
        check_people({fixture.person("ann", "echo")}, fixture.settings, fixture.runner),
        doctest::Contains("no case is named calc.echo.no-such-case"));
    fixture.settings.only_case = "calc.echo.plain";
    const fs::path empty = fixture.root / "nothing-built";
    fs::create_directories(empty);
    CHECK_THROWS_WITH(check_built(empty, fixture.settings, fixture.runner),
                      doctest::Contains("echo is not built"));
}

TEST_CASE("the variants of typical faults are built once for a class, and kept for the next")
{
    Fixture fixture;
    const fs::path cases = fixture.settings.case_data / "calc" / "echo";
    write(cases / "echo.cpp", "#include <iostream>\n// echo, the own program\n");
    write(cases / "faults.json", R"({"faults": [
        {"id": "prints-wrong", "hint": "It prints wrong.", "variants": [[{"replace": "echo", "with": "wrng"}]]},
        {"id": "unset-variable", "shows": "verdict", "hint": "Unset.", "variants": [[{"replace": "echo", "with": "unset"}]]}]})");
    fixture.settings.fault_cache = fixture.root / "kept";
    fixture.runner.identity = "fake compiler";
    const auto variant_compiles = [&fixture] {
        return std::count_if(fixture.runner.compiles.begin(), fixture.runner.compiles.end(),
                             [](const FakeRunner::Compile& compile) {
                                 return compile.source.find("own program") != std::string::npos;
                             });
    };

    // A class whose programs are right builds no variant.
    check_people({fixture.person("ann", "echo")}, fixture.settings, fixture.runner);
    CHECK(variant_compiles() == 0);

    // Two wrong programs: each variant is built once, plain and filled, for both.
    const Report report =
        check_people({fixture.person("bob", "other"), fixture.person("cid", "other", " again")},
                     fixture.settings, fixture.runner);
    CHECK(variant_compiles() == 4);
    // A variant that waits is ended sooner than a person's program.
    for (const auto& [source, seconds] : fixture.runner.wall_seconds) {
        const bool variant = source.find("own program") != std::string::npos;
        CHECK(seconds == doctest::Approx(variant ? 2.0 : 5.0));
    }
    for (const PersonResult& person : report.people) {
        const ProgramResult& program = person.programs.at(0);
        REQUIRE(program.diagnosis.size() == 1);
        CHECK(program.diagnosis[0].fault == "prints-wrong");
        CHECK(program.diagnosis[0].hint == "It prints wrong.");
        const auto failed =
            std::count_if(program.cases.begin(), program.cases.end(),
                          [](const CaseResult& one) { return one.verdict != CaseVerdict::passed; });
        CHECK(program.diagnosis[0].cases.size() == static_cast<std::size_t>(failed));
    }

    // The next check uses the kept builds; a check without diagnosis builds none.
    check_people({fixture.person("dee", "other", " once more")}, fixture.settings, fixture.runner);
    CHECK(variant_compiles() == 4);
    fixture.settings.diagnose = false;
    fixture.settings.fault_cache.clear();
    const Report plain = check_people({fixture.person("eve", "other", " and more")},
                                      fixture.settings, fixture.runner);
    CHECK(variant_compiles() == 4);
    CHECK(plain.people[0].programs[0].diagnosis.empty());
}

TEST_CASE("the variants' builds share precompiled headers when enough of them are to be made")
{
    for (const std::size_t faults : {std::size_t{2}, std::size_t{3}}) {
        CAPTURE(faults); // each variant is built twice: as it is and filled
        Fixture fixture;
        const fs::path cases = fixture.settings.case_data / "calc" / "echo";
        write(cases / "echo.cpp", "#include <iostream>\n// echo, the own program\n");
        std::string list;
        for (std::size_t index = 0; index < faults; ++index) {
            list += std::string(list.empty() ? "" : ", ") + R"({"id": "f)" + std::to_string(index) +
                    R"(", "hint": "h", "variants": [[{"replace": "echo", "with": "wrong)" +
                    std::to_string(index) + R"("}]]})";
        }
        write(cases / "faults.json", R"({"faults": [)" + list + "]}");
        fixture.settings.fault_cache = fixture.root / "kept";
        fixture.runner.identity = "fake compiler";
        const auto variant_compiles = [&fixture](bool with_headers) {
            return static_cast<std::size_t>(
                std::count_if(fixture.runner.compiles.begin(), fixture.runner.compiles.end(),
                              [&](const FakeRunner::Compile& compile) {
                                  return compile.source.find("own program") != std::string::npos &&
                                         compile.headers.empty() != with_headers;
                              }));
        };
        const bool worth_it = faults * 2 >= compiles_worth_precompiling;
        check_people({fixture.person("bob", "other")}, fixture.settings, fixture.runner);
        CHECK(fixture.runner.precompiled.size() == (worth_it ? 1U : 0U));
        CHECK(variant_compiles(worth_it) == faults * 2);
        CHECK(variant_compiles(!worth_it) == 0);
        // Kept from then on: nothing more to make.
        check_people({fixture.person("cid", "other", " again")}, fixture.settings, fixture.runner);
        CHECK(fixture.runner.precompiled.size() == (worth_it ? 1U : 0U));
        CHECK(variant_compiles(true) + variant_compiles(false) == faults * 2);
    }
}
