#pragma once

namespace Foundation::detail {

// Wakes the main run loop if it is blocked in waitForWork, so it looks at the clock and its
// queue again. Any thread.
void wakeMainRunLoop();

} // namespace Foundation::detail
