// How far a class's check is: the line that says so, and the meter that keeps it on a terminal.
#pragma once

#include "check.h"

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <optional>
#include <ostream>
#include <string>
#include <thread>

namespace check {

// "12 of 30 people checked, 0:41 so far, about 1:02 left", seconds_left when known; at the end
// "30 of 30 people checked in 1:23".
std::string progress_line(std::size_t done, std::size_t total, double seconds,
                          std::optional<double> seconds_left);

// Shows on a terminal how far the check is, in place, once a second and as each person is done.
// People with nothing to check are done at once; they are left out of the estimate.
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
    // Draws the last line and ends it; the meter stops.
    void finish();

  private:
    void draw(bool last);

    std::ostream& out_;
    std::size_t total_;
    std::size_t nothing_to_check_;
    std::size_t done_ = 0;
    std::chrono::steady_clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopped_ = false;
    std::thread ticker_;
};

} // namespace check
