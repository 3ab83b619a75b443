// Filters::radialGradient: two colours blended by the distance to a centre; it covers the whole plane.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Filters/RadialGradient.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
// The shared helpers come after foreach_target so that they too are compiled per instruction set.
#include "Pipeline/SimdMath-inl.h"

#ifndef IMAGEENGINE_FILTERS_GRADIENT_RING
#define IMAGEENGINE_FILTERS_GRADIENT_RING
namespace ImageEngine {
struct GradientRing {
    float centreX, centreY;
    float radius0, radius1;
    float color0[4], color1[4]; // linear straight colour and alpha
};
} // namespace ImageEngine
#endif

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {

// count pixels of the gradient along row y starting at column x.
void radialGradientRow(const GradientRing& gradient, int x, int y, std::size_t count, float* rgba) {
    const D d;
    const std::size_t n = hn::Lanes(d);
    const float dy = static_cast<float>(y) + 0.5f - gradient.centreY;
    const V dy2 = hn::Set(d, dy * dy);
    const V r0 = hn::Set(d, gradient.radius0);
    const bool step = gradient.radius0 == gradient.radius1;
    // With the radii swapped the span is negative and t runs backwards: colour 1 inside r1,
    // colour 0 beyond r0.
    const V inverseSpan = hn::Set(d, step ? 0.0f : 1.0f / (gradient.radius1 - gradient.radius0));
    const V zero = hn::Zero(d), one = hn::Set(d, 1.0f);
    // Channel c of the colour at t (named vectors: SVE's cannot be elements of an array).
    auto startOf = [&](int c) { return hn::Set(d, gradient.color0[c]); };
    auto spanOf = [&](int c) { return hn::Set(d, gradient.color1[c] - gradient.color0[c]); };
    const V rStart = startOf(0), gStart = startOf(1), bStart = startOf(2), aStart = startOf(3);
    const V rSpan = spanOf(0), gSpan = spanOf(1), bSpan = spanOf(2), aSpan = spanOf(3);
    const V firstX = hn::Iota(d, static_cast<float>(x) + 0.5f - gradient.centreX);
    auto compute = [&](std::size_t i, float* out) {
        const V dx = hn::Add(firstX, hn::Set(d, static_cast<float>(i)));
        const V distance = hn::Sqrt(hn::MulAdd(dx, dx, dy2));
        const V t = step ? hn::IfThenElse(hn::Lt(distance, r0), zero, one)
                         : hn::Min(hn::Max(hn::Mul(hn::Sub(distance, r0), inverseSpan), zero), one);
        const V alpha = hn::MulAdd(aSpan, t, aStart);
        hn::StoreInterleaved4(hn::Mul(hn::MulAdd(rSpan, t, rStart), alpha),
                              hn::Mul(hn::MulAdd(gSpan, t, gStart), alpha),
                              hn::Mul(hn::MulAdd(bSpan, t, bStart), alpha), alpha, d, out);
    };
    std::size_t i = 0;
    for (; i + n <= count; i += n)
        compute(i, rgba + i * 4);
    if (i < count) {
        HWY_ALIGN float out[kMaxLanes * 4];
        compute(i, out);
        std::memcpy(rgba + i * 4, out, (count - i) * 4 * sizeof(float));
    }
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "Filters/Nodes.h"
#include "Pipeline/Srgb.h"

#include <algorithm>
#include <cmath>

namespace ImageEngine {

HWY_EXPORT(radialGradientRow);

namespace {

// Straight linear colour and alpha of a filter colour.
void setLinearColor(const Color& c, float* out) {
    out[0] = static_cast<float>(srgbDecodeExact(c.red));
    out[1] = static_cast<float>(srgbDecodeExact(c.green));
    out[2] = static_cast<float>(srgbDecodeExact(c.blue));
    out[3] = static_cast<float>(std::clamp(c.alpha, 0.0, 1.0));
}

class RadialGradientNode final : public Node {
public:
    explicit RadialGradientNode(const GradientRing& gradient)
        : Node(Graphics::Rect::infinite()), m_gradient(gradient) {}

    bool describe(ContentKey& key) const override {
        for (float value : {m_gradient.centreX, m_gradient.centreY, m_gradient.radius0, m_gradient.radius1})
            key.add(value);
        key.add(std::span<const float>(m_gradient.color0));
        key.add(std::span<const float>(m_gradient.color1));
        return true;
    }

    void render(const PixelSpan& out, RenderState&) const override {
        const std::size_t width = static_cast<std::size_t>(out.rect.w);
        for (int y = out.rect.y; y < out.rect.maxY(); ++y) {
            HWY_DYNAMIC_DISPATCH(radialGradientRow)(m_gradient, out.rect.x, y, width, out.row(y));
        }
    }

private:
    GradientRing m_gradient;
};

class RadialGradientFilter final : public EngineFilter {
public:
    RadialGradientFilter() : EngineFilter(Filters::radialGradient) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::center, InputKind::Point, Vector::make(150, 150), {}, "the centre, in pixels");
        declareInput(Inputs::radius0, InputKind::Number, 5.0, {}, "where colour 0 ends");
        declareInput(Inputs::radius1, InputKind::Number, 100.0, {},
                     "where colour 1 begins; below radius 0 the ring runs inwards (colour 1 inside, colour 0 "
                     "beyond radius 0), equal to it gives a hard edge");
        declareInput(Inputs::color0, InputKind::Color, Color{1, 1, 1, 1}, {0, 1},
                     "sRGB-encoded colour and alpha near the centre");
        declareInput(Inputs::color1, InputKind::Color, Color{0, 0, 0, 1}, {0, 1},
                     "sRGB-encoded colour and alpha far from it");
    }
    ImagePtr build() const override {
        Vector centre = vectorInput(Inputs::center);
        GradientRing gradient{};
        gradient.centreX = static_cast<float>(centre.values[0]);
        gradient.centreY = static_cast<float>(centre.values[1]);
        gradient.radius0 = static_cast<float>(numberInput(Inputs::radius0));
        gradient.radius1 = static_cast<float>(numberInput(Inputs::radius1));
        setLinearColor(colorInput(Inputs::color0), gradient.color0);
        setLinearColor(colorInput(Inputs::color1), gradient.color1);
        return imageWithNode(std::make_shared<RadialGradientNode>(gradient));
    }
};

} // namespace

std::shared_ptr<Filter> makeRadialGradientFilter() {
    return makePreparedFilter<RadialGradientFilter>();
}

} // namespace ImageEngine
#endif
