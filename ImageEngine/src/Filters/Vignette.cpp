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
    // Whether the gain may be sampled every few pixels and drawn as a line between (a frame large
    // enough on the screen for the line to stay within a small fraction of the curve).
    bool sampled;
};
// Pixels between two of the gain's samples along a row, where the frame is large enough on the
// screen for a straight line between samples to follow the gain closely (VignetteShape::sampled).
inline constexpr std::size_t kSampleSpacing = 8;
} // namespace ImageEngine
#endif

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {

// The vignette's gain at count pixels of row y spaced spacing apart from column x (whole vectors'
// worth): 1, exactly, inside the band's inner edge.
void sampleGains(const VignetteShape& shape, int x, int y, std::size_t count, float spacing, float* gains) {
    const D d;
    const float v = (static_cast<float>(y) + 0.5f - shape.centreY) * shape.inverseY;
    const V v2 = hn::Set(d, v * v);
    const V inner = hn::Set(d, shape.inner);
    const bool hardEdge = !(shape.outer > shape.inner);
    const V inverseBand = hn::Set(d, hardEdge ? 0.0f : 1.0f / (shape.outer - shape.inner));
    const V zero = hn::Zero(d), one = hn::Set(d, 1.0f), three = hn::Set(d, 3.0f);
    const V stops = hn::Set(d, shape.stops);
    for (std::size_t i = 0; i < count; i += hn::Lanes(d)) {
        // The elliptical distance of each sampled pixel's centre from the frame's centre.
        const V column = hn::Mul(hn::Iota(d, static_cast<float>(i)), hn::Set(d, spacing));
        const V u = hn::Mul(hn::Add(column, hn::Set(d, static_cast<float>(x) + 0.5f - shape.centreX)),
                            hn::Set(d, shape.inverseX));
        const V distance = hn::Sqrt(hn::MulAdd(u, u, v2));
        // Inside the band's inner edge nothing changes: the frame's middle needs no power of two.
        if (hn::AllFalse(d, hn::Gt(distance, inner))) {
            hn::Store(one, d, gains + i);
            continue;
        }
        // The fall-off: a smooth step across the band, or a hard one.
        V t;
        if (hardEdge) {
            t = hn::IfThenElseZero(hn::Gt(distance, inner), one);
        } else {
            t = hn::Min(hn::Max(hn::Mul(hn::Sub(distance, inner), inverseBand), zero), one);
            t = hn::Mul(hn::Mul(t, t), hn::NegMulAdd(t, hn::Set(d, 2.0f), three));
        }
        // No fall-off leaves the pixel exactly as it was.
        hn::Store(hn::IfThenElse(hn::Eq(t, zero), one, fastExp2(d, hn::Mul(stops, t))), d, gains + i);
    }
}

// Scales the run's premultiplied colour by the vignette's gain at each pixel's position: exact at
// every kSampleSpacing-th pixel and on a straight line between. A hard edge is exact everywhere.
void vignette(const Simd::Lanes& lanes, const VignetteShape& shape) {
    const D d;
    HWY_ALIGN float gains[Simd::kRunPixels + 2 * kMaxLanes + 3 * kSampleSpacing];
    // Where the samples lie: every kSampleSpacing-th column of the picture, so a pixel's gain does not
    // depend on where its run starts.
    std::size_t offset = 0;
    if (!shape.sampled) {
        sampleGains(shape, lanes.x, lanes.y, lanes.count, 1.0f, gains);
    } else {
        constexpr int kSpacing = static_cast<int>(kSampleSpacing);
        const int first =
            lanes.x >= 0 ? lanes.x / kSpacing * kSpacing : -((-lanes.x + kSpacing - 1) / kSpacing * kSpacing);
        offset = static_cast<std::size_t>(lanes.x - first);
        // The samples, the last one at or past the end of the run's whole vectors, then the line
        // between each pair.
        HWY_ALIGN float samples[Simd::kRunPixels / kSampleSpacing + 4 + kMaxLanes];
        const std::size_t n = hn::Lanes(d), padded = offset + (lanes.count + n - 1) / n * n;
        const std::size_t intervals = (padded + kSampleSpacing - 1) / kSampleSpacing;
        sampleGains(shape, first, lanes.y, intervals + 1, static_cast<float>(kSampleSpacing), samples);
        const hn::CappedTag<float, kSampleSpacing> d8;
        const std::size_t n8 = hn::Lanes(d8);
        const auto step = hn::Set(d8, 1.0f / static_cast<float>(kSampleSpacing));
        for (std::size_t k = 0; k < intervals; ++k) {
            const auto low = hn::Set(d8, samples[k]), rise = hn::Sub(hn::Set(d8, samples[k + 1]), low);
            for (std::size_t j = 0; j < kSampleSpacing; j += n8)
                hn::Store(hn::MulAdd(rise, hn::Mul(hn::Iota(d8, static_cast<float>(j)), step), low), d8,
                          gains + k * kSampleSpacing + j);
        }
    }
    const V one = hn::Set(d, 1.0f);
    forEachVector(lanes, [&](std::size_t i) {
        const V gain = hn::LoadU(d, gains + offset + i);
        // Inside the band's inner edge nothing changes: the frame's middle is left as it is.
        if (hn::AllTrue(d, hn::Eq(gain, one)))
            return;
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
#include <numbers>

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
        key.add(m_shape.sampled);
        return true;
    }

private:
    VignetteShape m_shape;
};

// Whether a straight line between gains kSampleSpacing pixels apart stays within 5e-4 of the gain
// itself (a twentieth of an 8-bit level, or less): the line's error is at most the gain's second
// derivative along a row times the spacing squared over 8. Along the distance from the centre, the
// smooth step's slope is at most 1.5 / band and its second derivative 6 / band², so the gain's second
// derivative is at most gain × ((stops ln 2 × 1.5 / band)² + stops ln 2 × 6 / band²), and a pixel
// moves the distance by at most the larger of the two inverses; the curvature of the ellipse itself
// adds little next to these, which the bound's margin covers.
bool gainBetweenSamplesIsClose(const VignetteShape& shape) {
    const double band = double(shape.outer) - double(shape.inner);
    if (!(band > 0))
        return false;
    const double slope = std::abs(double(shape.stops)) * std::numbers::ln2;
    const double largestGain = std::exp2(std::abs(double(shape.stops)));
    const double bend = largestGain * (std::pow(slope * 1.5 / band, 2) + slope * 6 / (band * band));
    const double step = double(kSampleSpacing) * std::max(double(shape.inverseX), double(shape.inverseY));
    return bend * step * step / 8 <= 5e-4;
}

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
        shape.sampled = gainBetweenSamplesIsClose(shape);
        return imageWithNode(appendPointKernel(nodeOf(image), std::make_shared<VignetteKernel>(shape)));
    }
};

} // namespace

std::shared_ptr<Filter> makeVignetteFilter() {
    return makePreparedFilter<VignetteFilter>();
}

} // namespace ImageEngine
#endif
