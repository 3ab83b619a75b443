#include "RunLoopWake.h"

#include <Foundation/Clock.h>
#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <Foundation/RunLoop.h>
#include <algorithm>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace Foundation {

namespace {

constexpr std::chrono::milliseconds kConditionPollInterval(2);

struct Timer {
    TimePoint due;
    std::chrono::milliseconds interval;
    bool repeats;
    std::shared_ptr<std::function<void()>> fn;
};

// Runs one closure of the loop; an escaping exception is logged rather than allowed to unwind
// through the loop, which would leave the host's event loop in an unknown state.
void runClosureGuarded(const std::function<void()>& work) {
    try {
        work();
    } catch (...) {
        log("RunLoop: a closure threw an exception; it was dropped");
    }
}

bool requireMainThread(const char* function) {
    if (isMainThread()) {
        return true;
    }
    log("RunLoop::%s called off the main thread; ignored", function);
    return false;
}

} // namespace

struct RunLoop::State {
    mutable std::mutex mutex;
    std::condition_variable wakeup;
    // All guarded by mutex.
    std::deque<std::function<void()>> queue;
    std::map<TimerId, Timer> timers;
    TimerId nextTimerId = 1;
    std::uint64_t wakeGeneration = 0;
    std::shared_ptr<std::function<void()>> wakeHandler;

    // Caller holds mutex.
    bool hasTimerDue(TimePoint now) const {
        return std::ranges::any_of(timers, [&](const auto& entry) { return entry.second.due <= now; });
    }
    // Caller holds mutex. TimePoint::max() when no timer is pending.
    TimePoint nextDue() const {
        TimePoint next = TimePoint::max();
        for (const auto& [id, timer] : timers) {
            next = std::min(next, timer.due);
        }
        return next;
    }

    // Wakes a waiting loop and the host's handler. Called without holding mutex.
    void notify() {
        std::shared_ptr<std::function<void()>> handler;
        {
            std::lock_guard lock(mutex);
            ++wakeGeneration;
            handler = wakeHandler;
        }
        wakeup.notify_all();
        if (handler && *handler) {
            (*handler)();
        }
    }
};

RunLoop::RunLoop() : m_state(new State) {}

RunLoop& RunLoop::main() {
    // Deliberately leaked: pool threads may still post while static destructors run at exit.
    static RunLoop* loop = new RunLoop;
    return *loop;
}

void RunLoop::post(std::function<void()> work) {
    if (!work) {
        return;
    }
    {
        std::lock_guard lock(m_state->mutex);
        m_state->queue.push_back(std::move(work));
    }
    m_state->notify();
}

TimerId RunLoop::scheduleTimer(std::chrono::milliseconds interval, Repeats repeats,
                               std::function<void()> fn) {
    if (interval.count() < 0) {
        interval = std::chrono::milliseconds(0);
    }
    if (repeats == Repeats::Yes && interval.count() < 1) {
        // A zero repeat would be due on every turn and the loop could never become idle.
        interval = std::chrono::milliseconds(1);
    }
    TimerId id;
    {
        std::lock_guard lock(m_state->mutex);
        id = m_state->nextTimerId++;
        m_state->timers.emplace(id, Timer{currentTime() + interval, interval, repeats == Repeats::Yes,
                                          std::make_shared<std::function<void()>>(std::move(fn))});
    }
    m_state->notify();
    return id;
}

void RunLoop::cancelTimer(TimerId id) {
    std::lock_guard lock(m_state->mutex);
    m_state->timers.erase(id);
}

