// How a program's cases run: the requests, one batch of those that end by themselves, random
// inputs until one breaks the program, and how long a program that stops answering may take.
#pragma once

#include "model.h"
#include "runner.h"
#include "settings.h"
#include "verdict.h"

#include <atomic>
#include <cstddef>
#include <filesystem>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace check {

// The time runs took, and how many of them did not finish in it: a program's, or a person's.
class TimeSpent {
  public:
    void add(double seconds, bool timed_out)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        seconds_ += seconds;
        timeouts_ += timed_out ? 1 : 0;
    }
    double seconds() const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return seconds_;
    }
    int timeouts() const
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        return timeouts_;
    }

  private:
    mutable std::mutex mutex_;
    double seconds_ = 0;
    int timeouts_ = 0;
};

// A program that has not finished in time twice would mostly not finish again: its runs left
// are cut short, as they are once it or its person has spent the settings' budget of time.
constexpr int timeouts_before_cut = 2;

// The wall time a run is cut short to: a fifth of the limit, or a second where that is more.
double cut_seconds(const Limits& limits);

// Why a program's runs from now on are cut short, after its timeouts and the seconds its runs and
// its person's took; empty where they are not.
std::string cut_reason(int timeouts, double program_seconds, double person_seconds,
                       const RunBudget& budget);

// One program's runs: what they run, with what, and the time spent so far.
struct ProgramRuns {
    const Settings& settings;
    const RunConditions& judging;
    const Sandbox& sandbox; // the sandbox every run starts from
    Runner& runner;
    std::filesystem::path executable;
    std::filesystem::path filled; // its build with unset variables filled, or empty
    TimeSpent& program;
    TimeSpent& person;
};

// Runs the cases that end by themselves, a few in a sandbox at a time (the filled build beside
// the plain one where a case reads what was never set); their results in the same order.
std::vector<CaseResult> run_batch(const std::vector<const Case*>& cases, ProgramRuns& runs);

// Runs a case in a sandbox of its own: one that waits for its input.
CaseResult run_alone(const Case& one, ProgramRuns& runs);

// Runs a stress case's random inputs until the first that breaks the program, few at first and
// then more in a sandbox at a time.
CaseResult run_stress(const Case& one, ProgramRuns& runs);

// What the random inputs numbered [first, first + count) of a stress case gave (from 0): the
// first that broke the program, if one did; the seconds their runs took.
struct StressPart {
    std::optional<std::size_t> broken_at;
    CaseResult broken;
    double seconds = 0;
};

// Runs those random inputs in order until the first that breaks the program, or until one
// numbered before the next of them is known to have broken it (lowest_broken, which it lowers
// where it finds one): parts of one case may run at once and still give the sequence's first.
StressPart run_stress_part(const Case& one, ProgramRuns& runs, std::size_t first, std::size_t count,
                           std::atomic<std::size_t>& lowest_broken);

// The stress case's result from all its parts: the first random input that broke the program,
// else passed; the seconds of every run.
CaseResult stress_result(const Case& one, const std::vector<StressPart>& parts);

} // namespace check
