#include <Foundation/Dispatch.h>
#include <Foundation/RunLoop.h>
#include <atomic>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

using namespace Foundation;

namespace {

// Joins on destruction so a failing assertion cannot leave a thread running into the next test.
struct Threads {
    std::vector<std::thread> threads;
    ~Threads() {
        for (auto& t : threads) {
            t.join();
        }
    }
};

} // namespace

TEST(Dispatch, WaitingHandOverFromSeveralThreadsReturnsOnlyAfterTheMainThreadRanIt) {
    constexpr int threadCount = 6;
    constexpr int perThread = 20;
    std::atomic<int> returned{0};
    std::atomic<int> ranOffMain{0};
    std::atomic<int> returnedEarly{0};
    int ranOnMain = 0; // touched only by the main thread
    {
        Threads threads;
        for (int t = 0; t < threadCount; ++t) {
            threads.threads.emplace_back([&] {
                for (int i = 0; i < perThread; ++i) {
                    bool ran = false;
                    performOnMainThread(
                        [&] {
                            if (isMainThread()) {
                                ++ranOnMain;
                            } else {
                                ++ranOffMain;
                            }
                            ran = true;
                        },
                        Wait::Yes);
                    if (!ran) {
                        ++returnedEarly;
                    }
                }
                ++returned;
            });
        }
        EXPECT_TRUE(
            RunLoop::main().runUntil([&] { return returned == threadCount; }, std::chrono::seconds(30)));
    }
    EXPECT_EQ(ranOnMain, threadCount * perThread);
    EXPECT_EQ(ranOffMain, 0);
    EXPECT_EQ(returnedEarly, 0);
}

TEST(Dispatch, WaitingOnTheMainThreadRunsAtOnceAndNotWaitingOnlyQueues) {
    RunLoop::main().runUntilIdle();
    std::vector<int> order;
    performOnMainThread([&] { order.push_back(2); }, Wait::No);
    performOnMainThread([&] { order.push_back(1); }, Wait::Yes);
    EXPECT_EQ(order, std::vector<int>{1});
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
}

TEST(Dispatch, NotWaitingHandOverKeepsEachThreadsOrder) {
    constexpr int threadCount = 4;
    constexpr int perThread = 200;
    std::vector<std::vector<int>> seen(threadCount); // main thread only
    std::atomic<int> posted{0};
    {
        Threads threads;
        for (int t = 0; t < threadCount; ++t) {
            threads.threads.emplace_back([&, t] {
                for (int i = 0; i < perThread; ++i) {
                    performOnMainThread([&seen, t, i] { seen[t].push_back(i); }, Wait::No);
                }
                ++posted;
            });
        }
        EXPECT_TRUE(
            RunLoop::main().runUntil([&] { return posted == threadCount; }, std::chrono::seconds(30)));
    }
    RunLoop::main().runUntilIdle();
    for (int t = 0; t < threadCount; ++t) {
        ASSERT_EQ(seen[t].size(), static_cast<std::size_t>(perThread));
        for (int i = 0; i < perThread; ++i) {
            EXPECT_EQ(seen[t][i], i) << "thread " << t;
        }
    }
}

TEST(Dispatch, PoolThreadsAreNotTheMainThread) {
    EXPECT_TRUE(isMainThread());
    std::atomic<int> onMain{-1};
    dispatchAsyncGlobal([&] { onMain = isMainThread() ? 1 : 0; });
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return onMain != -1; }));
    EXPECT_EQ(onMain, 0);
    EXPECT_GE(globalQueueThreadCount(), 2u);
}

TEST(Dispatch, ParallelForRunsEveryIndexExactlyOnce) {
    for (std::size_t count : {0u, 1u, 2u, 7u, 1000u}) {
        std::vector<std::atomic<int>> hits(count);
        parallelFor(count, [&](std::size_t i) { ++hits[i]; });
        for (std::size_t i = 0; i < count; ++i) {
            EXPECT_EQ(hits[i], 1) << "count " << count << " index " << i;
        }
    }
}

// Every worker is inside a parallelFor that itself nests one; with no free worker the callers
// must do the work themselves instead of waiting for helpers that cannot start.
TEST(Dispatch, NestedParallelForInsideBusyPoolDoesNotDeadlock) {
    const std::size_t workers = globalQueueThreadCount();
    constexpr std::size_t outer = 16;
    constexpr std::size_t inner = 8;
    std::atomic<std::size_t> leaves{0};
    std::atomic<std::size_t> tasksDone{0};
    for (std::size_t w = 0; w < workers + 2; ++w) {
        dispatchAsyncGlobal([&] {
            parallelFor(outer, [&](std::size_t) { parallelFor(inner, [&](std::size_t) { ++leaves; }); });
            ++tasksDone;
        });
    }
    EXPECT_TRUE(RunLoop::main().runUntil([&] { return tasksDone == workers + 2; }, std::chrono::seconds(60)));
    EXPECT_EQ(leaves, (workers + 2) * outer * inner);
}
