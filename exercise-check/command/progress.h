// How far a check is: the line that says so, and the meter that keeps it on a terminal.
#pragma once

#include "check.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <map>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace check {

// "12 of 30 people checked, 0:41 so far, about 1:02 left", seconds_left when known; at the end
// "30 of 30 people checked in 1:23".
std::string progress_line(std::size_t done, std::size_t total, double seconds,
                          std::optional<double> seconds_left);

// How much of the work is done and how much there is, counted in steps: a program's build is one,
// each of its cases one more.
struct Work {
    std::size_t done = 0;
    std::size_t total = 0;
};
Work work_of(const std::vector<Step>& programs);

// The time left, from the work still to do at the pace of the work done so far (the cases under
// way among it: a program half through its cases is half done); none before any is done.
std::optional<double> time_left(const Work& work, double seconds);

// One person's check in a line: "compiling: 3 of 9 programs built", then "running the cases: 2
// of 9 programs done, circle 5 of 14 cases" (the program last heard of), with the time so far and
// left; "finding the sources" before any program is heard of.
std::string person_line(const std::vector<Step>& programs, double seconds,
                        std::optional<double> seconds_left);

// Shows on a terminal how far the check is, in place, once a second and as each step is done:
// for a class, people done and the time left; for one person, their programs' builds and cases.
// People with nothing to check are done at once. After the last person, until finish, it says
// the reports are being written.
class ProgressMeter {
  public:
    ProgressMeter(std::ostream& out, std::size_t total, std::size_t nothing_to_check);
    ProgressMeter(const ProgressMeter&) = delete;
    ProgressMeter& operator=(const ProgressMeter&) = delete;
    ProgressMeter(ProgressMeter&&) = delete;
    ProgressMeter& operator=(ProgressMeter&&) = delete;
    ~ProgressMeter();

    // For check_people.
    Progress callback();
    Steps steps();
    // Draws the last line and ends it; the meter stops.
    void finish();

  private:
    void draw(bool last);

    std::ostream& out_;
    std::size_t total_;
    std::size_t nothing_to_check_;
    std::size_t done_ = 0;
    std::map<std::pair<std::size_t, std::string>, Step> programs_;
    std::string last_program_;       // of one person: the program last heard of
    std::optional<double> all_done_; // seconds when the last person was done
    std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
    std::thread ticker_;
};

} // namespace check
