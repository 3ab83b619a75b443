#pragma once

#include <Foundation/Export.h>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>

namespace Foundation {

// Whether a timer fires once or every interval until cancelled.
enum class Repeats { No, Yes };

using TimerId = std::uint64_t;

namespace detail {
RUX_API void wakeMainRunLoop();
}

// The main thread's run loop: closures posted from any thread and timers, run on the main
// thread by whoever drives the loop (a host's event loop, or a test). Timers read
// Foundation::currentTime() (Foundation/Clock.h), so a ManualClock moves them; the time bounds of
// runUntilIdle and runUntil are always real time, so a stopped clock cannot hang a test.
//
// Main-thread-only functions called from another thread do nothing, log one line and answer
// their neutral result (0, false).
class RUX_API RunLoop {
public:
    using Clock = std::chrono::steady_clock;

    // The one main run loop; it lives for the whole process. Any thread may call it.
    static RunLoop& main();

    // Queues a closure; it runs on a later turn of the loop, after everything queued before it.
    // Any thread may call it.
    void post(std::function<void()> work);

    // Schedules fn after interval (and then every interval with Repeats::Yes; a repeating
    // interval below 1 ms counts as 1 ms); fn runs on the main thread. Returns an id for
    // cancelTimer, never 0. Any thread may call it.
    TimerId scheduleTimer(std::chrono::milliseconds interval, Repeats repeats, std::function<void()> fn);
    // Cancels a timer, also from inside its own fn; an unknown or finished id is ignored.
    // Any thread may call it.
    void cancelTimer(TimerId id);

    // Runs every closure queued now and then every timer that is due (earliest first); returns
    // how many ran. Work queued meanwhile waits for the next turn. Main thread only.
    std::size_t runOnce();

    // Runs turns until nothing is queued and no timer is due now, or until the bound passes;
    // returns true if it became idle. Timers due later than now do not keep it busy.
    // Main thread only.
    bool runUntilIdle(std::chrono::milliseconds bound = std::chrono::milliseconds(5000));

    // Runs turns (sleeping while nothing is due, but looking at the condition at least every
    // few milliseconds, since another thread may change it without posting) until condition()
    // holds or the bound passes; returns the last value of condition(). Main thread only.
    bool runUntil(const std::function<bool()>& condition,
                  std::chrono::milliseconds bound = std::chrono::milliseconds(5000));

    // Blocks until work is posted, a timer falls due, the clock is advanced, or the real-time
    // timeout passes. Under an auto-advancing ManualClock with nothing queued, it instead moves
    // the clock to the next timer and returns. Main thread only.
    void waitForWork(std::chrono::milliseconds timeout);

    // Time until the next timer falls due (zero if work is queued or a timer is due, the
    // timeout if no timer is pending), rounded up to whole milliseconds. Any thread.
    std::chrono::milliseconds timeUntilNextEvent(std::chrono::milliseconds timeout) const;

    // A host with its own event loop (a window system) sets a handler that wakes that loop; it
    // is called on the posting thread after each post, timer change or clock advance, and must
    // be safe to call from any thread. An empty function removes it. Any thread may call it.
    void setWakeHandler(std::function<void()> handler);

private:
    friend void detail::wakeMainRunLoop();
    RunLoop();
    struct State;
    State* m_state; // never freed: the loop must outlive every thread that posts to it
};

} // namespace Foundation
