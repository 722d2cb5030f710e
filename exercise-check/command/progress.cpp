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

Work work_of(const std::vector<Step>& programs)
{
    Work work;
    for (const Step& step : programs) {
        work.total += 1 + step.cases;
        work.done += step.finished ? 1 + step.cases
                                   : (step.built ? 1 : 0) + std::min(step.cases_done, step.cases);
    }
    return work;
}

std::optional<double> time_left(const Work& work, double seconds)
{
    if (work.done == 0 || work.total == 0) {
        return std::nullopt;
    }
    return seconds * static_cast<double>(work.total - std::min(work.done, work.total)) /
           static_cast<double>(work.done);
}

std::string person_line(const std::vector<Step>& programs, double seconds,
                        std::optional<double> seconds_left)
{
    const std::string so_far = ", " + clock_text(seconds) + " so far";
    if (programs.empty()) {
        return "finding the sources" + so_far;
    }
    std::size_t built = 0;
    std::size_t finished = 0;
    for (const Step& step : programs) {
        built += step.built ? 1 : 0;
        finished += step.finished ? 1 : 0;
    }
    const std::string of = " of " + std::to_string(programs.size()) +
                           (programs.size() == 1 ? " program" : " programs");
    std::string line;
    if (built < programs.size()) {
        line = "compiling: " + std::to_string(built) + of + " built";
    } else {
        line = "running the cases: " + std::to_string(finished) + of + " done";
        // The last one heard of that is under way, as the caller orders them.
        for (const Step& step : programs) {
            if (!step.finished) {
                line += ", " + step.program + " " + std::to_string(step.cases_done) + " of " +
                        std::to_string(step.cases) + (step.cases == 1 ? " case" : " cases");
                break;
            }
        }
    }
    return line + so_far +
           (seconds_left ? ", about " + clock_text(*seconds_left) + " left" : std::string());
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
        if (done == total && !all_done_) {
            all_done_ =
                std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        }
        draw(false);
    };
}

Steps ProgressMeter::steps()
{
    return [this](const Step& step) {
        const std::lock_guard<std::mutex> lock(mutex_);
        programs_[{step.person, step.program}] = step;
        if (step.built && !step.finished) {
            last_program_ = step.program;
        }
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
    std::vector<Step> programs;
    for (const auto& [key, step] : programs_) {
        programs.push_back(step);
    }
    // The program last heard of first, for the line of one person.
    std::stable_partition(programs.begin(), programs.end(),
                          [this](const Step& step) { return step.program == last_program_; });
    std::optional<double> left = time_left(work_of(programs), seconds);
    if (programs.empty()) {
        // Before any step is heard of: those with nothing to check are done first and at once,
        // the others set the pace.
        const std::size_t checked = done_ > nothing_to_check_ ? done_ - nothing_to_check_ : 0;
        const std::size_t to_check = total_ > nothing_to_check_ ? total_ - nothing_to_check_ : 0;
        if (checked > 0) {
            left = seconds * static_cast<double>(to_check - std::min(checked, to_check)) /
                   static_cast<double>(checked);
        }
    }
    std::string line;
    if (all_done_) {
        line = progress_line(done_, total_, *all_done_, std::nullopt);
        if (!last) {
            line += ", writing the reports… " + clock_text(seconds - *all_done_);
        } else if (seconds - *all_done_ >= 1) {
            line += ", the reports in " + clock_text(seconds - *all_done_) + " more";
        }
    } else if (total_ == 1 && !last) {
        line = person_line(programs, seconds, left);
    } else {
        line = progress_line(done_, total_, seconds, last ? std::nullopt : left);
    }
    out_ << '\r' << line << "\033[K" << (last ? "\n" : "") << std::flush;
}

} // namespace check
