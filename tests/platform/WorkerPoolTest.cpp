#include "platform/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

namespace kalvex::platform {
namespace {

class WorkerPoolTest : public testing::TestWithParam<unsigned> {};

// A tree of tasks, each adding its children: far more than may wait at once, so some run
// where they were added. Run returns only when every one has run, each exactly once.
TEST_P(WorkerPoolTest, RunsEveryTaskItsTasksAddOnceBeforeRunReturns) {
    WorkerPool pool(GetParam());
    constexpr int kDepth = 5;
    constexpr int kChildren = 6;  // 1 + 6 + ... + 6^5 = 9331 tasks
    std::atomic<int> ran = 0;
    std::mutex lock;
    std::set<std::thread::id> threads;
    std::function<void(int)> task = [&](int depth) {
        {
            const std::lock_guard<std::mutex> guard(lock);
            threads.insert(std::this_thread::get_id());
        }
        ++ran;
        if (depth == kDepth) {
            return;
        }
        for (int i = 0; i < kChildren; ++i) {
            const WorkerPool::Task child = [&task, depth] { task(depth + 1); };
            if (!pool.TryAdd(child)) {
                child();
            }
        }
    };
    for (int round = 1; round <= 2; ++round) {
        pool.Run([&] { task(0); });
        EXPECT_EQ(ran.load(), round * 9331);
    }
    EXPECT_LE(threads.size(), GetParam() + 1);
    if (GetParam() == 0) {
        EXPECT_EQ(threads, std::set<std::thread::id>{std::this_thread::get_id()});
    }
}

INSTANTIATE_TEST_SUITE_P(Helpers, WorkerPoolTest, testing::Values(0u, 1u, 3u));

}  // namespace
}  // namespace kalvex::platform
