#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <atomic>

// A vignette: the picture darkened (amount below 0) or lightened (above 0) towards the corners of
// the frame it receives, the crop's frame at its place in the list, along ellipses that fit that
// frame; the centre is unchanged. The gain is applied in linear light, up to 2 × amount stops at
// the corners. The midpoint (0 … 1, from the centre to the corners) says where the fall-off is half
// done, the feather (0 … 1) how wide it is, from a hard edge to the widest band that fits. All three
// are fractions of the frame, so each resolution shows the same picture.
//
// The value is the amount (its slider caption is "Amount"). An amount of 0 gives the input image
// itself. A value that is not finite leaves the image unchanged, with one log line per render;
// midpoint and feather are held to 0 … 1 and an amount beyond ±32 to ±32 (64 stops take every level
// to black or white).
class RUX_API RUXVignetteTransformation final : public RUXScalarAdjustment {
    RUX_SCALAR_ADJUSTMENT(RUXVignetteTransformation)
public:
    double midpoint() const { return m_midpoint.load(std::memory_order_relaxed); }
    void setMidpoint(double midpoint) { m_midpoint.store(midpoint, std::memory_order_relaxed); }
    double feather() const { return m_feather.load(std::memory_order_relaxed); }
    void setFeather(double feather) { m_feather.store(feather, std::memory_order_relaxed); }
    RUXTransformationPtr copy() const override;

private:
    std::atomic<double> m_midpoint{0.5};
    std::atomic<double> m_feather{0.5};
};
