// Filters::blendWithMask: chooses between two pictures pixel by pixel through a mask.
// The output covers the union of the image and background extents.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Filters/BlendWithMask.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
// The shared helpers come after foreach_target so that they too are compiled per instruction set.
#include "Pipeline/SimdMath-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {

void blendWithMaskRow(const float* image, const float* mask, float* background, std::size_t count) {
    const D d;
    forEachPixelVector(image, mask, background, count, [&](const float* s, const float* m, float* b) {
        V sr, sg, sb, sa, mr, mg, mb, ma, br, bg, bb, ba;
        hn::LoadInterleaved4(d, s, sr, sg, sb, sa);
        hn::LoadInterleaved4(d, m, mr, mg, mb, ma);
        hn::LoadInterleaved4(d, b, br, bg, bb, ba);
        auto mix = [&](V sv, V bv) { return hn::MulAdd(hn::Sub(sv, bv), mg, bv); };
        hn::StoreInterleaved4(mix(sr, br), mix(sg, bg), mix(sb, bb), mix(sa, ba), d, b);
    });
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "Filters/CompositeNode.h"

namespace ImageEngine {

HWY_EXPORT(blendWithMaskRow);

namespace {

void combineRow(const float* foreground, const float* mask, float* background, std::size_t count) {
    HWY_DYNAMIC_DISPATCH(blendWithMaskRow)(foreground, mask, background, count);
}

class BlendWithMaskFilter final : public EngineFilter {
public:
    BlendWithMaskFilter() : EngineFilter(Filters::blendWithMask) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::image, InputKind::Image, ImagePtr{}, {},
                     "shown where the mask is 1; nil gives a nil output");
        declareInput(Inputs::backgroundImage, InputKind::Image, ImagePtr{}, {},
                     "shown where the mask is 0; nil gives a nil output");
        declareInput(Inputs::maskImage, InputKind::Image, ImagePtr{}, {},
                     "its green channel mixes the two; nil gives a nil output");
    }
    ImagePtr build() const override {
        return compositeImage({nodeOf(imageInput(Inputs::image)), nodeOf(imageInput(Inputs::backgroundImage)),
                               nodeOf(imageInput(Inputs::maskImage))},
                              combineRow);
    }
};

} // namespace

std::shared_ptr<Filter> makeBlendWithMaskFilter() {
    return makePreparedFilter<BlendWithMaskFilter>();
}

} // namespace ImageEngine
#endif
