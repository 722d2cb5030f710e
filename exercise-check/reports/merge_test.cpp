// Merging shards: three parts of a class give what one run gave, and parts that do not fit are
// refused.
#include "merge.h"

#include "cases.h"
#include "catalogue.h"
#include "report.h"
#include "sha256.h"
#include "shard.h"

#include <doctest/doctest.h>

#include <map>
#include <sstream>

using namespace check;

namespace {

// One run over a class: names that sort by number and by letter regardless of case, and two
// pairs who handed in the same bytes (digests[person][program]).
struct Run {
    Report report;
    std::vector<std::vector<std::string>> digests;
};

Run one_run()
{
    Run run;
    run.report.exercises = load_catalogue(default_case_data());
    const char* names[] = {"ana", "Bob", "Person 2", "Person 10", "zed", "Émile"};
    for (const char* name : names) {
        PersonResult person;
        person.name = name;
        person.folder = std::string("class/") + name;
        std::vector<std::string> digests;
        for (const Exercise& exercise : run.report.exercises) {
            ProgramResult program;
            program.program = exercise.name;
            program.group = exercise.group;
            program.source = person.folder + "/" + exercise.name + ".cpp";
            program.verdict =
                program.program.size() % 2 == 0 ? ProgramVerdict::correct : ProgramVerdict::wrong;
            CaseResult one;
            one.name = exercise.group + "." + exercise.name + ".plain";
            one.verdict = program.verdict == ProgramVerdict::correct ? CaseVerdict::passed
                                                                     : CaseVerdict::wrong_output;
            one.why = one.verdict == CaseVerdict::passed ? "" : "first difference";
            if (program.verdict == ProgramVerdict::wrong) {
                // What a merge must carry over besides the verdict: the difference in words, the
                // faults that explain it, and the beginners' mistakes the compiler showed.
                one.in_words = "line 1: write a blank after \"Broj:\"";
                program.diagnosis.push_back({"missing-blank", "write the blank", {one.name}});
                program.unexplained = {one.name + ".other"};
                program.compile_hints.push_back({"void-main", "write int main()"});
            }
            program.cases = {one};
            person.programs.push_back(program);
            digests.push_back(sha256_hex(person.name + exercise.name));
        }
        run.report.people.push_back(person);
        run.digests.push_back(digests);
    }
    // ana and zed share twodigits; Bob, Person 2 and Émile share circle.
    const auto share = [&run](std::size_t slot, std::vector<std::size_t> group) {
        for (const std::size_t index : group) {
            run.digests[index][slot] = "shared" + std::to_string(slot);
            for (const std::size_t other : group) {
                if (other != index) {
                    run.report.people[index].programs[slot].same_source_as.push_back(
                        run.report.people[other].name);
                }
            }
        }
    };
    share(0, {0, 4});
    share(5, {1, 2, 5});
    run.report.people[3].programs[8].source.clear();
    run.report.people[3].programs[8].verdict = ProgramVerdict::absent;
    run.digests[3][8].clear();
    for (std::size_t index = 0; index < run.report.people.size(); ++index) {
        for (std::size_t slot = 0; slot < run.digests[index].size(); ++slot) {
            run.report.people[index].programs[slot].source_sha256 = run.digests[index][slot];
        }
    }
    run.report.memory_limit = "cgroup";
    run.report.bounds = {64U << 20U, 256U << 20U, 60, 300};
    // Late where the platform marked it, either way; and what of the class is no one's.
    run.report.people[1].late = true;
    run.report.people[2].late = false;
    run.report.not_read = {{"class/grades.txt", "a loose file"}, {"class/.DS_Store", "junk"}};
    return run;
}

// The part of the run in one shard, as its JSON report reads back, same-source notes its own.
ReadReport shard_part(const Run& run, const Shard& shard)
{
    Report part = run.report;
    part.people.clear();
    std::vector<std::vector<std::string>> digests;
    for (std::size_t index = 0; index < run.report.people.size(); ++index) {
        if (in_shard(run.report.people[index].name, shard)) {
            part.people.push_back(run.report.people[index]);
            for (ProgramResult& program : part.people.back().programs) {
                program.same_source_as.clear();
            }
            digests.push_back(run.digests[index]);
        }
    }
    std::stringstream json;
    write_json(json, part);
    ReadReport read = read_json_report(json, load_catalogue(default_case_data()));
    read.digests = digests; // as source_sha256 gives them
    return read;
}

template <typename Write> std::string written(Write write, const Report& report)
{
    std::ostringstream out;
    write(out, report);
    return out.str();
}

} // namespace

