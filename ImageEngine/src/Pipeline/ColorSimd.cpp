// Vector kernels the pipeline itself needs: sRGB decode and encode at the ends of a render, and the
// split of a run of pixels into colour lanes and back around a chain of per-pixel steps. Compiled
// once per instruction set by Highway.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Pipeline/ColorSimd.cpp"
#include "Pipeline/Simd.h"
#include "Pipeline/Srgb.h"

#include <algorithm>
#include <cstring>
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
// The shared helpers come after foreach_target so that they too are compiled per instruction set.
#include "Pipeline/SimdMath-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {

void deinterleave(const float* rgba, std::size_t count, const Simd::Lanes& lanes) {
    const D d;
    const std::size_t n = hn::Lanes(d);
    std::size_t i = 0;
    for (; i + n <= count; i += n) {
        V r, g, b, a;
        hn::LoadInterleaved4(d, rgba + i * 4, r, g, b, a);
        hn::Store(r, d, lanes.r + i);
        hn::Store(g, d, lanes.g + i);
        hn::Store(b, d, lanes.b + i);
        hn::Store(a, d, lanes.a + i);
    }
    const std::size_t padded = (count + n - 1) / n * n;
    for (; i < padded; ++i) {
        const bool inside = i < count;
        lanes.r[i] = inside ? rgba[i * 4] : 0.0f;
        lanes.g[i] = inside ? rgba[i * 4 + 1] : 0.0f;
        lanes.b[i] = inside ? rgba[i * 4 + 2] : 0.0f;
        lanes.a[i] = inside ? rgba[i * 4 + 3] : 0.0f;
    }
}

void interleave(const Simd::Lanes& lanes, float* rgba) {
    const D d;
    const std::size_t n = hn::Lanes(d);
    std::size_t i = 0;
    for (; i + n <= lanes.count; i += n)
        hn::StoreInterleaved4(hn::Load(d, lanes.r + i), hn::Load(d, lanes.g + i), hn::Load(d, lanes.b + i),
                              hn::Load(d, lanes.a + i), d, rgba + i * 4);
    for (; i < lanes.count; ++i) {
        rgba[i * 4] = lanes.r[i];
        rgba[i * 4 + 1] = lanes.g[i];
        rgba[i * 4 + 2] = lanes.b[i];
        rgba[i * 4 + 3] = lanes.a[i];
    }
}

void decodeRgba8(const std::uint8_t* first, std::ptrdiff_t step, std::size_t count, bool opaque,
                 float* rgba) {
    const D d;
    const DI di;
    const std::size_t n = hn::Lanes(d);
    const float* table = &SrgbTables::get().premultiplied[0][0];
    const VI byteMask = hn::Set(di, 255);
    const VI opaqueRow = hn::Set(di, 255 << 8);
    const V inverse255 = hn::Set(d, 1.0f / 255.0f);
    const auto* pixels = reinterpret_cast<const std::int32_t*>(first);
    // Gathering whole pixels serves rows, columns and mirrored rows alike.
    const VI offsets = hn::Mul(hn::Iota(di, 0), hn::Set(di, static_cast<std::int32_t>(step)));
    auto convert = [&](VI packed, float* out) {
        // premultiplied[a][c] turns a stored (colour, alpha) pair into linear premultiplied colour.
        const VI alphaByte = hn::And(hn::ShiftRight<24>(packed), byteMask);
        const VI row = opaque ? opaqueRow : hn::ShiftLeft<8>(alphaByte);
        const V r = hn::GatherIndex(d, table, hn::Or(row, hn::And(packed, byteMask)));
        const V g = hn::GatherIndex(d, table, hn::Or(row, hn::And(hn::ShiftRight<8>(packed), byteMask)));
        const V b = hn::GatherIndex(d, table, hn::Or(row, hn::And(hn::ShiftRight<16>(packed), byteMask)));
        const V a = opaque ? hn::Set(d, 1.0f) : hn::Mul(hn::ConvertTo(d, alphaByte), inverse255);
        hn::StoreInterleaved4(r, g, b, a, d, out);
    };
    std::size_t i = 0;
    for (; i + n <= count; i += n) {
        const std::int32_t* start = pixels + static_cast<std::ptrdiff_t>(i) * step;
        convert(step == 1 ? hn::LoadU(di, start) : hn::GatherIndex(di, start, offsets), rgba + i * 4);
    }
    if (i < count) {
        HWY_ALIGN std::int32_t packed[kMaxLanes] = {};
        HWY_ALIGN float out[kMaxLanes * 4];
        for (std::size_t k = 0; k < count - i; ++k)
            std::memcpy(&packed[k], pixels + static_cast<std::ptrdiff_t>(i + k) * step, 4);
        convert(hn::Load(di, packed), out);
        std::memcpy(rgba + i * 4, out, (count - i) * 4 * sizeof(float));
    }
}

