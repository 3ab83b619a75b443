// Filters::vignette: darkens or lightens towards the corners of a frame along ellipses that fit it.
// The gain is 2^(2 × amount × t) in linear light, where t rises smoothly from 0 to 1 across a band
// of the distance from the frame's centre (0 there, 1 at its corners), placed by the midpoint and
// widened by the feather. Everything is in fractions of the frame, so every size of one picture
// looks alike.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Filters/Vignette.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
// The shared helpers come after foreach_target so that they too are compiled per instruction set.
#include "Pipeline/SimdMath-inl.h"

#ifndef IMAGEENGINE_FILTERS_VIGNETTE_SHAPE
#define IMAGEENGINE_FILTERS_VIGNETTE_SHAPE
namespace ImageEngine {
struct VignetteShape {
    float centreX, centreY;
    // 1 / (half width × √2) and 1 / (half height × √2): a corner lies at distance 1.
    float inverseX, inverseY;
    // The band over which the fall-off rises; inner = outer is a hard edge.
    float inner, outer;
    // 2 × amount: the stops gained at full fall-off.
    float stops;
};
} // namespace ImageEngine
#endif

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {

// Scales the run's premultiplied colour by the vignette's gain at each pixel's position.
void vignette(const Simd::Lanes& lanes, const VignetteShape& shape) {
    const D d;
    const float v = (static_cast<float>(lanes.y) + 0.5f - shape.centreY) * shape.inverseY;
    const V v2 = hn::Set(d, v * v);
    const V inverseX = hn::Set(d, shape.inverseX);
    const V inner = hn::Set(d, shape.inner);
    const bool hardEdge = !(shape.outer > shape.inner);
    const V inverseBand = hn::Set(d, hardEdge ? 0.0f : 1.0f / (shape.outer - shape.inner));
    const V zero = hn::Zero(d), one = hn::Set(d, 1.0f), three = hn::Set(d, 3.0f);
    const V stops = hn::Set(d, shape.stops);
    const V firstX = hn::Iota(d, static_cast<float>(lanes.x) + 0.5f - shape.centreX);
    forEachVector(lanes, [&](std::size_t i) {
        // The elliptical distance of each pixel centre from the frame's centre.
        const V u = hn::Mul(hn::Add(firstX, hn::Set(d, static_cast<float>(i))), inverseX);
        const V distance = hn::Sqrt(hn::MulAdd(u, u, v2));
        // Inside the band's inner edge nothing changes: the frame's middle is left as it is.
        if (hn::AllFalse(d, hn::Gt(distance, inner)))
            return;
        // The fall-off: a smooth step across the band, or a hard one.
        V t;
        if (hardEdge) {
            t = hn::IfThenElseZero(hn::Gt(distance, inner), one);
        } else {
            t = hn::Min(hn::Max(hn::Mul(hn::Sub(distance, inner), inverseBand), zero), one);
            t = hn::Mul(hn::Mul(t, t), hn::NegMulAdd(t, hn::Set(d, 2.0f), three));
        }
        // No fall-off leaves the pixel exactly as it was.
        const V gain = hn::IfThenElse(hn::Eq(t, zero), one, fastExp2(d, hn::Mul(stops, t)));
        hn::Store(hn::Mul(hn::Load(d, lanes.r + i), gain), d, lanes.r + i);
        hn::Store(hn::Mul(hn::Load(d, lanes.g + i), gain), d, lanes.g + i);
        hn::Store(hn::Mul(hn::Load(d, lanes.b + i), gain), d, lanes.b + i);
    });
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "Filters/Nodes.h"
#include "Pipeline/PointNode.h"

#include <Foundation/Log.h>
#include <algorithm>
#include <cmath>

namespace ImageEngine {

HWY_EXPORT(vignette);

namespace {

// A step of the per-pixel chain: the gain depends on where the pixel lies.
class VignetteKernel final : public PointKernel {
public:
    explicit VignetteKernel(const VignetteShape& shape) : m_shape(shape) {}
    void apply(const Simd::Lanes& lanes) const override { HWY_DYNAMIC_DISPATCH(vignette)(lanes, m_shape); }
    bool describe(ContentKey& key) const override {
        for (float value : {m_shape.centreX, m_shape.centreY, m_shape.inverseX, m_shape.inverseY,
                            m_shape.inner, m_shape.outer, m_shape.stops})
            key.add(value);
        return true;
    }

private:
    VignetteShape m_shape;
};

class VignetteFilter final : public EngineFilter {
public:
    VignetteFilter() : EngineFilter(Filters::vignette) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::image, InputKind::Image, ImagePtr{}, {},
                     "the picture to darken or lighten; nil gives a nil output");
        declareInput(Inputs::rectangle, InputKind::Rectangle, Vector::make(0, 0, 0, 0), {},
                     "the frame (x, y, width, height) whose centre stays as it is and whose corners change "
                     "most; an empty frame leaves the picture as it is");
        declareInput(Inputs::amount, InputKind::Number, 0.0, {-1, 1},
                     "half the stops gained at the corners: below 0 darkens, above 0 lightens, 0 leaves "
                     "the picture as it is");
        declareInput(Inputs::midpoint, InputKind::Number, 0.5, {0, 1},
                     "where the fall-off is half done, from the centre (0) to the corners (1)");
        declareInput(Inputs::feather, InputKind::Number, 0.5, {0, 1},
                     "how wide the fall-off is around the midpoint, from a hard edge (0) to the widest "
                     "band that fits (1)");
    }
    ImagePtr build() const override {
        ImagePtr image = imageInput(Inputs::image);
        const Vector frame = vectorInput(Inputs::rectangle);
        const double amount = numberInput(Inputs::amount);
        const double midpoint = std::clamp(numberInput(Inputs::midpoint), 0.0, 1.0);
        const double feather = std::clamp(numberInput(Inputs::feather), 0.0, 1.0);
        if (!std::isfinite(amount) || !std::isfinite(midpoint) || !std::isfinite(feather)) {
            Foundation::log("%s: the amount, midpoint and feather must be finite numbers",
                            Filters::vignette.text);
            return nullptr;
        }
        // No change at all hands the picture on as it is, so its bytes cannot change.
        const double halfWidth = frame.values[2] / 2, halfHeight = frame.values[3] / 2;
        if (!image || amount == 0 || !(halfWidth > 0) || !(halfHeight > 0) || !std::isfinite(halfWidth) ||
            !std::isfinite(halfHeight)) {
            return image;
        }
        VignetteShape shape{};
        shape.centreX = static_cast<float>(frame.values[0] + halfWidth);
        shape.centreY = static_cast<float>(frame.values[1] + halfHeight);
        shape.inverseX = static_cast<float>(1 / (halfWidth * std::sqrt(2.0)));
        shape.inverseY = static_cast<float>(1 / (halfHeight * std::sqrt(2.0)));
        const double band = feather * std::min(midpoint, 1 - midpoint);
        shape.inner = static_cast<float>(midpoint - band);
        shape.outer = static_cast<float>(midpoint + band);
        // Past 64 stops every level is already black or white; beyond that single precision overflows.
        shape.stops = static_cast<float>(std::clamp(2 * amount, -64.0, 64.0));
        return imageWithNode(appendPointKernel(nodeOf(image), std::make_shared<VignetteKernel>(shape)));
    }
};

} // namespace

std::shared_ptr<Filter> makeVignetteFilter() {
    return makePreparedFilter<VignetteFilter>();
}

} // namespace ImageEngine
#endif
