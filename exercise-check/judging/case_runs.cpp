#include "case_runs.h"

#include "compare.h"
#include "stress.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

namespace check {

namespace fs = std::filesystem;

namespace {

// The limits the program's next runs get, and why they were cut short, where they were.
struct Cut {
    Limits limits;
    RunConditions judging;
    std::string why; // empty when they are not cut
};

std::string seconds_text(double seconds)
{
    std::string text = std::to_string(static_cast<long long>(seconds));
    return text + " s";
}

Cut limits_now(const ProgramRuns& runs)
{
    Cut cut{runs.settings.run_limits, runs.judging,
            cut_reason(runs.program.timeouts(), runs.program.seconds(), runs.person.seconds(),
                       runs.settings.run_budget)};
    if (!cut.why.empty()) {
        const double seconds = cut_seconds(cut.limits);
        cut.limits.wall_seconds = std::min(cut.limits.wall_seconds, seconds);
        cut.limits.cpu_seconds = std::min(cut.limits.cpu_seconds, seconds);
        cut.judging.limits = cut.limits;
    }
    return cut;
}

// Counts the run's time, and says in the result of a run that was cut short and did not finish
// why it had less time.
CaseResult counted(CaseResult result, double seconds, const Cut& cut, ProgramRuns& runs)
{
    const bool timed_out = result.verdict == CaseVerdict::timeout;
    runs.program.add(seconds, timed_out);
    runs.person.add(seconds, timed_out);
    if (timed_out && !cut.why.empty()) {
        result.why += " (" + cut.why + ")";
    }
    return result;
}

RunRequest request_for(const Case& one, const fs::path& executable, const Limits& limits,
                       const ProgramRuns& runs)
{
    const Settings& settings = runs.settings;
    RunRequest request;
    request.command = settings.memcheck;
    request.command.insert(request.command.end(), settings.emulator.begin(),
                           settings.emulator.end());
    request.command.push_back(executable.string());
    request.command.insert(request.command.end(), one.args.begin(), one.args.end());
    request.input = one.input;
    request.limits = limits;
    request.sandbox = runs.sandbox;
    request.sandbox.read_only.push_back(executable);
    switch (one.kind) {
    case CaseKind::waiting:
        request.input_stays_open = true;
        request.settles_on = settings.crlf ? with_crlf(one.expected) : one.expected;
        break;
    case CaseKind::input_left_open: request.input_stays_open = true; break;
    case CaseKind::output_full: request.stdout_to = Stdout::full; break;
    case CaseKind::output_closed: request.stdout_to = Stdout::closed; break;
    case CaseKind::plain:
    case CaseKind::stress: break;
    }
    return request;
}

// How many runs of the whole time limit fit in what is left of the budgets, at most most: one at
// least, so that a budget is overrun by no more than a run.
std::size_t runs_that_fit(const ProgramRuns& runs, std::size_t most)
{
    const RunBudget& budget = runs.settings.run_budget;
    const double left = std::min(budget.program_seconds - runs.program.seconds(),
                                 budget.person_seconds - runs.person.seconds());
    const double fit = std::floor(left / std::max(runs.settings.run_limits.wall_seconds, 0.001));
    return fit < 1 ? 1 : std::min(most, static_cast<std::size_t>(std::min(fit, 1e9)));
}

// Whether the case also runs the build whose unset variables are filled with a pattern.
bool with_filled(const ProgramRuns& runs, const Case& one)
{
    return one.failed_read && one.kind == CaseKind::plain && !runs.filled.empty();
}

// Runs cases[start, start + count) in one sandbox, adding their results.
void run_some(const std::vector<const Case*>& cases, std::size_t start, std::size_t count,
              ProgramRuns& runs, std::vector<CaseResult>& results)
{
    const Cut cut = limits_now(runs);
    std::vector<RunRequest> requests;
    for (std::size_t index = start; index < start + count; ++index) {
        requests.push_back(request_for(*cases[index], runs.executable, cut.limits, runs));
        if (with_filled(runs, *cases[index])) {
            // Compared with the plain build's output only where that one exited.
            requests.push_back(request_for(*cases[index], runs.filled, cut.limits, runs));
            requests.back().runs_after = RunsAfter::exited;
        }
    }
    Sandbox sandbox = runs.sandbox;
    sandbox.read_only = {runs.executable};
    if (!runs.filled.empty()) {
        sandbox.read_only.push_back(runs.filled);
    }
    const std::vector<RunResult> ran = runs.runner.run_all(requests, sandbox);
    std::size_t at = 0;
    for (std::size_t index = start; index < start + count; ++index) {
        const Case& one = *cases[index];
        const RunResult& result = ran.at(at++);
        CaseResult judged = with_filled(runs, one)
                                ? judge_unset_values(one, result, ran.at(at++), cut.judging)
                                : judge(one, result, cut.judging);
        results.push_back(counted(std::move(judged), result.seconds, cut, runs));
    }
}

} // namespace

double cut_seconds(const Limits& limits)
{
    return std::max(1.0, limits.wall_seconds / 5);
}

std::string cut_reason(int timeouts, double program_seconds, double person_seconds,
                       const RunBudget& budget)
{
    if (timeouts >= timeouts_before_cut) {
        return "stopped after " + std::to_string(timeouts) + " timeouts";
    }
    if (program_seconds >= budget.program_seconds) {
        return "stopped: the program's runs took their " + seconds_text(budget.program_seconds);
    }
    if (person_seconds >= budget.person_seconds) {
        return "stopped: the person's runs took their " + seconds_text(budget.person_seconds);
    }
    return "";
}

std::vector<CaseResult> run_batch(const std::vector<const Case*>& cases, ProgramRuns& runs)
{
    // A few at first, then twice as many while none times out (as many as the budgets leave time
    // for), one at a time after a timeout, and all that are left once the runs are cut short: a
    // program that stops answering waits out few timeouts, and one that answers starts few
    // sandboxes.
    std::vector<CaseResult> results;
    std::size_t some = 2;
    for (std::size_t start = 0; start < cases.size();) {
        const bool cut = !limits_now(runs).why.empty();
        const std::size_t count =
            cut ? cases.size() - start : std::min(runs_that_fit(runs, some), cases.size() - start);
        const int timeouts = runs.program.timeouts();
        run_some(cases, start, count, runs, results);
        start += count;
        some = runs.program.timeouts() > timeouts ? 1 : some * 2;
    }
    return results;
}

CaseResult run_alone(const Case& one, ProgramRuns& runs)
{
    const Cut cut = limits_now(runs);
    const RunResult result = runs.runner.run(request_for(one, runs.executable, cut.limits, runs));
    return counted(judge(one, result, cut.judging), result.seconds, cut, runs);
}

StressPart run_stress_part(const Case& one, ProgramRuns& runs, std::size_t first, std::size_t count,
                           std::atomic<std::size_t>& lowest_broken)
{
    constexpr std::size_t most_at_once = 32;
    InputMaker inputs(runs.settings.seed);
    for (std::size_t skipped = 0; skipped < first; ++skipped) {
        inputs.next();
    }
    StressPart part;
    std::size_t some = first == 0 ? 1 : 2; // a part that goes on from the first: 1, 2, 4, ...
    for (std::size_t done = first; done < first + count && done < lowest_broken.load();
         done += some, some = std::min(some * 2, most_at_once)) {
        some = std::min({some, first + count - done, runs_that_fit(runs, most_at_once)});
        const Cut cut = limits_now(runs);
        std::vector<std::string> given;
        std::vector<RunRequest> requests;
        for (std::size_t index = 0; index < some; ++index) {
            Case random = one;
            random.input = inputs.next();
            given.push_back(random.input);
            requests.push_back(request_for(random, runs.executable, cut.limits, runs));
            // After one that did not end in time, the first that broke the program is known.
            requests.back().runs_after = RunsAfter::in_time;
        }
        const std::vector<RunResult> results = runs.runner.run_all(requests, runs.sandbox);
        for (std::size_t index = 0; index < results.size(); ++index) {
            part.seconds += results[index].seconds;
            CaseResult judged =
                counted(judge_random_input(one, given[index], results[index], cut.judging),
                        results[index].seconds, cut, runs);
            if (judged.verdict != CaseVerdict::passed) {
                const std::size_t number = done + index;
                judged.random_input = "random input " + std::to_string(number + 1) + " of " +
                                      std::to_string(runs.settings.stress_runs) + " (seed " +
                                      std::to_string(runs.settings.seed) + ")";
                part.broken_at = number;
                part.broken = std::move(judged);
                std::size_t lowest = lowest_broken.load();
                while (number < lowest && !lowest_broken.compare_exchange_weak(lowest, number)) {
                }
                return part;
            }
        }
    }
    return part;
}

CaseResult stress_result(const Case& one, const std::vector<StressPart>& parts)
{
    double seconds = 0;
    const StressPart* first = nullptr;
    for (const StressPart& part : parts) {
        seconds += part.seconds;
        if (part.broken_at && (first == nullptr || *part.broken_at < *first->broken_at)) {
            first = &part;
        }
    }
    CaseResult result;
    if (first != nullptr) {
        result = first->broken;
    } else {
        result.name = one.name;
        result.departure = one.departure;
    }
    result.seconds = seconds;
    return result;
}

CaseResult run_stress(const Case& one, ProgramRuns& runs)
{
    std::atomic<std::size_t> lowest_broken{std::numeric_limits<std::size_t>::max()};
    const auto total = static_cast<std::size_t>(std::max(runs.settings.stress_runs, 0));
    return stress_result(one, {run_stress_part(one, runs, 0, total, lowest_broken)});
}

} // namespace check
