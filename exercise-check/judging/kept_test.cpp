// The store of kept builds and results: what their keys hold, entries that cannot be trusted,
// and pruning.
#include "kept.h"

#include "files.h"
#include "runner.h"
#include "test_folders.h"

#include <doctest/doctest.h>

#include <functional>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace check;
using test::touch;

// Case data of two exercises, a of group g and b of group h, each with one case.
struct Data {
    test::Scratch scratch;
    Settings settings;
    Exercise a{"a", "g", "", "a", "A"};

    Data()
    {
        touch(scratch.path / "data" / "exercises.json", "{}");
        touch(scratch.path / "data" / "g" / "a" / "one.in", "1\n");
        touch(scratch.path / "data" / "g" / "a" / "one.out", "1\n");
        touch(scratch.path / "data" / "h" / "b" / "one.out", "2\n");
        settings.case_data = scratch.path / "data";
    }
};

// The key a check keeps a program's results by, as check_located makes it.
std::string results_key(const Settings& settings, const Exercise& exercise,
                        const std::string& compiler, const std::string& source,
                        const std::string& judge)
{
    return key_of({{"judging", key_of(judging_fields(settings, exercise, judge))},
                   {"compiler", compiler},
                   {"program", exercise.name},
                   {"source", source}});
}

} // namespace

TEST_CASE("whatever a program's build or judging depends on changes its key, and nothing else")
{
    Compiler compiler;
    compiler.command = "c++";
    compiler.flags = {"-std=c++17", "-Wall"};
    compiler.version = "12.2";
    compiler.stdlib = "libstdc++";
    const auto identity = [](const Compiler& used) {
        return SystemRunner(used, Sandbox{}, Limits{}).build_identity();
    };
    struct Row {
        std::string what;
        std::function<void(Data&, Compiler&, std::string& source, std::string& judge)> change;
        bool reruns;
    };
    const std::vector<Row> rows = {
        {"nothing", [](Data&, Compiler&, std::string&, std::string&) {}, false},
        {"the source", [](Data&, Compiler&, std::string& source, std::string&) { source += ' '; },
         true},
        {"the compiler's version",
         [](Data&, Compiler& used, std::string&, std::string&) { used.version = "13.1"; }, true},
        {"the compiler",
         [](Data&, Compiler& used, std::string&, std::string&) { used.command = "clang++"; }, true},
        {"an option",
         [](Data&, Compiler& used, std::string&, std::string&) { used.flags.push_back("-O2"); },
         true},
        {"the standard library",
         [](Data& data, Compiler& used, std::string&, std::string&) {
             used.stdlib = "libc++";
             data.settings.stdlib = "libc++";
         },
         true},
        {"a case file's bytes",
         [](Data& data, Compiler&, std::string&, std::string&) {
             touch(data.settings.case_data / "g" / "a" / "one.out", "1 \n");
         },
         true},
        {"a new case file",
         [](Data& data, Compiler&, std::string&, std::string&) {
             touch(data.settings.case_data / "g" / "a" / "two.in", "");
         },
         true},
        {"the catalogue",
         [](Data& data, Compiler&, std::string&, std::string&) {
             touch(data.settings.case_data / "exercises.json", "{ }");
         },
         true},
        {"another group's case",
         [](Data& data, Compiler&, std::string&, std::string&) {
             touch(data.settings.case_data / "h" / "b" / "one.out", "3\n");
         },
         false},
        {"the time limit",
         [](Data& data, Compiler&, std::string&, std::string&) {
             data.settings.run_limits.wall_seconds = 2;
         },
         true},
        {"the memory limit",
         [](Data& data, Compiler&, std::string&, std::string&) {
             data.settings.run_limits.memory_bytes /= 2;
         },
         true},
        {"the random inputs' seed",
         [](Data& data, Compiler&, std::string&, std::string&) { data.settings.seed += 1; }, true},
        {"how many random inputs",
         [](Data& data, Compiler&, std::string&, std::string&) { data.settings.stress_runs = 20; },
         true},
        {"the sandbox",
         [](Data& data, Compiler&, std::string&, std::string&) {
             data.settings.sandbox_kind = SandboxKind::landlock;
         },
         true},
        {"the judge's version",
         [](Data&, Compiler&, std::string&, std::string& judge) { judge += " rebuilt"; }, true},
    };
    Data before;
    const std::string key =
        results_key(before.settings, before.a, identity(compiler), "int main() {}", "judge 1");
    for (const Row& row : rows) {
        CAPTURE(row.what);
        Data data;
        Compiler changed = compiler;
        std::string source = "int main() {}";
        std::string judge = "judge 1";
        row.change(data, changed, source, judge);
        // Another scratch folder than before: the case data's place is not part of the key.
        CHECK((results_key(data.settings, data.a, identity(changed), source, judge) != key) ==
              row.reruns);
        const bool rebuilds = row.what == "the source" || row.what.rfind("the compiler", 0) == 0 ||
                              row.what == "an option" || row.what == "the standard library";
        CHECK((key_of(build_fields(identity(changed), "a", source, {})) !=
               key_of(build_fields(identity(compiler), "a", "int main() {}", {}))) == rebuilds);
    }
    // A build for many runs is linked otherwise than one for a few, and a filled one is its own.
    const std::string plain = key_of(build_fields("c++", "a", "x", {false, 1}));
    CHECK(key_of(build_fields("c++", "a", "x", {false, 200})) != plain);
    CHECK(key_of(build_fields("c++", "a", "x", {true, 1})) != plain);
    CHECK(key_of({{"a", "b\nc=1:d"}}) != key_of({{"a", "b"}, {"c", "d"}}));
}