TEST_CASE("a class in three shards, merged, is the class in one run")
{
    const Run run = one_run();
    std::vector<ReadReport> parts;
    for (std::size_t index = 1; index <= 3; ++index) {
        parts.push_back(shard_part(run, Shard{index, 3}));
    }
    const Report merged = merge_reports(parts);
    CHECK(written(write_csv, merged) == written(write_csv, run.report));
    CHECK(written(write_json, merged) == written(write_json, run.report));
    CHECK(written(write_junit, merged) == written(write_junit, run.report));
    CHECK(written(write_html, merged).find("class/grades.txt") != std::string::npos);
}

TEST_CASE("parts that do not fit together are refused")
{
    const Run run = one_run();
    const ReadReport whole = shard_part(run, Shard{1, 1});
    CHECK_THROWS_WITH_AS(merge_reports({whole, whole}), doctest::Contains("two reports"),
                         std::runtime_error);
    ReadReport strict = shard_part(run, Shard{1, 2});
    strict.report.strict = true;
    CHECK_THROWS_WITH_AS(merge_reports({strict, shard_part(run, Shard{2, 2})}),
                         doctest::Contains("strict"), std::runtime_error);
    ReadReport undigested = whole;
    undigested.digests[0][0].clear();
    CHECK_THROWS_WITH_AS(merge_reports({undigested}), doctest::Contains("source_sha256"),
                         std::runtime_error);
    ReadReport unsandboxed = shard_part(run, Shard{2, 2});
    unsandboxed.report.sandbox = "none";
    CHECK(merge_reports({shard_part(run, Shard{1, 2}), unsandboxed}).sandbox == "none");
}

TEST_CASE("what is not a report is refused, saying what is wrong")
{
    const std::vector<Exercise> catalogue = load_catalogue(default_case_data());
    const std::pair<const char*, const char*> wrong[] = {
        {"{\"people\": [", "not JSON"},
        {"[]", "no \"people\""},
        {R"({"people": [], "strict": "yes"})", "not a report"},
        {R"({"people": [], "sandboxed": 1})", "not a report"},
        {R"({"people": [7]})", "not a report"},
        {R"({"people": [{"name": "a", "programs": [{"program": "circle", "verdict": "wrong",
             "cases": [{"name": "x", "verdict": "passed", "departure": "no"}]}]}]})",
         "not a report"},
        {R"({"people": [{"name": "a", "programs": [{"program": "nosuch"}]}]})", "nosuch"},
        {R"({"people": [{"name": "a", "programs": [{"program": "circle", "verdict": "great"}]}]})",
         "great"},
        {R"({"people": [{"name": "a", "programs": [{"program": "circle", "verdict": "wrong",
             "cases": [{"name": "x", "verdict": "fine"}]}]}]})",
         "fine"},
        {R"({"people": [{"name": "a", "programs": [{"program": "circle", "verdict": "wrong"}]},
                        {"name": "b", "programs": [{"program": "twodigits", "verdict": "wrong"}]}]})",
         "other programs"},
    };
    for (const auto& bad : wrong) {
        const auto& text = bad.first;
        const auto& says = bad.second;
        CAPTURE(text);
        std::istringstream in(text);
        CHECK_THROWS_WITH_AS(read_json_report(in, catalogue), doctest::Contains(says),
                             std::runtime_error);
    }
}

TEST_CASE("the merge says how many programs the shards took from the store, all together")
{
    const Run run = one_run();
    std::vector<ReadReport> parts{shard_part(run, Shard{1, 2}), shard_part(run, Shard{2, 2})};
    REQUIRE_FALSE(parts[0].report.people.empty());
    REQUIRE_FALSE(parts[1].report.people.empty());
    parts[0].report.from_store = 2;
    parts[1].report.from_store = 3;
    const Report merged = merge_reports(parts);
    CHECK(merged.from_store == 5);
    std::stringstream json;
    write_json(json, merged);
    CHECK(read_json_report(json, load_catalogue(default_case_data())).report.from_store == 5);
}
