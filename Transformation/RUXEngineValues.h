#pragma once

#include <Graphics/Geometry.h>
#include <algorithm>
#include <cmath>

// The engine computes in single precision, where a double above about 3.4e38 becomes infinite and
// an infinite distance or radius turns into NaN a few operations later (inf − inf, 0 × inf). Every
// geometric number a transformation hands over is kept within ±1e30 instead: far beyond any
// picture, so the result is the one the unlimited value would give, and still finite in float.
inline constexpr double kRUXLargestEngineValue = 1e30;

// v held within ±kRUXLargestEngineValue; NaN must have been dealt with by the caller.
inline double RUXEngineValue(double v) {
    return std::clamp(v, -kRUXLargestEngineValue, kRUXLargestEngineValue);
}

inline bool RUXIsFinite(Graphics::Point p) {
    return std::isfinite(p.x) && std::isfinite(p.y);
}

inline bool RUXIsFinite(const Graphics::Rect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}
