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

// The overlay of one vector of background pixels (in place) by one of foreground pixels: the
// separable overlay of their straight colours, composited by coverage.
HWY_INLINE void overlayVector(D d, V sr, V sg, V sb, V sa, V& br, V& bg, V& bb, V& ba) {
    const V one = hn::Set(d, 1.0f), two = hn::Set(d, 2.0f), half = hn::Set(d, 0.5f);
    const V inverseS = inverseAlpha(d, sa), inverseB = inverseAlpha(d, ba);
    const V both = hn::Mul(sa, ba), keepS = hn::Sub(one, ba), keepB = hn::Sub(one, sa);
    auto channel = [&](V sp, V bp) {
        const V sc = hn::Mul(sp, inverseS), bc = hn::Mul(bp, inverseB);
        const V dark = hn::Mul(two, hn::Mul(sc, bc));
        const V light = hn::Sub(one, hn::Mul(two, hn::Mul(hn::Sub(one, sc), hn::Sub(one, bc))));
        const V blended = hn::IfThenElse(hn::Le(bc, half), dark, light);
        return hn::MulAdd(both, blended, hn::MulAdd(keepS, sp, hn::Mul(keepB, bp)));
    };
    br = channel(sr, br);
    bg = channel(sg, bg);
    bb = channel(sb, bb);
    ba = hn::Sub(hn::Add(sa, ba), both);
}

void overlayRow(const float* source, float* background, std::size_t count) {
    const D d;
    forEachPixelVector(source, nullptr, background, count, [&](const float* s, const float*, float* b) {
        V sr, sg, sb, sa, br, bg, bb, ba;
        hn::LoadInterleaved4(d, s, sr, sg, sb, sa);
        hn::LoadInterleaved4(d, b, br, bg, bb, ba);
        overlayVector(d, sr, sg, sb, sa, br, bg, bb, ba);
        hn::StoreInterleaved4(br, bg, bb, ba, d, b);
    });
}

// The same overlay of the lanes (the background, in place) by lanes.count interleaved foreground
// pixels; the last, partial vector reads the foreground from a zero-padded copy, so nothing past the
// pixels is read.
void overlayLanes(const Simd::Lanes& lanes, const float* foreground) {
    const D d;
    const std::size_t n = hn::Lanes(d);
    auto blend = [&](std::size_t i, const float* s) {
        V sr, sg, sb, sa;
        hn::LoadInterleaved4(d, s, sr, sg, sb, sa);
        V br = hn::Load(d, lanes.r + i), bg = hn::Load(d, lanes.g + i), bb = hn::Load(d, lanes.b + i),
          ba = hn::Load(d, lanes.a + i);
        overlayVector(d, sr, sg, sb, sa, br, bg, bb, ba);
        hn::Store(br, d, lanes.r + i);
        hn::Store(bg, d, lanes.g + i);
        hn::Store(bb, d, lanes.b + i);
        hn::Store(ba, d, lanes.a + i);
    };
    std::size_t i = 0;
    for (; i + n <= lanes.count; i += n)
        blend(i, foreground + i * 4);
    if (i < lanes.count) {
        HWY_ALIGN float tail[kMaxLanes * 4] = {};
        std::memcpy(tail, foreground + i * 4, (lanes.count - i) * 4 * sizeof(float));
        blend(i, tail);
    }
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "Filters/CompositeNode.h"
#include "Pipeline/PointNode.h"

namespace ImageEngine {

HWY_EXPORT(overlayRow);
HWY_EXPORT(overlayLanes);

namespace {

void combineRow(const float* foreground, const float*, float* background, std::size_t count) {
    HWY_DYNAMIC_DISPATCH(overlayRow)(foreground, background, count);
}

// The overlay as a step of the background's per-pixel chain, reading the foreground at each run's
// place: the steps before and after it run in the same pass, and the background is never written out
// as a tile of its own.
class OverlayKernel final : public SideInputKernel {
public:
    explicit OverlayKernel(NodePtr foreground) : m_foreground(std::move(foreground)) {}
    const NodePtr& sideInput() const override { return m_foreground; }
    PixelRect sideRegion(const PixelRect& rect) const override { return rect; }
    void applyWithSide(const Simd::Lanes& lanes, const PixelSpan& side) const override {
        HWY_DYNAMIC_DISPATCH(overlayLanes)(lanes, side.at(lanes.x, lanes.y));
    }
    bool describe(ContentKey&) const override { return true; }

private:
    NodePtr m_foreground;
};

PointKernelPtr overlayStep(NodePtr foreground) {
    return std::make_shared<OverlayKernel>(std::move(foreground));
}

} // namespace

std::shared_ptr<Filter> makeOverlayBlendModeFilter() {
    return makeForegroundOverBackgroundFilter(Filters::overlayBlendMode, combineRow, overlayStep);
}

} // namespace ImageEngine
#endif
