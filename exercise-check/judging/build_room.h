// The room a person's builds take on disk while they are kept: a build waits for room, and gives
// it back once its runs are done.
#pragma once

#include <algorithm>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>

namespace check {

class BuildRoom {
  public:
    explicit BuildRoom(std::uint64_t total) : total_(total) {}

    // Calls start once bytes are free, at once where they are; in the order asked. What is asked
    // for while nothing is taken is given even where it is more than the total, so that no build
    // waits for ever. False when start waits.
    bool take(std::uint64_t bytes, std::function<void()> start)
    {
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            if (!waiting_.empty() || !fits(bytes)) {
                waiting_.emplace_back(bytes, std::move(start));
                return false;
            }
            taken_ += bytes;
        }
        start();
        return true;
    }

    // Gives back bytes taken, and starts what waited and now fits.
    void give_back(std::uint64_t bytes)
    {
        std::deque<std::function<void()>> starting;
        {
            const std::lock_guard<std::mutex> lock(mutex_);
            taken_ -= std::min(bytes, taken_);
            while (!waiting_.empty() && fits(waiting_.front().first)) {
                taken_ += waiting_.front().first;
                starting.push_back(std::move(waiting_.front().second));
                waiting_.pop_front();
            }
        }
        for (auto& start : starting) {
            start();
        }
    }

  private:
    bool fits(std::uint64_t bytes) const
    {
        return taken_ == 0 || (taken_ <= total_ && bytes <= total_ - taken_);
    }

    std::mutex mutex_;
    std::uint64_t total_;
    std::uint64_t taken_ = 0;
    std::deque<std::pair<std::uint64_t, std::function<void()>>> waiting_;
};

} // namespace check
