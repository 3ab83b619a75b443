#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <atomic>

// Sharpening: an unsharp mask of the luminance, the colour's ratios kept. The value is the amount,
// 0 … 3 (0 changes nothing, to the byte); the radius, 0.5 … 3, is the blur's standard deviation in
// pixels of the photo's own size. A smaller picture (the screen's, the thumbnails') scales it by the
// render's resolution scale (RUXImageMetadata::resolutionScale, its source's width over the photo's),
// so a preview shows what Save gives.
//
// A value or radius that is not finite leaves the picture unchanged, with one log line per render; a
// radius of 0 or less sharpens nothing.
class RUX_API RUXSharpenTransformation final : public RUXScalarAdjustment {
    RUX_SCALAR_ADJUSTMENT(RUXSharpenTransformation)
public:
    static constexpr double kDefaultRadius = 1.0;

    float radius() const { return m_radius.load(std::memory_order_relaxed); }
    void setRadius(float radius) { m_radius.store(radius, std::memory_order_relaxed); }
    // A new instance with the same amount and radius.
    RUXTransformationPtr copy() const override;

private:
    std::atomic<float> m_radius{float(kDefaultRadius)};
};
