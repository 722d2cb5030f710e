// A fixed number of threads working through tasks, where a task may add more.
#pragma once

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace check {

class Pool {
  public:
    void add(std::function<void()> task)
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        tasks_.push_back(std::move(task));
        ++pending_;
        ready_.notify_one();
    }

    // Keeps run() going while more tasks may still come from elsewhere, until release().
    void hold()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ++pending_;
    }
    void release()
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        if (--pending_ == 0) {
            ready_.notify_all();
        }
    }

    // Works on that many threads until every task, including those added meanwhile, is done.
    void run(unsigned threads)
    {
        std::vector<std::thread> workers;
        for (unsigned index = 0; index < std::max(1U, threads); ++index) {
            workers.emplace_back([this] { work(); });
        }
        for (std::thread& worker : workers) {
            worker.join();
        }
    }

  private:
    void work()
    {
        while (true) {
            std::function<void()> task;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                ready_.wait(lock, [this] { return !tasks_.empty() || pending_ == 0; });
                if (tasks_.empty()) {
                    return;
                }
                task = std::move(tasks_.front());
                tasks_.pop_front();
            }
            task();
            const std::lock_guard<std::mutex> lock(mutex_);
            if (--pending_ == 0) {
                ready_.notify_all();
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable ready_;
    std::deque<std::function<void()>> tasks_;
    std::size_t pending_ = 0;
};

} // namespace check