std::size_t RunLoop::runOnce() {
    if (!requireMainThread("runOnce")) {
        return 0;
    }
    std::deque<std::function<void()>> batch;
    {
        std::lock_guard lock(m_state->mutex);
        batch.swap(m_state->queue);
    }
    std::size_t ran = 0;
    for (auto& work : batch) {
        runClosureGuarded(work);
        ++ran;
    }

    // Pick the due timers up front so a timer that falls due while others run waits a turn.
    const TimePoint now = currentTime();
    std::vector<std::pair<TimePoint, TimerId>> due;
    {
        std::lock_guard lock(m_state->mutex);
        for (const auto& [id, timer] : m_state->timers) {
            if (timer.due <= now) {
                due.emplace_back(timer.due, id);
            }
        }
    }
    std::ranges::sort(due);
    for (const auto& [when, id] : due) {
        std::shared_ptr<std::function<void()>> fn;
        {
            std::lock_guard lock(m_state->mutex);
            auto it = m_state->timers.find(id);
            if (it == m_state->timers.end()) {
                continue; // cancelled by an earlier timer of this turn
            }
            fn = it->second.fn;
            if (it->second.repeats) {
                // Catch up from the scheduled time, but never schedule into the past: a loop
                // that stalled should not fire a burst of animation frames.
                it->second.due = std::max(it->second.due + it->second.interval, now + it->second.interval);
            } else {
                m_state->timers.erase(it);
            }
        }
        if (fn && *fn) {
            runClosureGuarded(*fn);
        }
        ++ran;
    }
    return ran;
}

bool RunLoop::runUntilIdle(std::chrono::milliseconds bound) {
    if (!requireMainThread("runUntilIdle")) {
        return false;
    }
    const auto deadline = Clock::now() + bound;
    for (;;) {
        runOnce();
        {
            std::lock_guard lock(m_state->mutex);
            if (m_state->queue.empty() && !m_state->hasTimerDue(currentTime())) {
                return true;
            }
        }
        if (Clock::now() >= deadline) {
            return false;
        }
    }
}

bool RunLoop::runUntil(const std::function<bool()>& condition, std::chrono::milliseconds bound) {
    if (!requireMainThread("runUntil")) {
        return false;
    }
    const auto deadline = Clock::now() + bound;
    for (;;) {
        if (condition()) {
            return true;
        }
        const std::size_t ran = runOnce();
        if (condition()) {
            return true;
        }
        const auto now = Clock::now();
        if (now >= deadline) {
            return false;
        }
        if (ran == 0) {
            // The condition may be changed by another thread without posting anything, so
            // the sleep is capped and the condition polled.
            auto remaining = std::chrono::ceil<std::chrono::milliseconds>(deadline - now);
            waitForWork(timeUntilNextEvent(std::min(remaining, kConditionPollInterval)));
        }
    }
}

void RunLoop::waitForWork(std::chrono::milliseconds timeout) {
    if (!requireMainThread("waitForWork")) {
        return;
    }
    ManualClock* manual = currentManualClock();
    std::unique_lock lock(m_state->mutex);
    if (!m_state->queue.empty() || m_state->hasTimerDue(currentTime())) {
        return;
    }
    if (manual && manual->autoAdvance() == AutoAdvance::Yes && !m_state->timers.empty()) {
        const TimePoint next = m_state->nextDue();
        lock.unlock();
        manual->advanceTo(next);
        return;
    }
    const std::uint64_t generation = m_state->wakeGeneration;
    auto woken = [&] {
        return m_state->wakeGeneration != generation || !m_state->queue.empty() ||
               m_state->hasTimerDue(currentTime());
    };
    auto until = Clock::now() + timeout;
    if (!manual) {
        until = std::min(until, m_state->nextDue());
    }
    m_state->wakeup.wait_until(lock, until, woken);
}

std::chrono::milliseconds RunLoop::timeUntilNextEvent(std::chrono::milliseconds timeout) const {
    std::lock_guard lock(m_state->mutex);
    if (!m_state->queue.empty()) {
        return std::chrono::milliseconds(0);
    }
    const TimePoint next = m_state->nextDue();
    if (next == TimePoint::max()) {
        return timeout;
    }
    const auto now = currentTime();
    if (next <= now) {
        return std::chrono::milliseconds(0);
    }
    return std::min(timeout, std::chrono::ceil<std::chrono::milliseconds>(next - now));
}

void RunLoop::setWakeHandler(std::function<void()> handler) {
    std::lock_guard lock(m_state->mutex);
    m_state->wakeHandler = handler ? std::make_shared<std::function<void()>>(std::move(handler)) : nullptr;
}

namespace detail {

void wakeMainRunLoop() {
    RunLoop::main().m_state->notify();
}

} // namespace detail

} // namespace Foundation
