#include "RunLoopWake.h"

#include <Foundation/Clock.h>
#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

namespace Foundation {

struct ManualClock::State {
    std::atomic<TimePoint::rep> ticks;
};

namespace {

std::mutex& clockMutex() {
    static std::mutex mutex;
    return mutex;
}

// Live manual clocks, newest last; guarded by clockMutex().
std::vector<ManualClock*>& clockStack() {
    static std::vector<ManualClock*> stack;
    return stack;
}

} // namespace

TimePoint currentTime() {
    std::lock_guard lock(clockMutex());
    if (clockStack().empty()) {
        return std::chrono::steady_clock::now();
    }
    return clockStack().back()->now();
}

ManualClock* currentManualClock() {
    std::lock_guard lock(clockMutex());
    return clockStack().empty() ? nullptr : clockStack().back();
}

ManualClock::ManualClock(AutoAdvance autoAdvance) : m_autoAdvance(autoAdvance), m_state(new State) {
    m_state->ticks.store(std::chrono::steady_clock::now().time_since_epoch().count());
    std::lock_guard lock(clockMutex());
    clockStack().push_back(this);
}

ManualClock::~ManualClock() {
    {
        std::lock_guard lock(clockMutex());
        std::erase(clockStack(), this);
    }
    delete m_state;
    // Timers were waiting on this clock's time; let the loop look at the real clock again.
    detail::wakeMainRunLoop();
}

TimePoint ManualClock::now() const {
    return TimePoint(TimePoint::duration(m_state->ticks.load()));
}

void ManualClock::advance(std::chrono::nanoseconds step) {
    if (step.count() <= 0) {
        return;
    }
    m_state->ticks.fetch_add(std::chrono::duration_cast<TimePoint::duration>(step).count());
    detail::wakeMainRunLoop();
}

void ManualClock::advanceTo(TimePoint t) {
    auto target = t.time_since_epoch().count();
    auto current = m_state->ticks.load();
    while (current < target && !m_state->ticks.compare_exchange_weak(current, target)) {
    }
    detail::wakeMainRunLoop();
}

} // namespace Foundation
