// Filters::vibrance: a saturation change that falls off as colours grow saturated.
#include <type_traits>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Filters/Vibrance.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
// The shared helpers come after foreach_target so that they too are compiled per instruction set.
#include "Pipeline/SimdMath-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {

void vibrance(const Simd::Lanes& lanes, float amount) {
    const D d;
    const V zero = hn::Zero(d), one = hn::Set(d, 1.0f), k = hn::Set(d, amount), kr = hn::Set(d, 0.2125f),
            kg = hn::Set(d, 0.7154f), kb = hn::Set(d, 0.0721f), unbounded = hn::Set(d, 3.0e38f);
    const V belowLimit = hn::Set(d, 1.0f - 0x1p-20f);
    // The loop for a raise and the one for a lowering, each without the other's test.
    auto run = [&](auto raise) {
        constexpr bool kRaising = decltype(raise)::value;
        forEachVector(lanes, [&](std::size_t i) {
            const V r = hn::Load(d, lanes.r + i), g = hn::Load(d, lanes.g + i), b = hn::Load(d, lanes.b + i);
            const V luma = hn::MulAdd(kr, r, hn::MulAdd(kg, g, hn::Mul(kb, b)));
            const V high = hn::Max(r, hn::Max(g, b)), low = hn::Min(r, hn::Min(g, b));
            // Saturation as (max − min) / max is the same for premultiplied and straight colour, so no
            // division by alpha is needed; a grey gives 0 and a colour with a channel at 0 gives 1.
            const auto lit = hn::Gt(high, zero);
            const V saturation =
                hn::IfThenElseZero(lit, hn::Div(hn::Sub(high, low), hn::IfThenElse(lit, high, one)));
            // The muted colours take the whole change, the saturated ones none of it.
            const V weight = hn::Min(hn::Max(hn::Sub(one, saturation), zero), one);
            V factor = hn::MulAdd(k, weight, one);
            if constexpr (kRaising) {
                // Stretch no channel below black or above the pixel's alpha: the hue and lightness
                // stay and nothing clips. A colour outside that range already is not desaturated by it.
                const V a = hn::Load(d, lanes.a + i);
                const V below = hn::Sub(luma, low), above = hn::Sub(high, luma);
                // Where the stretch is short of both limits by more than rounding can make up (the
                // usual case), the divisions below could only give factor back.
                const auto withinLimits =
                    hn::And(hn::Le(hn::Mul(factor, below), hn::Mul(luma, belowLimit)),
                            hn::Le(hn::Mul(factor, above), hn::Mul(hn::Sub(a, luma), belowLimit)));
                if (!hn::AllTrue(d, withinLimits)) {
                    const auto hasBelow = hn::Gt(below, zero), hasAbove = hn::Gt(above, zero);
                    const V toBlack = hn::IfThenElse(
                        hasBelow, hn::Div(luma, hn::IfThenElse(hasBelow, below, one)), unbounded);
                    const V toWhite = hn::IfThenElse(
                        hasAbove, hn::Div(hn::Sub(a, luma), hn::IfThenElse(hasAbove, above, one)), unbounded);
                    factor = hn::Min(factor, hn::Max(one, hn::Min(toBlack, toWhite)));
                }
            }
            hn::Store(hn::MulAdd(hn::Sub(r, luma), factor, luma), d, lanes.r + i);
            hn::Store(hn::MulAdd(hn::Sub(g, luma), factor, luma), d, lanes.g + i);
            hn::Store(hn::MulAdd(hn::Sub(b, luma), factor, luma), d, lanes.b + i);
        });
    };
    if (amount > 0.0f)
        run(std::true_type{});
    else
        run(std::false_type{});
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "Filters/Nodes.h"
#include "Pipeline/PointNode.h"

namespace ImageEngine {

HWY_EXPORT(vibrance);

namespace {

class VibranceKernel final : public PointKernel {
public:
    explicit VibranceKernel(float amount) : m_amount(amount) {}
    void apply(const Simd::Lanes& lanes) const override { HWY_DYNAMIC_DISPATCH(vibrance)(lanes, m_amount); }
    bool describe(ContentKey& key) const override {
        key.add(m_amount);
        return true;
    }

private:
    float m_amount;
};

class VibranceFilter final : public EngineFilter {
public:
    VibranceFilter() : EngineFilter(Filters::vibrance) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::image, InputKind::Image, ImagePtr{}, {},
                     "the picture to adjust; nil gives a nil output");
        declareInput(Inputs::amount, InputKind::Number, 0.0, {-1, 1},
                     "the colour's distance from its Rec. 709 luma is scaled by 1 + amount × (1 − s), s "
                     "being (max − min) / max of the linear channels; a raise stops where a channel "
                     "would pass black or the pixel's alpha");
    }
    ImagePtr build() const override {
        NodePtr input = nodeOf(imageInput(Inputs::image));
        return imageWithNode(appendPointKernel(
            input, std::make_shared<VibranceKernel>(static_cast<float>(numberInput(Inputs::amount)))));
    }
};

} // namespace

std::shared_ptr<Filter> makeVibranceFilter() {
    return makePreparedFilter<VibranceFilter>();
}

} // namespace ImageEngine
#endif
