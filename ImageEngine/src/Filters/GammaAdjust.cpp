// Filters::gammaAdjust: bends the tone curve by a power.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Filters/GammaAdjust.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
// The shared helpers come after foreach_target so that they too are compiled per instruction set.
#include "Pipeline/SimdMath-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {

void gamma(const Simd::Lanes& lanes, float power) {
    const D d;
    const V p = hn::Set(d, power);
    forEachVector(lanes, [&](std::size_t i) {
        const V a = hn::Load(d, lanes.a + i);
        const V inverse = inverseAlpha(d, a);
        // The power acts on straight colour; the sign of a colour pushed below zero is kept.
        for (float* channel : {lanes.r, lanes.g, lanes.b}) {
            const V v = hn::Mul(hn::Load(d, channel + i), inverse);
            hn::Store(hn::Mul(hn::CopySign(fastPow(d, v, p), v), a), d, channel + i);
        }
    });
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "Filters/Nodes.h"
#include "Pipeline/PointNode.h"

namespace ImageEngine {

HWY_EXPORT(gamma);

namespace {

class GammaKernel final : public PointKernel {
public:
    explicit GammaKernel(float power) : m_power(power) {}
    void apply(const Simd::Lanes& lanes) const override { HWY_DYNAMIC_DISPATCH(gamma)(lanes, m_power); }
    bool describe(ContentKey& key) const override {
        key.add(m_power);
        return true;
    }

private:
    float m_power;
};

class GammaAdjustFilter final : public EngineFilter {
public:
    GammaAdjustFilter() : EngineFilter(Filters::gammaAdjust) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::image, InputKind::Image, ImagePtr{}, {},
                     "the picture to adjust; nil gives a nil output");
        declareInput(Inputs::power, InputKind::Number, 1.0, {},
                     "the straight (un-premultiplied) colour is raised to it, the sign of a negative colour "
                     "kept; 1 leaves the picture as it is");
    }
    ImagePtr build() const override {
        NodePtr input = nodeOf(imageInput(Inputs::image));
        return imageWithNode(appendPointKernel(
            input, std::make_shared<GammaKernel>(static_cast<float>(numberInput(Inputs::power)))));
    }
};

} // namespace

std::shared_ptr<Filter> makeGammaAdjustFilter() {
    return makePreparedFilter<GammaAdjustFilter>();
}

} // namespace ImageEngine
#endif
