#pragma once

// The scroll view's feel, shared by its panning, zooming and indicator halves.

#include <cmath>

namespace Toolkit::ScrollMotion {

// How long content touches wait for a possible scroll before the content gets them.
inline constexpr double kContentTouchDelay = 0.15;
// The pan recogniser's slop, in points.
inline constexpr double kPanSlop = 10;
// Rubber band: the further past the edge, the less the content follows, approaching one bounds
// length at most.
inline constexpr double kRubberBand = 0.55;
// A fling glides this many seconds' worth of its release velocity.
inline constexpr double kGlideFactor = 0.35;
inline constexpr double kGlideSeconds = 0.6;
inline constexpr double kBounceSeconds = 0.3;
inline constexpr double kZoomSeconds = 0.3;
inline constexpr double kMinimumFlingVelocity = 50;
// Pinching past a zoom limit scales only by this power of the excess, so it feels elastic.
inline constexpr double kZoomRubberExponent = 0.4;
inline constexpr double kIndicatorThickness = 2.5;
inline constexpr double kIndicatorInset = 3;
inline constexpr double kIndicatorMinimumLength = 36;

inline double rubberBand(double excess, double dimension) {
    if (dimension <= 0)
        return 0;
    const double magnitude = (1 - 1 / (std::abs(excess) * kRubberBand / dimension + 1)) * dimension;
    return excess < 0 ? -magnitude : magnitude;
}

inline double easeOut(double p) {
    return 1 - (1 - p) * (1 - p) * (1 - p);
}

inline double lerp(double a, double b, double t) {
    return a + (b - a) * t;
}

} // namespace Toolkit::ScrollMotion
