#include "pool.h"

#include <doctest/doctest.h>

#include <atomic>
#include <chrono>

using namespace check;

TEST_CASE("a pool runs every task, those added by tasks and from outside while held included")
{
    for (const unsigned threads : {1U, 4U}) {
        CAPTURE(threads);
        Pool pool;
        std::atomic<int> done{0};
        for (int task = 0; task < 10; ++task) {
            pool.add([&pool, &done] {
                pool.add([&done] { ++done; }); // a task's own follow-up
                ++done;
            });
        }
        pool.hold();
        std::thread late([&pool, &done] {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            pool.add([&done] { ++done; });
            pool.release();
        });
        pool.run(threads);
        late.join();
        CHECK(done == 21);
    }
}
