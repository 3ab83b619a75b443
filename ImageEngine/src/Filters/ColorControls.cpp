// Filters::colorControls: saturation, brightness and contrast in one step, in that order.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Filters/ColorControls.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
// The shared helpers come after foreach_target so that they too are compiled per instruction set.
#include "Pipeline/SimdMath-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {

void colorControls(const Simd::Lanes& lanes, float saturation, float brightness, float contrast) {
    const D d;
    const V s = hn::Set(d, saturation), kr = hn::Set(d, 0.2125f), kg = hn::Set(d, 0.7154f),
            kb = hn::Set(d, 0.0721f);
    // Saturation alone is linear in the colour, so it works on premultiplied values directly.
    const bool saturationOnly = brightness == 0.0f && contrast == 1.0f;
    const V bright = hn::Set(d, brightness), c = hn::Set(d, contrast), half = hn::Set(d, 0.5f);
    forEachVector(lanes, [&](std::size_t i) {
        V r = hn::Load(d, lanes.r + i), g = hn::Load(d, lanes.g + i), b = hn::Load(d, lanes.b + i);
        const V a = hn::Load(d, lanes.a + i);
        V inverse = hn::Set(d, 1.0f);
        if (!saturationOnly) {
            inverse = inverseAlpha(d, a);
            r = hn::Mul(r, inverse), g = hn::Mul(g, inverse), b = hn::Mul(b, inverse);
        }
        const V luma = hn::MulAdd(kr, r, hn::MulAdd(kg, g, hn::Mul(kb, b)));
        r = hn::MulAdd(hn::Sub(r, luma), s, luma);
        g = hn::MulAdd(hn::Sub(g, luma), s, luma);
        b = hn::MulAdd(hn::Sub(b, luma), s, luma);
        if (!saturationOnly) {
            // Brightness and contrast move straight colour; a clear pixel keeps its (zero) colour.
            const auto visible = hn::Gt(a, hn::Zero(d));
            auto finish = [&](V v, V old) {
                v = hn::MulAdd(hn::Sub(hn::Add(v, bright), half), c, half);
                return hn::IfThenElse(visible, hn::Mul(v, a), old);
            };
            r = finish(r, hn::Load(d, lanes.r + i));
            g = finish(g, hn::Load(d, lanes.g + i));
            b = finish(b, hn::Load(d, lanes.b + i));
        }
        hn::Store(r, d, lanes.r + i);
        hn::Store(g, d, lanes.g + i);
        hn::Store(b, d, lanes.b + i);
    });
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "Filters/Nodes.h"
#include "Pipeline/PointNode.h"

namespace ImageEngine {

HWY_EXPORT(colorControls);

namespace {

class ColorControlsKernel final : public PointKernel {
public:
    ColorControlsKernel(float saturation, float brightness, float contrast)
        : m_saturation(saturation), m_brightness(brightness), m_contrast(contrast) {}
    void apply(const Simd::Lanes& lanes) const override {
        HWY_DYNAMIC_DISPATCH(colorControls)(lanes, m_saturation, m_brightness, m_contrast);
    }
    bool describe(ContentKey& key) const override {
        key.add(m_saturation);
        key.add(m_brightness);
        key.add(m_contrast);
        return true;
    }

private:
    float m_saturation, m_brightness, m_contrast;
};

class ColorControlsFilter final : public EngineFilter {
public:
    ColorControlsFilter() : EngineFilter(Filters::colorControls) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::image, InputKind::Image, ImagePtr{}, {},
                     "the picture to adjust; nil gives a nil output");
        declareInput(Inputs::saturation, InputKind::Number, 1.0, {},
                     "mix between the Rec. 709 luma (0) and the colour (1); above 1 pushes colours apart");
        declareInput(Inputs::brightness, InputKind::Number, 0.0, {},
                     "added to the straight colour after saturation");
        declareInput(Inputs::contrast, InputKind::Number, 1.0, {},
                     "the straight colour's distance from 0.5 is scaled by it, last");
    }
    ImagePtr build() const override {
        NodePtr input = nodeOf(imageInput(Inputs::image));
        auto kernel =
            std::make_shared<ColorControlsKernel>(static_cast<float>(numberInput(Inputs::saturation)),
                                                  static_cast<float>(numberInput(Inputs::brightness)),
                                                  static_cast<float>(numberInput(Inputs::contrast)));
        return imageWithNode(appendPointKernel(input, std::move(kernel)));
    }
};

} // namespace

std::shared_ptr<Filter> makeColorControlsFilter() {
    return makePreparedFilter<ColorControlsFilter>();
}

} // namespace ImageEngine
#endif
