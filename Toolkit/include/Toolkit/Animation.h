#pragma once

#include <Foundation/Export.h>
#include <cstdint>
#include <functional>

namespace Toolkit {

using AnimationId = std::uint64_t;

// Whether a change of state is shown as an animation or happens at once.
enum class Animated { No, Yes };

// Runs step(progress) on the main run loop's timers about sixty times a second, progress going
// linearly from 0 to 1 over seconds of Foundation::currentTime() (so a ManualClock drives it in
// tests; callers shape the curve themselves), ending with step(1) and completion(true).
// seconds <= 0 (or not finite) runs step(1) and completion(true) at once. Returns an id for
// cancelAnimation, never 0. Main thread only.
RUX_API AnimationId animate(double seconds, std::function<void(double progress)> step,
                            std::function<void(bool finished)> completion = {});

// Stops an animation where it stands and runs its completion with false; unknown ids are ignored.
RUX_API void cancelAnimation(AnimationId id);

// Whether any animation is still running.
RUX_API bool animationsInFlight();

} // namespace Toolkit
