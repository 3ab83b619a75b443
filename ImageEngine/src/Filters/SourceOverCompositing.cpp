// Filters::sourceOverCompositing: the foreground laid over the background.
// Premultiplied source-over, s + b × (1 − alpha of s); the output covers the union of the two extents.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Filters/SourceOverCompositing.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
// The shared helpers come after foreach_target so that they too are compiled per instruction set.
#include "Pipeline/SimdMath-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {

void sourceOverRow(const float* source, float* background, std::size_t count) {
    const D d;
    const V one = hn::Set(d, 1.0f);
    forEachPixelVector(source, nullptr, background, count, [&](const float* s, const float*, float* b) {
        V sr, sg, sb, sa, br, bg, bb, ba;
        hn::LoadInterleaved4(d, s, sr, sg, sb, sa);
        hn::LoadInterleaved4(d, b, br, bg, bb, ba);
        const V keep = hn::Sub(one, sa);
        hn::StoreInterleaved4(hn::MulAdd(br, keep, sr), hn::MulAdd(bg, keep, sg), hn::MulAdd(bb, keep, sb),
                              hn::MulAdd(ba, keep, sa), d, b);
    });
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "Filters/CompositeNode.h"

namespace ImageEngine {

HWY_EXPORT(sourceOverRow);

namespace {

void combineRow(const float* foreground, const float*, float* background, std::size_t count) {
    HWY_DYNAMIC_DISPATCH(sourceOverRow)(foreground, background, count);
}

} // namespace

std::shared_ptr<Filter> makeSourceOverCompositingFilter() {
    return makeForegroundOverBackgroundFilter(Filters::sourceOverCompositing, combineRow);
}

} // namespace ImageEngine
#endif
