#include "progress.h"

#include <algorithm>
#include <iomanip>
#include <sstream>

namespace check {

namespace {

// 0:07, 12:34, 1:02:03
std::string clock_text(double seconds)
{
    const auto total = static_cast<long long>(seconds + 0.5);
    std::ostringstream text;
    if (total >= 3600) {
        text << total / 3600 << ':' << std::setw(2) << std::setfill('0') << total / 60 % 60;
    } else {
        text << total / 60;
    }
    text << ':' << std::setw(2) << std::setfill('0') << total % 60;
    return text.str();
}

} // namespace

std::string progress_line(std::size_t done, std::size_t total, double seconds,
                          std::optional<double> seconds_left)
{
    std::string line = std::to_string(done) + " of " + std::to_string(total) +
                       (total == 1 ? " person" : " people") +
                       (done == total ? " checked in " + clock_text(seconds)
                                      : " checked, " + clock_text(seconds) + " so far");
    if (done < total) {
        line += seconds_left ? ", about " + clock_text(*seconds_left) + " left"
                             : ", time left not known yet";
    }
    return line;
}

ProgressMeter::ProgressMeter(std::ostream& out, std::size_t total, std::size_t nothing_to_check)
    : out_(out), total_(total), nothing_to_check_(nothing_to_check),
      start_(std::chrono::steady_clock::now())
{
    ticker_ = std::thread([this] {
        std::unique_lock<std::mutex> lock(mutex_);
        while (!stopped_) {
            draw(false);
            wake_.wait_for(lock, std::chrono::seconds(1));
        }
    });
}

ProgressMeter::~ProgressMeter()
{
    finish();
}

Progress ProgressMeter::callback()
{
    return [this](std::size_t done, std::size_t total) {
        const std::lock_guard<std::mutex> lock(mutex_);
        done_ = done;
        total_ = total;
        draw(false);
    };
}

void ProgressMeter::finish()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (stopped_) {
            return;
        }
        stopped_ = true;
        draw(true);
    }
    wake_.notify_all();
    ticker_.join();
}

void ProgressMeter::draw(bool last)
{
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    // Those with nothing to check are done first and at once: the others set the pace.
    std::optional<double> left;
    const std::size_t checked = done_ > nothing_to_check_ ? done_ - nothing_to_check_ : 0;
    const std::size_t to_check = total_ > nothing_to_check_ ? total_ - nothing_to_check_ : 0;
    if (checked > 0) {
        left = seconds * static_cast<double>(to_check - std::min(checked, to_check)) /
               static_cast<double>(checked);
    }
    out_ << '\r' << progress_line(done_, total_, seconds, last ? std::nullopt : left) << "\033[K"
         << (last ? "\n" : "") << std::flush;
}

} // namespace check
