#pragma once

// Small helpers shared by the bitmap context's drawing, rasterising and image-sampling parts.

#include <Graphics/Geometry.h>
#include <algorithm>
#include <cmath>
#include <cstdint>

namespace Graphics::ContextSupport {

inline bool isFinite(const Rect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}

// NaN (a colour or alpha of NaN) becomes 0 rather than an undefined conversion.
inline std::uint8_t toByte(double v) {
    return static_cast<std::uint8_t>((v > 0 ? std::min(v, 1.0) : 0.0) * 255 + 0.5);
}

} // namespace Graphics::ContextSupport
