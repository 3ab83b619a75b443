#include <Foundation/Clock.h>
#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <Foundation/RunLoop.h>
#include <atomic>
#include <gtest/gtest.h>
#include <latch>
#include <string>
#include <thread>
#include <vector>

using namespace Foundation;
using namespace std::chrono_literals;

namespace {

class RunLoopTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(loop().runUntilIdle()); }
    void TearDown() override {
        for (TimerId id : m_timers) {
            loop().cancelTimer(id);
        }
        loop().runUntilIdle();
    }
    static RunLoop& loop() { return RunLoop::main(); }
    TimerId schedule(std::chrono::milliseconds interval, Repeats repeats, std::function<void()> fn) {
        TimerId id = loop().scheduleTimer(interval, repeats, std::move(fn));
        m_timers.push_back(id);
        return id;
    }

    std::vector<TimerId> m_timers;
};

} // namespace

TEST_F(RunLoopTest, TimersFireAsTheManualClockAdvances) {
    ManualClock clock;
    std::string fired;
    schedule(100ms, Repeats::No, [&] { fired += "once "; });
    TimerId tick = schedule(30ms, Repeats::Yes, [&] { fired += "tick "; });

    // Each step: how far to move the clock, then what one turn of the loop must have run.
    struct Step {
        std::chrono::milliseconds advance;
        const char* expected;
    };
    const Step steps[] = {
        {0ms, ""},         {29ms, ""},           {1ms, "tick "},
        {30ms, "tick "},   {40ms, "tick once "}, // the earlier due time runs first
        {1000ms, "tick "},                       // a stalled loop fires a repeating timer once, not a burst
        {0ms, ""},
    };
    for (const Step& step : steps) {
        clock.advance(step.advance);
        fired.clear();
        loop().runOnce();
        EXPECT_EQ(fired, step.expected) << "after advancing " << step.advance.count() << " ms";
    }

    loop().cancelTimer(tick);
    clock.advance(1000ms);
    fired.clear();
    loop().runOnce();
    EXPECT_EQ(fired, "");
}

TEST_F(RunLoopTest, ATimerCanCancelItselfAndAnotherDueInTheSameTurn) {
    ManualClock clock;
    int selfRuns = 0;
    int otherRuns = 0;
    TimerId other = 0;
    TimerId self = 0;
    self = schedule(10ms, Repeats::Yes, [&] {
        ++selfRuns;
        loop().cancelTimer(self);
        loop().cancelTimer(other);
    });
    other = schedule(20ms, Repeats::No, [&] { ++otherRuns; });
    clock.advance(50ms);
    loop().runOnce();
    clock.advance(50ms);
    loop().runOnce();
    EXPECT_EQ(selfRuns, 1);
    EXPECT_EQ(otherRuns, 0);
}

TEST_F(RunLoopTest, AutoAdvancingClockLetsRunUntilFinishAnAnimation) {
    ManualClock clock(AutoAdvance::Yes);
    const TimePoint start = clock.now();
    int frames = 0;
    TimerId frame = schedule(16ms, Repeats::Yes, [&] { ++frames; });
    EXPECT_TRUE(loop().runUntil([&] { return frames == 10; }));
    loop().cancelTimer(frame);
    EXPECT_EQ(frames, 10);
    EXPECT_EQ(clock.now() - start, 160ms);
}

TEST_F(RunLoopTest, RunUntilGivesUpAtItsBoundAndRunUntilIdleOnEndlessWork) {
    EXPECT_FALSE(loop().runUntil([] { return false; }, 20ms));

    // A stopped manual clock must not stall the bound either.
    {
        ManualClock clock;
        schedule(10ms, Repeats::No, [] {});
        EXPECT_FALSE(loop().runUntil([] { return false; }, 20ms));
    }

    std::atomic<bool> stop{false};
    std::function<void()> repost = [&] {
        if (!stop) {
            loop().post(repost);
        }
    };
    loop().post(repost);
    EXPECT_FALSE(loop().runUntilIdle(20ms));
    stop = true;
    EXPECT_TRUE(loop().runUntilIdle());
}

TEST_F(RunLoopTest, RunUntilIdleIgnoresTimersDueLater) {
    ManualClock clock;
    int runs = 0;
    schedule(10ms, Repeats::Yes, [&] { ++runs; });
    loop().post([&] { ++runs; });
    EXPECT_TRUE(loop().runUntilIdle());
    EXPECT_EQ(runs, 1);
}

TEST_F(RunLoopTest, WorkPostedFromAnotherThreadWakesASleepingLoop) {
    std::atomic<bool> done{false};
    // The post waits until the loop has run, so that it lands on a loop already waiting for work
    // rather than on one that would find it on its first look.
    std::latch loopRunning(1);
    loop().post([&] { loopRunning.count_down(); });
    std::thread poster([&] {
        loopRunning.wait();
        loop().post([&] { done = true; });
    });
    EXPECT_TRUE(loop().runUntil([&] { return done.load(); }, 30s));
    poster.join();
}

TEST_F(RunLoopTest, WakeHandlerHearsPostsFromAnyThread) {
    std::atomic<int> wakes{0};
    loop().setWakeHandler([&] { ++wakes; });
    std::thread poster([&] { loop().post([] {}); });
    poster.join();
    loop().setWakeHandler(nullptr);
    EXPECT_GE(wakes, 1);
    loop().runUntilIdle();
}

TEST_F(RunLoopTest, MainThreadOnlyCallsFromElsewhereAreRefusedWithALogLine) {
    LogCapture capture;
    int ran = 0;
    loop().post([&] { ++ran; });
    std::size_t offMainRan = 99;
    std::thread other([&] { offMainRan = loop().runOnce(); });
    other.join();
    EXPECT_EQ(offMainRan, 0u);
    EXPECT_EQ(ran, 0);
    EXPECT_TRUE(capture.contains("off the main thread"));
    loop().runUntilIdle();
    EXPECT_EQ(ran, 1);
}

TEST_F(RunLoopTest, AThrowingClosureIsLoggedAndTheLoopGoesOn) {
    LogCapture capture;
    int after = 0;
    loop().post([] { throw 1; });
    loop().post([&] { ++after; });
    EXPECT_TRUE(loop().runUntilIdle());
    EXPECT_EQ(after, 1);
    EXPECT_EQ(capture.lines().size(), 1u);
}
