// Filters::overlayBlendMode: the foreground deepens the background's darks and lifts its lights.
// The foreground is the looks' texture.
// Where both are opaque a linear foreground of 0.5 leaves the background unchanged; elsewhere the
// overlay is composited by coverage. The output covers the union of the two extents.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Filters/OverlayBlendMode.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
// The shared helpers come after foreach_target so that they too are compiled per instruction set.
#include "Pipeline/SimdMath-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {

void overlayRow(const float* source, float* background, std::size_t count) {
    const D d;
    const V one = hn::Set(d, 1.0f), two = hn::Set(d, 2.0f), half = hn::Set(d, 0.5f);
    forEachPixelVector(source, nullptr, background, count, [&](const float* s, const float*, float* b) {
        V sr, sg, sb, sa, br, bg, bb, ba;
        hn::LoadInterleaved4(d, s, sr, sg, sb, sa);
        hn::LoadInterleaved4(d, b, br, bg, bb, ba);
        const V inverseS = inverseAlpha(d, sa), inverseB = inverseAlpha(d, ba);
        const V both = hn::Mul(sa, ba), keepS = hn::Sub(one, ba), keepB = hn::Sub(one, sa);
        // Separable overlay of straight colours, then composited by coverage.
        auto channel = [&](V sp, V bp) {
            const V sc = hn::Mul(sp, inverseS), bc = hn::Mul(bp, inverseB);
            const V dark = hn::Mul(two, hn::Mul(sc, bc));
            const V light = hn::Sub(one, hn::Mul(two, hn::Mul(hn::Sub(one, sc), hn::Sub(one, bc))));
            const V blended = hn::IfThenElse(hn::Le(bc, half), dark, light);
            return hn::MulAdd(both, blended, hn::MulAdd(keepS, sp, hn::Mul(keepB, bp)));
        };
        hn::StoreInterleaved4(channel(sr, br), channel(sg, bg), channel(sb, bb),
                              hn::Sub(hn::Add(sa, ba), both), d, b);
    });
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "Filters/CompositeNode.h"

namespace ImageEngine {

HWY_EXPORT(overlayRow);

namespace {

void combineRow(const float* foreground, const float*, float* background, std::size_t count) {
    HWY_DYNAMIC_DISPATCH(overlayRow)(foreground, background, count);
}

} // namespace

std::shared_ptr<Filter> makeOverlayBlendModeFilter() {
    return makeForegroundOverBackgroundFilter(Filters::overlayBlendMode, combineRow);
}

} // namespace ImageEngine
#endif
