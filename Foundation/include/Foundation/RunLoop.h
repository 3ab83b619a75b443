#pragma once

#include <chrono>
#include <cstdint>
#include <functional>

namespace Foundation {

using TimerId = std::uint64_t;

// The main thread's run loop: closures posted from any thread and timers, run on the main
// thread by whoever drives the loop (a host's event loop, or a test).
class RunLoop {
public:
    using Clock = std::chrono::steady_clock;

    // The one main run loop. Any thread may call it.
    static RunLoop& main();

    // Queues a closure; it runs on the next turn of the loop. Any thread may call it.
    void post(std::function<void()> work);

    // Schedules fn after interval (and then every interval while repeats is true); fn runs on
    // the main thread. Returns an id for cancelTimer. Any thread may call it.
    TimerId scheduleTimer(std::chrono::milliseconds interval, bool repeats, std::function<void()> fn);
    // Cancels a timer; an unknown or finished id is ignored. Any thread may call it.
    void cancelTimer(TimerId id);

    // Runs every closure queued now and every timer that is due; returns how many ran.
    // Main thread only.
    std::size_t runOnce();

    // Runs the loop until nothing is queued and no timer is due within the bound, or until the
    // bound passes; returns true if it became idle. Timers due later than now do not keep it busy.
    // Main thread only.
    bool runUntilIdle(std::chrono::milliseconds bound = std::chrono::milliseconds(5000));

    // Runs the loop (sleeping while nothing is due) until condition() holds or the bound passes;
    // returns the last value of condition(). Main thread only.
    bool runUntil(const std::function<bool()>& condition,
                  std::chrono::milliseconds bound = std::chrono::milliseconds(5000));

    // Blocks the main thread until work is posted, a timer falls due, or the timeout passes.
    // Main thread only.
    void waitForWork(std::chrono::milliseconds timeout);

    // Time until the next timer falls due (zero if work is queued, the timeout if none).
    std::chrono::milliseconds timeUntilNextEvent(std::chrono::milliseconds timeout) const;

private:
    RunLoop();
    struct State;
    State* m_state;
};

} // namespace Foundation