void encodeRgba8(const float* rgba, std::size_t count, std::uint8_t* out) {
    const D d;
    const DI di;
    const std::size_t n = hn::Lanes(d);
    const V zero = hn::Zero(d), one = hn::Set(d, 1.0f), v255 = hn::Set(d, 255.0f), half = hn::Set(d, 0.5f);
    auto convert = [&](const float* in, std::uint8_t* bytes) {
        V r, g, b, a;
        hn::LoadInterleaved4(d, in, r, g, b, a);
        a = hn::Min(hn::Max(a, zero), one);
        // Encoding acts on straight colour; the bytes are premultiplied again afterwards.
        const V inverse = inverseAlpha(d, a);
        const V scale = hn::Mul(a, v255);
        auto channel = [&](V c) {
            const V straight = hn::Min(hn::Max(hn::Mul(c, inverse), zero), one);
            return hn::ConvertTo(di, hn::MulAdd(encodeUnit(d, straight), scale, half));
        };
        const VI packed = hn::Or(hn::Or(channel(r), hn::ShiftLeft<8>(channel(g))),
                                 hn::Or(hn::ShiftLeft<16>(channel(b)),
                                        hn::ShiftLeft<24>(hn::ConvertTo(di, hn::MulAdd(a, v255, half)))));
        hn::StoreU(packed, di, reinterpret_cast<std::int32_t*>(bytes));
    };
    std::size_t i = 0;
    for (; i + n <= count; i += n)
        convert(rgba + i * 4, out + i * 4);
    if (i < count) {
        HWY_ALIGN float in[kMaxLanes * 4] = {};
        HWY_ALIGN std::uint8_t bytes[kMaxLanes * 4];
        std::memcpy(in, rgba + i * 4, (count - i) * 4 * sizeof(float));
        convert(in, bytes);
        std::memcpy(out + i * 4, bytes, (count - i) * 4);
    }
}

const char* targetName() {
    return hwy::TargetName(HWY_TARGET);
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace ImageEngine {

HWY_EXPORT(deinterleave);
HWY_EXPORT(interleave);
HWY_EXPORT(decodeRgba8);
HWY_EXPORT(encodeRgba8);
HWY_EXPORT(targetName);

namespace Simd {

void deinterleave(const float* rgba, std::size_t count, const Lanes& lanes) {
    HWY_DYNAMIC_DISPATCH(deinterleave)(rgba, count, lanes);
}
void interleave(const Lanes& lanes, float* rgba) {
    HWY_DYNAMIC_DISPATCH(interleave)(lanes, rgba);
}
void decodeRgba8(const std::uint8_t* first, std::ptrdiff_t step, std::size_t count, bool opaque,
                 float* rgba) {
    HWY_DYNAMIC_DISPATCH(decodeRgba8)(first, step, count, opaque, rgba);
}
void encodeRgba8(const float* rgba, std::size_t count, std::uint8_t* out) {
    HWY_DYNAMIC_DISPATCH(encodeRgba8)(rgba, count, out);
}
const char* targetName() {
    return HWY_DYNAMIC_DISPATCH(targetName)();
}

} // namespace Simd
} // namespace ImageEngine
#endif
