// Filters::highlightsShadows: lifts or lowers the tones above middle grey (highlights) and below it
// (shadows), each pixel by the tone of its neighbourhood, so that a dark shape on a bright ground
// moves with the shadows however small it is, while the picture's fine contrast stays.
//
// The neighbourhood's tone comes from a guided filter of the luminance with the luminance itself as
// its guide, its box means replaced by Gaussian means: across a strong edge it follows the edge
// (no halo), over texture weaker than the filter's threshold it is the local mean, and along a smooth
// ramp it is the ramp itself. Tones are the square root of the linear luminance, which puts middle
// grey (18 %) near the middle of the scale. The curve moves each tone by an amount read at the
// neighbourhood's tone, and the pixel's colour is scaled by one gain, so its ratios are kept.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Filters/HighlightsShadows.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
// The shared helpers come after foreach_target so that they too are compiled per instruction set.
#include "Pipeline/SimdMath-inl.h"

#ifndef IMAGEENGINE_FILTERS_HIGHLIGHTS_SHADOWS_CURVE
#define IMAGEENGINE_FILTERS_HIGHLIGHTS_SHADOWS_CURVE
namespace ImageEngine {
// The curve's constants: how far a tone moves at each end of the range, per unit of the value.
struct ToneCurve {
    float shadowScale = 0;    // shadows × strength × middle grey
    float highlightScale = 0; // highlights × strength × (1 − middle grey)
    float inverseMiddle = 1;  // 1 / middle grey
    float inverseUpper = 1;   // 1 / (1 − middle grey)
};
} // namespace ImageEngine
#endif

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {

// The luminance of the straight colour, never negative, from premultiplied lanes.
HWY_INLINE V straightLuminance(D d, V r, V g, V b, V a) {
    const V sum = hn::MulAdd(hn::Set(d, 0.2126f), r,
                             hn::MulAdd(hn::Set(d, 0.7152f), g, hn::Mul(hn::Set(d, 0.0722f), b)));
    return hn::Max(hn::Mul(sum, inverseAlpha(d, a)), hn::Zero(d));
}

// The guide and its square, (tone, tone², 0, 0), for the neighbourhood means.
void toneGuide(const Simd::Lanes& lanes) {
    const D d;
    forEachVector(lanes, [&](std::size_t i) {
        const V luminance = straightLuminance(d, hn::Load(d, lanes.r + i), hn::Load(d, lanes.g + i),
                                              hn::Load(d, lanes.b + i), hn::Load(d, lanes.a + i));
        hn::Store(hn::Sqrt(luminance), d, lanes.r + i);
        hn::Store(luminance, d, lanes.g + i);
        hn::Store(hn::Zero(d), d, lanes.b + i);
        hn::Store(hn::Zero(d), d, lanes.a + i);
    });
}

// From the means of the tone and its square to the guided filter's linear coefficients (a, b, 0, 0):
// a = variance / (variance + threshold), b = mean × (1 − a).
void toneCoefficients(const Simd::Lanes& lanes, float threshold) {
    const D d;
    const V eps = hn::Set(d, threshold), one = hn::Set(d, 1.0f);
    forEachVector(lanes, [&](std::size_t i) {
        const V mean = hn::Load(d, lanes.r + i);
        const V variance = hn::Max(hn::NegMulAdd(mean, mean, hn::Load(d, lanes.g + i)), hn::Zero(d));
        const V a = hn::Div(variance, hn::Add(variance, eps));
        hn::Store(a, d, lanes.r + i);
        hn::Store(hn::Mul(mean, hn::Sub(one, a)), d, lanes.g + i);
    });
}

// Each pixel of rgba moved by the curve at its neighbourhood's tone, a × tone + b with the means of
// the coefficients: one gain on the colour.
void toneMapRow(const float* coefficients, float* rgba, std::size_t count, const ToneCurve& curve) {
    const D d;
    const V zero = hn::Zero(d), one = hn::Set(d, 1.0f);
    const V shadowScale = hn::Set(d, curve.shadowScale), highlightScale = hn::Set(d, curve.highlightScale);
    const V inverseMiddle = hn::Set(d, curve.inverseMiddle), inverseUpper = hn::Set(d, curve.inverseUpper);
    // u(1 − u)² for u in [0, 1]: 0 at both ends, so the curve leaves black, white and middle grey.
    auto bump = [&](V u) {
        u = hn::Min(hn::Max(u, zero), one);
        const V rest = hn::Sub(one, u);
        return hn::Mul(u, hn::Mul(rest, rest));
    };
    forEachPixelVector(coefficients, nullptr, rgba, count, [&](const float* c, const float*, float* p) {
        V ca, cb, unused0, unused1, r, g, b, a;
        hn::LoadInterleaved4(d, c, ca, cb, unused0, unused1);
        hn::LoadInterleaved4(d, p, r, g, b, a);
        const V tone = hn::Sqrt(straightLuminance(d, r, g, b, a));
        const V local = hn::MulAdd(ca, tone, cb);
        // Shadows act below middle grey, highlights above it, each read at the local tone.
        const V shift = hn::MulAdd(shadowScale, bump(hn::Mul(local, inverseMiddle)),
                                   hn::Mul(highlightScale, bump(hn::Mul(hn::Sub(one, local), inverseUpper))));
        const V moved = hn::Max(hn::Add(tone, shift), zero);
        // The luminance goes from tone² to moved²; black has no colour to scale.
        const auto lit = hn::Gt(tone, zero);
        const V ratio = hn::Div(moved, hn::IfThenElse(lit, tone, one));
        const V gain = hn::IfThenElse(lit, hn::Mul(ratio, ratio), one);
        hn::StoreInterleaved4(hn::Mul(r, gain), hn::Mul(g, gain), hn::Mul(b, gain), a, d, p);
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

HWY_EXPORT(toneGuide);
HWY_EXPORT(toneCoefficients);
HWY_EXPORT(toneMapRow);

namespace {

// Middle grey (18 % linear) as a tone.
const float kMiddleTone = std::sqrt(0.18f);
// The guided filter's threshold, in squared tone: texture whose tone varies by less than about 0.1
// (a tenth of the scale) is averaged into the neighbourhood's tone; stronger edges are followed.
constexpr float kEdgeThreshold = 0.01f;
// How far the curve may move a tone, per unit of the value, in each direction. The curve's slope is
// 1 + strength × the bump's slope (1 at the fixed end, −1/3 at its steepest fall), so these keep it
// at 1/5 or more: two tones along a ramp never change places.
constexpr float kTowardsFixedEnd = 0.8f;  // shadows darkened, highlights brightened
constexpr float kAwayFromFixedEnd = 2.0f; // shadows lifted, highlights lowered

class ToneGuideKernel final : public PointKernel {
public:
    void apply(const Simd::Lanes& lanes) const override { HWY_DYNAMIC_DISPATCH(toneGuide)(lanes); }
};

class ToneCoefficientKernel final : public PointKernel {
public:
    void apply(const Simd::Lanes& lanes) const override {
        HWY_DYNAMIC_DISPATCH(toneCoefficients)(lanes, kEdgeThreshold);
    }
};

// The picture, each pixel moved by the curve at the tone its smoothed coefficients give.
class ToneMapNode final : public Node {
public:
    ToneMapNode(const NodePtr& input, const NodePtr& coefficients, const ToneCurve& curve)
        : Node(input->extent(), {input, coefficients}), m_curve(curve) {}

    void render(const PixelSpan& out, RenderState& state) const override {
        state.renderInput(*inputs()[0], out);
        std::unique_ptr<ScratchPool::Buffer> holder;
        const PixelSpan coefficients = state.fetchInput(*inputs()[1], out.rect, holder);
        for (int y = out.rect.y; y < out.rect.maxY(); ++y)
            HWY_DYNAMIC_DISPATCH(toneMapRow)
            (coefficients.at(out.rect.x, y), out.row(y), static_cast<std::size_t>(out.rect.w), m_curve);
    }

private:
    ToneCurve m_curve;
};

class HighlightsShadowsFilter final : public EngineFilter {
public:
    HighlightsShadowsFilter() : EngineFilter(Filters::highlightsShadows) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::image, InputKind::Image, ImagePtr{}, {},
                     "the picture to adjust; nil gives a nil output");
        declareInput(Inputs::highlights, InputKind::Number, 0.0, {-1, 1},
                     "lifts (positive) or lowers (negative) the tones above middle grey; held at ±1 beyond, "
                     "where the curve would fold back");
        declareInput(Inputs::shadows, InputKind::Number, 0.0, {-1, 1},
                     "lifts (positive) or lowers (negative) the tones below middle grey; held at ±1 beyond");
        declareInput(Inputs::radius, InputKind::Number, 10.0, {0.01, 100},
                     "the standard deviation in pixels of the neighbourhood whose tone moves a pixel; "
                     "the picture's edges repeat beyond it");
    }
    ImagePtr build() const override {
        NodePtr input = nodeOf(imageInput(Inputs::image));
        if (!input)
            return nullptr;
        const double highlights = numberInput(Inputs::highlights), shadows = numberInput(Inputs::shadows);
        const double radius = numberInput(Inputs::radius);
        if (!std::isfinite(highlights) || !std::isfinite(shadows) || !std::isfinite(radius)) {
            Foundation::log("ImageEngine: %s takes finite numbers", name().c_str());
            return nullptr;
        }
        // Neither side moves: the picture as it is, to the byte.
        if (highlights == 0 && shadows == 0)
            return imageWithNode(input);
        const float h = static_cast<float>(std::clamp(highlights, -1.0, 1.0));
        const float s = static_cast<float>(std::clamp(shadows, -1.0, 1.0));
        ToneCurve curve;
        curve.shadowScale = s * (s > 0 ? kAwayFromFixedEnd : kTowardsFixedEnd) * kMiddleTone;
        curve.highlightScale = h * (h > 0 ? kTowardsFixedEnd : kAwayFromFixedEnd) * (1 - kMiddleTone);
        curve.inverseMiddle = 1 / kMiddleTone;
        curve.inverseUpper = 1 / (1 - kMiddleTone);
        // The means near the picture's border see its edge pixels repeated, not transparent black.
        NodePtr guide = std::make_shared<PointNode>(
            makeEdgeClampNode(input), std::vector<PointKernelPtr>{std::make_shared<ToneGuideKernel>()});
        NodePtr coefficients = std::make_shared<PointNode>(
            makeGaussianBlurNode(guide, radius),
            std::vector<PointKernelPtr>{std::make_shared<ToneCoefficientKernel>()});
        return imageWithNode(
            std::make_shared<ToneMapNode>(input, makeGaussianBlurNode(coefficients, radius), curve));
    }
};

} // namespace

std::shared_ptr<Filter> makeHighlightsShadowsFilter() {
    return makePreparedFilter<HighlightsShadowsFilter>();
}

} // namespace ImageEngine
#endif
