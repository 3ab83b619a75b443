#pragma once

#include <Foundation/Export.h>
#include <chrono>

namespace Foundation {

using TimePoint = std::chrono::steady_clock::time_point;

// The time that run-loop timers and animations read: the steady clock, or the newest live
// ManualClock's time while one exists. Any thread may call it.
RUX_API TimePoint currentTime();

enum class AutoAdvance { No, Yes };

// A clock that tests and the headless host move by hand. While one exists, currentTime() answers
// its time and the main run loop's timers fall due only as it advances. With AutoAdvance::Yes,
// a run loop that would otherwise sleep until its next timer jumps the clock to that timer
// instead, so animations finish at once and in order. Clocks nest: the newest one is in force.
// Create and destroy on one thread; advance() and now() may be called from any thread.
class RUX_API ManualClock {
public:
    explicit ManualClock(AutoAdvance autoAdvance = AutoAdvance::No);
    ~ManualClock();
    ManualClock(const ManualClock&) = delete;
    ManualClock& operator=(const ManualClock&) = delete;

    // Starts where the real steady clock stood at construction.
    TimePoint now() const;
    // Moves the time forward (a negative step is ignored) and wakes the main run loop so that
    // timers now due can run. Any thread.
    void advance(std::chrono::nanoseconds step);
    // Moves the time to t if t is later than now(); any thread.
    void advanceTo(TimePoint t);

    AutoAdvance autoAdvance() const { return m_autoAdvance; }

private:
    AutoAdvance m_autoAdvance;
    struct State;
    State* m_state;
};

// The ManualClock in force, or nullptr while the real clock is. The pointer stays valid only as
// long as that clock lives; the run loop uses it on the main thread, where clocks are created.
RUX_API ManualClock* currentManualClock();

} // namespace Foundation