TEST_CASE("kept results are the same data again, bytes that are not UTF-8 and all")
{
    KeptResults kept;
    kept.built = true;
    kept.compiler_output = source_mark + ":1: warning\n";
    CaseResult one;
    one.name = "g.a.one";
    one.verdict = CaseVerdict::wrong_output;
    one.why = "wrong output";
    one.args = {"-x", ""};
    one.input = shown("input", "1\n", 100);
    one.actual = ShownText{"actual output", std::string("\xff\xfe\0z", 4), 7};
    one.difference = Difference{2, 3, "a blank", "'z'"};
    one.in_words = "line 2: write a blank";
    one.exit_status = 3;
    one.seconds = 0.25;
    kept.cases = {one, CaseResult{}};
    kept.diagnosis = {{"integer-division", "divide as double", {"g.a.one"}}};
    kept.unexplained = {"g.a.two"};
    kept.advice = {"lost output ends with 0"};
    kept.resembles = {"pi-3.14"};

    const std::optional<KeptResults> back = results_from(results_text(kept));
    REQUIRE(back);
    CHECK(back->built);
    CHECK(back->compiler_output == kept.compiler_output);
    REQUIRE(back->cases.size() == 2);
    const CaseResult& again = back->cases[0];
    CHECK(again.verdict == CaseVerdict::wrong_output);
    CHECK(again.args == one.args);
    CHECK(again.actual->bytes == one.actual->bytes);
    CHECK(again.actual->left_out == 7);
    CHECK_FALSE(again.expected);
    CHECK(again.difference->column == 3);
    CHECK(again.in_words == one.in_words);
    CHECK(again.exit_status == 3);
    CHECK_FALSE(back->cases[1].exit_status);
    CHECK(back->diagnosis.at(0).cases == kept.diagnosis[0].cases);
    CHECK(back->unexplained == kept.unexplained);
    CHECK(back->advice == kept.advice);
    CHECK(back->resembles == kept.resembles);
    CHECK_FALSE(results_from("not results"));

    kept.cases[1].verdict = CaseVerdict::timeout; // rests on how busy the machine was
    CHECK_FALSE(worth_keeping(kept));
}

