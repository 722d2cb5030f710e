// The check's findings as plain data: people, their programs, each program's cases, verdicts.
#pragma once

#include "compare.h"

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace check {

// One exercise of the catalogue (exercises.json in the case data): a program a person may hand
// in, where its source may lie, and where its cases are.
struct Exercise {
    std::string name;       // twodigits
    std::string group;      // digits: the folder of its cases, and the first part of their names
    std::string folder;     // digit-exercises: a folder of a hand-in where its source may lie
    std::string short_name; // 2dig: its column in a narrow table
    std::string title;      // what it does, in a few words
};

// How one case went. The names in reports are those of case_verdict_name().
enum class CaseVerdict {
    passed,
    wrong_output,     // other words or numbers
    wrong_layout,     // the same words and numbers, other blanks or line ends
    wrong_status,     // the output is right, the exit status is not
    stderr_output,    // the output is right, but something was written to standard error
    crashed,          // ended by a signal
    timeout,          // did not finish in time
    prompt_not_shown, // a prompt was not on the screen while the program waited
    memory_error,     // an unset value read, an invalid access
    memory_limit,
    output_limit,
    not_built, // the program did not compile, so the case could not run
};

// How one program went, from its cases.
// A program that does what its exercise says is correct, even where it departs from this
// project's stricter choices: those are its advice, and count as wrong only when strict.
enum class ProgramVerdict {
    correct,
    wrong,
    does_not_compile,
    absent
};

std::string_view case_verdict_name(CaseVerdict verdict);
std::string_view program_verdict_name(ProgramVerdict verdict);

// A text a failed case shows: what it is, as many of its bytes as are kept, and how many more
// there were.
struct ShownText {
    std::string title; // "expected output", "output so far", "expected shape", ...
    std::string bytes;
    std::size_t left_out = 0;
};

// The first limit bytes of text under that title.
ShownText shown(std::string title, std::string_view text, std::size_t limit);

struct CaseResult {
    std::string name; // as the CTest test is named: calculators.circle.plain
    CaseVerdict verdict = CaseVerdict::passed;
    bool departure = false; // the case checks a choice where this project is stricter
    std::string remark;     // for a failed departure case: what the program does and why not
    // A departure case that failed otherwise than its departure does, or the way the program's
    // other cases fail too: its departure does not explain it, so it counts as any failed case.
    bool failed_otherwise = false;
    double seconds = 0;

    // Why it failed, in one line; empty if passed.
    std::string why;
    // Of a stress case, which random input broke it: "random input 3 of 200 (seed 7)".
    std::string random_input;
    // What the failed run was given and wrote; no input when the case did not run.
    std::vector<std::string> args;
    std::optional<ShownText> input;
    std::optional<ShownText> expected;    // "expected output", or what the output is compared with
    std::optional<ShownText> actual;      // "actual output", or "output so far" when it was stopped
    std::optional<Difference> difference; // where expected and actual first differ
    // What differs, in one line that says where and what to write instead (in_words()): `line 1:
    // write a blank after "Broj:"`. Of a run that was stopped, only a prompt it repeats without
    // end; empty where the output was not compared with an expected one.
    std::string in_words;
    std::optional<ShownText> standard_error;
    // How the run ended: its exit status, or the signal that ended it, or neither (stopped).
    std::optional<int> exit_status;
    int signal = 0;
};

// Its why in one line, after the random input that broke it: "crashed: ...".
std::string headline(const CaseResult& result);

// Why it failed: its headline, then its arguments, input, first difference and texts, each
// text's lines ending in a visible \n and the text in "<end>"; empty if passed.
std::string message(const CaseResult& result);

// Whether a failed case counts against its program: a departure that only gives other output,
// layout or exit status is advice unless strict; a crash, a timeout or an unset value, and
// every failure of another case, count.
bool counts_against(const CaseResult& result, bool strict);

// A typical fault of the exercise that explains some of a wrong program's failed cases: its
// variant fails them the same way, and passes every case the program passes.
struct Diagnosis {
    std::string fault;              // integer-division
    std::string hint;               // what is wrong and what to do, one or two lines
    std::vector<std::string> cases; // the failed cases it explains
};

// A beginner's mistake that the compiler's words (or a run's standard error) show, and what to
// write instead.
struct CompileHint {
    std::string id;   // conio
    std::string hint; // what is wrong and what to write, one or two lines
};

struct ProgramResult {
    std::string program; // circle
    std::string group;   // calculators
    std::string source;  // the source checked, empty when absent
    ProgramVerdict verdict = ProgramVerdict::absent;
    // What it does where this project is stricter than the exercise, and why the stricter way
    // is better: one line each, no repeats; a correct program's advice, never its verdict.
    std::vector<std::string> advice;
    std::string compiler_output;            // warnings or errors, as the compiler wrote them
    std::vector<CompileHint> compile_hints; // the beginners' mistakes they show (compile_hints_for)
    std::vector<CaseResult> cases;
    std::vector<std::string> same_source_as; // other people who handed in the same bytes
    std::string source_sha256; // what tells shards of a class that two sources are the same
    // Of a wrong program, the typical faults that explain its failures, and the failed cases
    // that counted against it but no fault explains; both empty when it was not diagnosed.
    std::vector<Diagnosis> diagnosis;
    std::vector<std::string> unexplained;
    // The faults whose variants fail some failed case with its verdict but not as the program
    // does: what it resembles, never named as its fault.
    std::vector<std::string> resembles;
};

// The failed case that stands for a wrong program: its first that counts against it, or nullptr
// when none does.
const CaseResult* deciding_failure(const ProgramResult& program, bool strict);

struct PersonResult {
    std::string name;                    // the folder's name
    std::string folder;                  // the folder as given, or where its sources were found
    std::string note;                    // how the sources were found, where that was not obvious
    std::vector<ProgramResult> programs; // one per exercise, in the order of Report::exercises
    std::string id{}; // the number a course platform gave the person, empty when none
    // Whether the platform marked the hand-in late; none where its download does not say.
    std::optional<bool> late{};
};

// The advice every program the person handed in has (at least two programs): a report says each
// once for the person instead of once per program.
std::vector<std::string> shared_advice(const PersonResult& person);

// A remark shared by that many programs, said once of them all: "exits with 0 when its output is
// lost: ..." becomes "all nine programs exit with 0 when their output is lost: ...".
std::string said_of_all(const std::string& remark, std::size_t programs);

// How many programs the person handed in.
std::size_t handed_in(const PersonResult& person);

// Over a class: how many people failed each case (counted against their program), and how many
// had each diagnosed fault, in the order of the first to show them.
struct ClassCounts {
    std::size_t people = 0;
    std::vector<std::pair<std::string, std::size_t>> failed_cases;
    std::vector<std::pair<std::string, std::size_t>> faults;
};

struct Report;
ClassCounts class_counts(const Report& report);

// A file or folder of a class's download that is no one's hand-in: where it lies, as the class
// was given (<class>/notes.txt), and why it was not read.
struct LeftUnread {
    std::string path;
    std::string why;
};

struct Report {
    std::vector<Exercise> exercises; // the catalogue's, in its order: the columns of a gradebook
    std::vector<PersonResult> people;
    std::string sandbox = "bubblewrap"; // what the programs ran in: bubblewrap, landlock or none
    // What held a sandboxed program's processes and files within its memory limit: "cgroup" or
    // "per-process limits"; empty without a sandbox.
    std::string memory_limit;
    // The bounds the check held every program to beside the run limits: the size of a build and
    // of one person's builds at once, the seconds a program's and a person's runs may take
    // before the rest are cut short, and the files a run may write; zero where a report does not
    // say (an older one), and for files where a run may write none.
    struct Bounds {
        std::uint64_t build_program_bytes = 0;
        std::uint64_t build_person_bytes = 0;
        double program_seconds = 0;
        double person_seconds = 0;
        std::uint64_t run_files_bytes = 0; // what a run may write to files, all together
    } bounds;
    // Hand-ins with no row in the grading worksheet the reports' grades went into.
    std::vector<std::string> unmatched_hand_ins;
    // What of a class's download no one handed in, each file and folder once: empty for folders
    // named one by one.
    std::vector<LeftUnread> not_read;
    bool strict = false;
    // How many programs' results were taken from the store of kept results, not run again; and
    // what was found wrong in the store (an entry damaged, half written, another user's).
    std::size_t from_store = 0;
    std::vector<std::string> store_notes{};
    std::string language = "en"; // what the learner reads in: en, or hr (the page's words)
};

} // namespace check
