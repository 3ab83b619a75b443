// Filters::exposureAdjust: lightens or darkens by photographic stops.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Filters/ExposureAdjust.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
// The shared helpers come after foreach_target so that they too are compiled per instruction set.
#include "Pipeline/SimdMath-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {

void exposure(const Simd::Lanes& lanes, float gain) {
    const D d;
    const V k = hn::Set(d, gain);
    // Scaling premultiplied colour scales the straight colour alike; alpha stays.
    forEachVector(lanes, [&](std::size_t i) {
        hn::Store(hn::Mul(hn::Load(d, lanes.r + i), k), d, lanes.r + i);
        hn::Store(hn::Mul(hn::Load(d, lanes.g + i), k), d, lanes.g + i);
        hn::Store(hn::Mul(hn::Load(d, lanes.b + i), k), d, lanes.b + i);
    });
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "Filters/Nodes.h"
#include "Pipeline/PointNode.h"

#include <cmath>

namespace ImageEngine {

HWY_EXPORT(exposure);

namespace {

class ExposureKernel final : public PointKernel {
public:
    explicit ExposureKernel(float ev) : m_gain(std::exp2(ev)) {}
    void apply(const Simd::Lanes& lanes) const override { HWY_DYNAMIC_DISPATCH(exposure)(lanes, m_gain); }
    bool describe(ContentKey& key) const override {
        key.add(m_gain);
        return true;
    }
    std::optional<std::array<float, 9>> colorMatrix() const override {
        return std::array<float, 9>{m_gain, 0, 0, 0, m_gain, 0, 0, 0, m_gain};
    }

private:
    float m_gain;
};

class ExposureAdjustFilter final : public EngineFilter {
public:
    ExposureAdjustFilter() : EngineFilter(Filters::exposureAdjust) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::image, InputKind::Image, ImagePtr{}, {},
                     "the picture to adjust; nil gives a nil output");
        declareInput(Inputs::ev, InputKind::Number, 0.0, {},
                     "stops: the linear colour is scaled by 2^EV, alpha is kept");
    }
    ImagePtr build() const override {
        NodePtr input = nodeOf(imageInput(Inputs::image));
        return imageWithNode(appendColorMatrixKernel(
            input, std::make_shared<ExposureKernel>(static_cast<float>(numberInput(Inputs::ev)))));
    }
};

} // namespace

std::shared_ptr<Filter> makeExposureAdjustFilter() {
    return makePreparedFilter<ExposureAdjustFilter>();
}

} // namespace ImageEngine
#endif