TEST_CASE("an entry that is damaged, half written or not the checker's own is never used")
{
    struct Row {
        std::string what;
        std::function<void(const fs::path& entry)> damage;
        std::string note;
    };
    const auto rewrite = [](const fs::path& entry, const std::function<void(std::string&)>& edit) {
        std::string bytes = read_file_or_throw(entry, 1 << 20);
        edit(bytes);
        touch(entry, bytes);
        fs::permissions(entry, fs::perms::owner_read | fs::perms::owner_write);
    };
    std::vector<Row> rows = {
        {"a byte changed",
         [&](const fs::path& entry) {
             rewrite(entry, [](std::string& bytes) { bytes.back() ^= 1; });
         },
         "damaged"},
        {"cut short, as by a check killed while writing",
         [&](const fs::path& entry) {
             rewrite(entry, [](std::string& bytes) { bytes.resize(bytes.size() / 2); });
         },
         "half written"},
        {"emptied", [&](const fs::path& entry) { touch(entry, ""); }, "not an entry"},
        {"its hash made to fit other bytes",
         [&](const fs::path& entry) {
             rewrite(entry, [](std::string& bytes) {
                 bytes = "exercise-check kept 1 " + std::string(64, '0') + " 3\nabc";
             });
         },
         "damaged"},
        {"others may write it",
         [](const fs::path& entry) {
             fs::permissions(entry, fs::perms::others_write, fs::perm_options::add);
         },
         "others may write"},
        {"a link to an entry",
         [](const fs::path& entry) {
             fs::rename(entry, entry.string() + ".real");
             fs::create_symlink(entry.string() + ".real", entry);
         },
         "not a plain file"},
    };
    if (geteuid() == 0) {
        rows.push_back(
            {"written by another user",
             [](const fs::path& entry) { REQUIRE(chown(entry.c_str(), 4321, 4321) == 0); },
             "another user"});
    }
    KeptResults kept;
    kept.built = true;
    kept.cases = {CaseResult{}};
    for (const Row& row : rows) {
        CAPTURE(row.what);
        const test::Scratch scratch;
        Store store(scratch.path / "store");
        const std::string key = std::string(64, 'c');
        store.keep_results(key, kept);
        REQUIRE(store.take_results(key));
        row.damage(scratch.path / "store" / "results" / key);
        CHECK_FALSE(store.take_results(key));
        REQUIRE(store.notes().size() == 1);
        CHECK(store.notes()[0].find(row.note) != std::string::npos);
        // Made again, it is kept again.
        store.keep_results(key, kept);
        CHECK(store.take_results(key));
    }

    const test::Scratch scratch;
    Store store(scratch.path / "store");
    touch(scratch.path / "program", "the program");
    store.keep_build("b", Build{true, source_mark + ": warning\n"}, scratch.path / "program");
    const std::optional<Build> build = store.take_build("b", scratch.path / "copy");
    REQUIRE(build);
    CHECK(build->output == source_mark + ": warning\n");
    CHECK(read_file_or_throw(scratch.path / "copy", 100) == "the program");
    CHECK((fs::status(scratch.path / "copy").permissions() & fs::perms::owner_exec) !=
          fs::perms::none);
    CHECK(store.notes().empty());
    CHECK_FALSE(Store({}).take_results(std::string(64, 'c')));
}

TEST_CASE("the store removes what was unused for a month, in every part of it, and nothing else")
{
    const test::Scratch scratch;
    const fs::path root = scratch.path / "store";
    Store store(root);
    const auto long_ago = fs::file_time_type::clock::now() - std::chrono::hours(24 * 40);
    const auto two_days_ago = fs::file_time_type::clock::now() - std::chrono::hours(48);
    const std::string old(64, 'a');
    const std::string used(64, 'b');
    const std::string fresh(64, 'd');
    for (const std::string& key : {old, used, fresh}) {
        store.keep_results(key, KeptResults{});
    }
    fs::last_write_time(root / "results" / old, long_ago);
    fs::last_write_time(root / "results" / used, long_ago);
    REQUIRE(store.take_results(used)); // taken: used now
    const fs::path half = root / "builds" / ('.' + fresh + ".part-1-0");
    const fs::path writing = root / "builds" / ('.' + old + ".part-2-0");
    touch(half);
    touch(writing);
    fs::last_write_time(half, two_days_ago);
    touch(root / "results" / "notes");
    fs::last_write_time(root / "results" / "notes", long_ago);
    fs::create_directories(root / "faults" / old);
    fs::last_write_time(root / "faults" / old, long_ago);

    store.prune(kept_for);
    CHECK_FALSE(fs::exists(root / "results" / old));
    CHECK(fs::exists(root / "results" / used));
    CHECK(fs::exists(root / "results" / fresh));
    CHECK_FALSE(fs::exists(half)); // left by a check that was stopped
    CHECK(fs::exists(writing));    // perhaps another check's, writing now
    CHECK(fs::exists(root / "results" / "notes"));
    CHECK_FALSE(fs::exists(root / "faults" / old)); // the faults' builds, by the same rule
}
