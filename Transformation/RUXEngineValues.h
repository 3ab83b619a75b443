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

// r with each edge held within ±kRUXLargestEngineValue: edges beyond lie off every picture, so the
// part of any picture inside r is unchanged, while width and height stay finite. A rectangle already
// within the limits is returned as it is, to the bit.
inline Graphics::Rect RUXEngineRect(const Graphics::Rect& r) {
    const double left = std::min(r.origin.x, r.origin.x + r.size.width);
    const double right = std::max(r.origin.x, r.origin.x + r.size.width);
    const double bottom = std::min(r.origin.y, r.origin.y + r.size.height);
    const double top = std::max(r.origin.y, r.origin.y + r.size.height);
    const double limit = kRUXLargestEngineValue;
    if (left >= -limit && right <= limit && bottom >= -limit && top <= limit) {
        return r;
    }
    const double x0 = RUXEngineValue(left), x1 = RUXEngineValue(right);
    const double y0 = RUXEngineValue(bottom), y1 = RUXEngineValue(top);
    return Graphics::Rect(x0, y0, x1 - x0, y1 - y0);
}
