// Filters::sharpenLuminance: an unsharp mask of the luminance. Each pixel's luminance moves away
// from its Gaussian-blurred neighbourhood by the amount, and the colour is scaled by the one gain
// that gives it that luminance, so hue and saturation stay as they were. Linear light, as every
// colour step of the engine.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Filters/SharpenLuminance.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
// The shared helpers come after foreach_target so that they too are compiled per instruction set.
#include "Pipeline/SimdMath-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {

// The luminance of premultiplied colour: the straight luminance times alpha, so the blur of a
// translucent edge weighs each pixel by its coverage.
HWY_INLINE V premultipliedLuminance(D d, V r, V g, V b) {
    return hn::MulAdd(hn::Set(d, 0.2126f), r,
                      hn::MulAdd(hn::Set(d, 0.7152f), g, hn::Mul(hn::Set(d, 0.0722f), b)));
}

// (luminance, 0, 0, 0): the one channel the blur needs.
void sharpenLuminanceOnly(const Simd::Lanes& lanes) {
    const D d;
    forEachVector(lanes, [&](std::size_t i) {
        hn::Store(premultipliedLuminance(d, hn::Load(d, lanes.r + i), hn::Load(d, lanes.g + i),
                                         hn::Load(d, lanes.b + i)),
                  d, lanes.r + i);
        hn::Store(hn::Zero(d), d, lanes.g + i);
        hn::Store(hn::Zero(d), d, lanes.b + i);
        hn::Store(hn::Zero(d), d, lanes.a + i);
    });
}

// rgba's luminance l becomes max(0, l + amount × (l − blurred)), by one gain on the colour.
void sharpenRow(const float* blurred, float* rgba, std::size_t count, float amount) {
    const D d;
    const V k = hn::Set(d, amount), zero = hn::Zero(d), one = hn::Set(d, 1.0f);
    forEachPixelVector(blurred, nullptr, rgba, count, [&](const float* m, const float*, float* p) {
        V mean, unused0, unused1, unused2, r, g, b, a;
        hn::LoadInterleaved4(d, m, mean, unused0, unused1, unused2);
        hn::LoadInterleaved4(d, p, r, g, b, a);
        const V luminance = premultipliedLuminance(d, r, g, b);
        const V target = hn::Max(hn::MulAdd(k, hn::Sub(luminance, mean), luminance), zero);
        // Black (and clear) pixels have no colour to scale.
        const auto lit = hn::Gt(luminance, zero);
        const V gain = hn::IfThenElse(lit, hn::Div(target, hn::IfThenElse(lit, luminance, one)), one);
        hn::StoreInterleaved4(hn::Mul(r, gain), hn::Mul(g, gain), hn::Mul(b, gain), a, d, p);
    });
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "Filters/Nodes.h"
#include "Pipeline/PointNode.h"

#include <Foundation/Log.h>
#include <cmath>

namespace ImageEngine {

HWY_EXPORT(sharpenLuminanceOnly);
HWY_EXPORT(sharpenRow);

namespace {

class LuminanceKernel final : public PointKernel {
public:
    void apply(const Simd::Lanes& lanes) const override { HWY_DYNAMIC_DISPATCH(sharpenLuminanceOnly)(lanes); }
    bool describe(ContentKey&) const override { return true; }
};

// The picture with its luminance pushed away from the blurred luminance.
class SharpenNode final : public Node {
public:
    SharpenNode(const NodePtr& input, const NodePtr& blurredLuminance, float amount)
        : Node(input->extent(), {input, blurredLuminance}), m_amount(amount) {}

    bool describe(ContentKey& key) const override {
        key.add(m_amount);
        return true;
    }

    void render(const PixelSpan& out, RenderState& state) const override {
        state.renderInput(*inputs()[0], out);
        std::unique_ptr<ScratchPool::Buffer> holder;
        const PixelSpan blurred = state.fetchInput(*inputs()[1], out.rect, holder);
        for (int y = out.rect.y; y < out.rect.maxY(); ++y)
            HWY_DYNAMIC_DISPATCH(sharpenRow)
        (blurred.at(out.rect.x, y), out.row(y), static_cast<std::size_t>(out.rect.w), m_amount);
    }

private:
    float m_amount;
};

class SharpenLuminanceFilter final : public EngineFilter {
public:
    SharpenLuminanceFilter() : EngineFilter(Filters::sharpenLuminance) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::image, InputKind::Image, ImagePtr{}, {},
                     "the picture to sharpen; nil gives a nil output");
        declareInput(Inputs::amount, InputKind::Number, 0.0, {0, 3},
                     "how far the luminance moves away from its blurred neighbourhood: 1 doubles the "
                     "difference; 0 leaves the picture as it is, a negative amount softens it");
        declareInput(Inputs::radius, InputKind::Number, 1.0, {0.01, 100},
                     "the blur's standard deviation in pixels; at or below 0.01 nothing changes, above 100 "
                     "it is that of 100; the picture's edges repeat beyond it");
    }
    ImagePtr build() const override {
        NodePtr input = nodeOf(imageInput(Inputs::image));
        if (!input)
            return nullptr;
        const double amount = numberInput(Inputs::amount), radius = numberInput(Inputs::radius);
        if (!std::isfinite(amount) || !std::isfinite(radius)) {
            Foundation::log("ImageEngine: %s takes finite numbers", name().c_str());
            return nullptr;
        }
        // No amount, or a blur that would be the picture itself: the picture as it is, to the byte.
        if (amount == 0 || !(radius > 0.01))
            return imageWithNode(input);
        // The luminance near the picture's border sees its edge pixels repeated, not transparent black.
        NodePtr luminance = std::make_shared<PointNode>(
            makeEdgeClampNode(input), std::vector<PointKernelPtr>{std::make_shared<LuminanceKernel>()});
        return imageWithNode(std::make_shared<SharpenNode>(input, makeGaussianBlurNode(luminance, radius),
                                                           static_cast<float>(amount)));
    }
};

} // namespace

std::shared_ptr<Filter> makeSharpenLuminanceFilter() {
    return makePreparedFilter<SharpenLuminanceFilter>();
}

} // namespace ImageEngine
#endif
