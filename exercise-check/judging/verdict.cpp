#include "verdict.h"

#include "signals.h"

#include "compare.h"
#include "difference_words.h"
#include "stress.h"

#include <algorithm>
#include <cctype>
#include <csignal>
#include <sstream>

namespace check {

namespace {

std::string seconds_text(double seconds)
{
    std::ostringstream text;
    text << seconds << " s";
    return text.str();
}

std::string mebibytes_text(std::uint64_t bytes)
{
    return std::to_string(bytes / mebibyte) + " MiB";
}

bool out_of_memory(const RunResult& run)
{
    return run.out_of_memory || run.err.find("std::bad_alloc") != std::string::npos ||
           run.err.find("out of memory") != std::string::npos;
}

// How the run ended when it did not end by itself, or crashed, or ran out of a limit: the
// verdict and its one line, or nothing when it exited normally.
bool judge_ending(const RunResult& run, const RunConditions& judging, bool waits_for_input,
                  CaseResult& result, std::string& why)
{
    switch (run.ending) {
    case Ending::not_started:
        result.verdict = CaseVerdict::not_built;
        why = "could not be started: " + run.error;
        return true;
    case Ending::timed_out:
        result.verdict = CaseVerdict::timeout;
        why = "did not finish within the time limit of " +
              seconds_text(judging.limits.wall_seconds) +
              (waits_for_input ? ": it waits for more input than the case gives"
                               : ": its input had ended, so it was not waiting for input but "
                                 "running on");
        return true;
    case Ending::output_limit:
        result.verdict = CaseVerdict::output_limit;
        why = "wrote more than the output limit of " + mebibytes_text(judging.limits.output_bytes) +
              " and was stopped";
        return true;
    case Ending::signalled:
        if (run.signal == SIGXCPU) {
            result.verdict = CaseVerdict::timeout;
            why =
                "used more than the CPU time limit of " + seconds_text(judging.limits.cpu_seconds);
        } else if (out_of_memory(run)) {
            result.verdict = CaseVerdict::memory_limit;
            why =
                "took more memory than the limit of " + mebibytes_text(judging.limits.memory_bytes);
        } else if (run.signal == SIGXFSZ) {
            result.verdict = CaseVerdict::output_limit;
            why = "wrote a file larger than the limit of " +
                  mebibytes_text(judging.limits.output_bytes);
        } else {
            result.verdict = CaseVerdict::crashed;
            why = run.error.empty() ? "crashed: it was ended by " + signal_name(run.signal)
                                    : "crashed: " + run.error;
        }
        return true;
    case Ending::waiting:
    case Ending::exited: break;
    }
    if (out_of_memory(run) && run.status != 0) {
        result.verdict = CaseVerdict::memory_limit;
        why = "took more memory than the limit of " + mebibytes_text(judging.limits.memory_bytes);
        return true;
    }
    if (judging.memcheck && run.status == 99) {
        result.verdict = CaseVerdict::memory_error;
        why = "memcheck found a memory error (an unset value read, or an invalid access)";
        return true;
    }
    return false;
}

constexpr std::size_t text_limit = 4000;  // bytes of an expected or actual output shown
constexpr std::size_t input_limit = 2000; // of an input, a random output, standard error
constexpr std::size_t so_far_limit = 600; // of the output of a run that was stopped

// Expected and actual side by side, and where they first differ.
void compare(CaseResult& result, const std::string& expected, const std::string& actual,
             const char* expected_title = "expected output",
             const char* actual_title = "actual output")
{
    result.difference = first_difference(expected, actual);
    if (result.difference) {
        result.in_words = in_words(expected, actual, *result.difference);
    }
    result.expected = shown(expected_title, expected, text_limit);
    result.actual = shown(actual_title, actual, text_limit);
}

// What a run that was stopped had written, and the prompt it repeats without end, if it does.
void output_so_far(CaseResult& result, const RunResult& run, const std::string& expected)
{
    result.actual = shown("output so far", run.out, so_far_limit);
    result.in_words = endless_repetition(expected, run.out);
}

// The text with each number (its sign, digits, point and exponent, or inf and nan) as one '#'.
std::string numbers_masked(std::string_view text)
{
    const auto digit = [&text](std::size_t at) {
        return at < text.size() && std::isdigit(static_cast<unsigned char>(text[at])) != 0;
    };
    std::string masked;
    for (std::size_t at = 0; at < text.size();) {
        std::size_t end = at;
        if ((text[at] == '-' || text[at] == '+') &&
            (digit(at + 1) || text.substr(at + 1, 3) == "inf" || text.substr(at + 1, 3) == "nan")) {
            ++end;
        }
        if (text.substr(end, 3) == "inf" || text.substr(end, 3) == "nan") {
            end += 3;
        } else if (digit(end)) {
            while (digit(end) || (end < text.size() && text[end] == '.' && digit(end + 1))) {
                ++end;
            }
            if (end + 1 < text.size() && text[end] == 'e' &&
                (digit(end + 1) ||
                 ((text[end + 1] == '-' || text[end + 1] == '+') && digit(end + 2)))) {
                end += 2;
                while (digit(end)) {
                    ++end;
                }
            }
        }
        if (end == at) {
            masked += text[at++];
        } else {
            masked += '#';
            at = end;
        }
    }
    return masked;
}

// Whether the run shows what the departure's remark says, and nothing else: the output that
// differs in its numbers alone (a value printed for a number never read, an average that is not
// exact), or the exit status 0 where its output was lost. A run that differs in words or layout
// too fails the case another way, of which the remark would say something false.
bool departure_shown(const Case& one, const RunResult& run, const std::string& expected)
{
    if (one.departure_gives == CaseVerdict::wrong_status) {
        return run.status == 0;
    }
    return one.departure_gives != CaseVerdict::wrong_output ||
           numbers_masked(run.out) == numbers_masked(expected);
}

void finish(CaseResult& result, const Case& one, const RunResult& run, const std::string& why,
            const std::string& expected)
{
    result.seconds = run.seconds;
    if (result.verdict == CaseVerdict::passed) {
        return;
    }
    result.why = why;
    result.args = one.args;
    result.input = shown("input", one.input, input_limit);
    if (!run.err.empty()) {
        result.standard_error = shown("standard error", run.err, input_limit);
    }
    if (run.ending == Ending::exited || run.ending == Ending::waiting) {
        result.exit_status = run.status;
    } else if (run.ending == Ending::signalled) {
        result.signal = run.signal;
    }
    // Only the failure its departure gives is the departure's; any other counts as it would
    // in a case of any other kind.
    if (one.departure && result.verdict == one.departure_gives &&
        departure_shown(one, run, expected)) {
        result.remark = one.remark;
    } else if (one.departure) {
        result.failed_otherwise = true;
    }
}

// A departure whose failure the program's other cases show as well is not the departure's: the
// program fails that way everywhere, so the remark would be false.
void drop_remarks_shown_elsewhere(ProgramResult& program)
{
    std::vector<CaseVerdict> elsewhere;
    for (const CaseResult& one : program.cases) {
        if (!one.departure && one.verdict != CaseVerdict::passed) {
            elsewhere.push_back(one.verdict);
        }
    }
    for (CaseResult& one : program.cases) {
        if (one.departure && !one.remark.empty() &&
            std::find(elsewhere.begin(), elsewhere.end(), one.verdict) != elsewhere.end()) {
            one.remark.clear();
            one.failed_otherwise = true;
        }
    }
}

} // namespace

CaseResult judge(const Case& one, const RunResult& run, const RunConditions& judging)
{
    CaseResult result;
    result.name = one.name;
    result.departure = one.departure;
    std::string why;
    const std::string expected = judging.crlf ? with_crlf(one.expected) : one.expected;
    const bool lost_output =
        one.kind == CaseKind::output_full || one.kind == CaseKind::output_closed;

    if (one.kind == CaseKind::waiting) {
        if (run.ending == Ending::waiting) {
            finish(result, one, run, why, expected);
            return result;
        }
        if (run.ending == Ending::timed_out) {
            result.verdict = CaseVerdict::prompt_not_shown;
            why = "while it waited for input, the screen did not show what it should";
            compare(result, expected, run.out);
        } else if (!judge_ending(run, judging, true, result, why)) {
            result.verdict = CaseVerdict::wrong_output;
            why = "did not wait for input: it ended (exit status " + std::to_string(run.status) +
                  ") where it should wait for more";
            compare(result, expected, run.out);
        }
        finish(result, one, run, why, expected);
        return result;
    }

    if (judge_ending(run, judging, one.kind == CaseKind::input_left_open, result, why)) {
        if (!lost_output) {
            output_so_far(result, run, expected);
        }
        finish(result, one, run, why, expected);
        return result;
    }
    if (!lost_output && run.out != expected) {
        result.verdict = same_but_layout(expected, run.out) ? CaseVerdict::wrong_layout
                                                            : CaseVerdict::wrong_output;
        why = result.verdict == CaseVerdict::wrong_layout
                  ? "the same words and numbers, but other blanks or line ends"
                  : "wrong output";
        compare(result, expected, run.out);
    }
    if (run.status != one.expected_status) {
        const std::string line = "exit status " + std::to_string(run.status) + " (expected " +
                                 std::to_string(one.expected_status) + ")";
        if (result.verdict == CaseVerdict::passed) {
            result.verdict = CaseVerdict::wrong_status;
            why = lost_output ? "exit status " + std::to_string(run.status) +
                                    " when its output could not be written (expected " +
                                    std::to_string(one.expected_status) + ")"
                              : line;
        } else {
            why += "; " + line;
        }
    }
    if (!lost_output && !run.err.empty() && result.verdict == CaseVerdict::passed) {
        result.verdict = CaseVerdict::stderr_output;
        why = "wrote to standard error, which should stay empty";
        result.in_words = standard_error_in_words(run.err);
    }
    finish(result, one, run, why, expected);
    return result;
}

CaseResult judge_random_input(const Case& one, const std::string& input, const RunResult& run,
                              const RunConditions& judging)
{
    Case random = one;
    random.input = input;
    CaseResult result;
    result.name = one.name;
    result.departure = one.departure;
    std::string why;
    if (!judge_ending(run, judging, false, result, why)) {
        const std::string output = judging.crlf ? without_crs(run.out) : run.out;
        if (!matches_shape(one.expected, output) || !line_ends_right(run.out, judging.crlf)) {
            result.verdict = CaseVerdict::wrong_output;
            why = "the output does not have the expected shape (<int> is an integer, <num> a "
                  "number)";
            result.expected = shown("expected shape", one.expected, text_limit);
            result.actual = shown("actual output", run.out, input_limit);
        } else if (run.status != 0) {
            result.verdict = CaseVerdict::wrong_status;
            why = "exit status " + std::to_string(run.status) + " (expected 0)";
        } else if (!run.err.empty()) {
            result.verdict = CaseVerdict::stderr_output;
            why = "wrote to standard error, which should stay empty";
        }
    } else {
        output_so_far(result, run, one.expected); // the shape's prompts are its own text
    }
    finish(result, random, run, why, random.expected);
    return result;
}

CaseResult judge_unset_values(const Case& one, const RunResult& run, const RunResult& filled,
                              const RunConditions& judging)
{
    CaseResult result = judge(one, run, judging);
    const bool both_exited = run.ending == Ending::exited && filled.ending == Ending::exited;
    if (both_exited && (run.out != filled.out || run.status != filled.status)) {
        result.verdict = CaseVerdict::memory_error;
        compare(result, run.out, filled.out, "output as built",
                "output with unset variables filled");
        finish(result, one, run,
               "prints a value that was never set: built with its unset variables filled with "
               "a pattern, it prints something else",
               one.expected);
        result.standard_error.reset();
        result.remark.clear();
        result.in_words.clear(); // two builds' outputs: neither is what to write
    }
    return result;
}

void decide(ProgramResult& program, bool built, bool strict)
{
    program.advice.clear();
    if (program.source.empty()) {
        program.verdict = ProgramVerdict::absent;
        return;
    }
    if (!built) {
        program.verdict = ProgramVerdict::does_not_compile;
        return;
    }
    drop_remarks_shown_elsewhere(program);
    bool wrong = false;
    for (const CaseResult& one : program.cases) {
        if (one.verdict == CaseVerdict::passed) {
            continue;
        }
        if (!counts_against(one, strict)) {
            if (std::find(program.advice.begin(), program.advice.end(), one.remark) ==
                program.advice.end()) {
                program.advice.push_back(one.remark);
            }
        } else {
            wrong = true;
        }
    }
    program.verdict = wrong ? ProgramVerdict::wrong : ProgramVerdict::correct;
}

} // namespace check
