// Vector kernels the pipeline itself needs: sRGB decode and encode at the ends of a render, and the
// split of a run of pixels into colour lanes and back around a chain of per-pixel steps. Compiled
// once per instruction set by Highway.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Pipeline/ColorSimd.cpp"
#include "Pipeline/Simd.h"

#include <algorithm>
#include <cstring>
#include <hwy/cache_control.h>
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

// Four packed sRGB pixels' worth of lanes to linear premultiplied colour. The curve is computed
// (decodeUnit) rather than gathered lane by lane from a table of every (colour, alpha) pair: on AMD's
// Zen 3 the render spends about a tenth less on decoding, and no 256 KB table is built or kept. A
// stored colour is straight colour times alpha; colour above alpha is not a valid premultiplied pixel
// and counts as full colour.
HWY_INLINE void decodePacked(D d, VI packed, bool opaque, V& r, V& g, V& b, V& a) {
    const DI di;
    const V inverse255 = hn::Set(d, 1.0f / 255.0f), one = hn::Set(d, 1.0f);
    auto code = [&](int shift) {
        return hn::ConvertTo(d, hn::And(hn::ShiftRightSame(packed, shift), hn::Set(di, 255)));
    };
    if (opaque) {
        r = decodeUnit(d, hn::Mul(code(0), inverse255));
        g = decodeUnit(d, hn::Mul(code(8), inverse255));
        b = decodeUnit(d, hn::Mul(code(16), inverse255));
        a = one;
        return;
    }
    const V alpha = code(24);
    const V inverse = inverseAlpha(d, alpha);
    a = hn::Mul(alpha, inverse255);
    auto channel = [&](V c) { return hn::Mul(decodeUnit(d, hn::Min(hn::Mul(c, inverse), one)), a); };
    r = channel(code(0));
    g = channel(code(8));
    b = channel(code(16));
}

void decodeRgba8(const std::uint8_t* first, std::ptrdiff_t step, std::size_t count, bool opaque,
                 float* rgba) {
    const D d;
    const DI di;
    const std::size_t n = hn::Lanes(d);
    const auto* pixels = reinterpret_cast<const std::int32_t*>(first);
    // Gathering whole pixels serves rows, columns and mirrored rows alike (the renders read turned
    // bitmaps through copyPixels first, so only translucent rows of a turned copy come here with a step).
    const VI offsets = hn::Mul(hn::Iota(di, 0), hn::Set(di, static_cast<std::int32_t>(step)));
    auto convert = [&](VI packed, float* out) {
        V r, g, b, a;
        decodePacked(d, packed, opaque, r, g, b, a);
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

void decodeRgba8Lanes(const std::uint8_t* bytes, bool opaque, const Simd::Lanes& lanes) {
    const D d;
    const DI di;
    const std::size_t n = hn::Lanes(d);
    const std::size_t count = lanes.count;
    auto convert = [&](VI packed, std::size_t i) {
        V r, g, b, a;
        decodePacked(d, packed, opaque, r, g, b, a);
        hn::Store(r, d, lanes.r + i);
        hn::Store(g, d, lanes.g + i);
        hn::Store(b, d, lanes.b + i);
        hn::Store(a, d, lanes.a + i);
    };
    std::size_t i = 0;
    for (; i + n <= count; i += n)
        convert(hn::LoadU(di, reinterpret_cast<const std::int32_t*>(bytes + i * 4)), i);
    if (i < count) {
        // The last pixels, and zeros in the lanes past them, as deinterleave leaves them.
        HWY_ALIGN std::int32_t packed[kMaxLanes] = {};
        std::memcpy(packed, bytes + i * 4, (count - i) * 4);
        convert(hn::Load(di, packed), i);
        const auto inside =
            hn::Lt(hn::Iota(di, static_cast<std::int32_t>(i)), hn::Set(di, static_cast<std::int32_t>(count)));
        for (float* lane : {lanes.r, lanes.g, lanes.b, lanes.a})
            hn::Store(hn::IfThenElseZero(hn::RebindMask(d, inside), hn::Load(d, lane + i)), d, lane + i);
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

#if !HWY_HAVE_SCALABLE && HWY_TARGET != HWY_SCALAR
// Transposes 4 × 4 blocks of four lanes within each 128-bit block of v[0..3]: lane l of v[k] goes to
// lane k of v[l], block by block.
template <class DU>
HWY_INLINE void transposeBlocksOfFour(DU du, hn::Vec<DU>* v) {
    const hn::RepartitionToWide<DU> dw;
    const auto t0 = hn::BitCast(dw, hn::InterleaveLower(du, v[0], v[1]));
    const auto t1 = hn::BitCast(dw, hn::InterleaveUpper(du, v[0], v[1]));
    const auto t2 = hn::BitCast(dw, hn::InterleaveLower(du, v[2], v[3]));
    const auto t3 = hn::BitCast(dw, hn::InterleaveUpper(du, v[2], v[3]));
    v[0] = hn::BitCast(du, hn::InterleaveLower(dw, t0, t2));
    v[1] = hn::BitCast(du, hn::InterleaveUpper(dw, t0, t2));
    v[2] = hn::BitCast(du, hn::InterleaveLower(dw, t1, t3));
    v[3] = hn::BitCast(du, hn::InterleaveUpper(dw, t1, t3));
}

// Loads a square block of n × n pixels, row k from source(k), and transposes it: v[l] holds lane l
// of every row. With 8 lanes, each vector is put together from two 128-bit loads (rows k and k + 4,
// the same four pixels), so that the transposition stays within 128-bit blocks, and no load crosses a
// cache line where rows start on 16-byte boundaries, as a bitmap's do. all gets the And of every
// pixel, lane l for the pixels that land in v[l].
template <class DU, class Source>
HWY_INLINE void loadTransposed(DU du, const Source& source, hn::Vec<DU>* v, hn::Vec<DU>& all) {
    constexpr std::size_t n = hn::MaxLanes(DU());
    static_assert(n == 4 || n == 8, "square blocks of 4 or 8 lanes");
    if constexpr (n == 4) {
        for (std::size_t k = 0; k < 4; ++k) {
            v[k] = hn::LoadU(du, source(k));
            all = hn::And(all, v[k]);
        }
        transposeBlocksOfFour(du, v);
    } else {
        const hn::Half<DU> dh;
        for (std::size_t k = 0; k < 4; ++k) {
            const std::uint32_t* lower = source(k);
            const std::uint32_t* upper = source(k + 4);
            v[k] = hn::Combine(du, hn::LoadU(dh, upper), hn::LoadU(dh, lower));
            v[k + 4] = hn::Combine(du, hn::LoadU(dh, upper + 4), hn::LoadU(dh, lower + 4));
        }
        // Lane l of either half of v[0..3] lands in v[l], of v[4..7] in v[l + 4].
        const hn::Vec<DU> first = hn::And(hn::And(v[0], v[1]), hn::And(v[2], v[3]));
        const hn::Vec<DU> second = hn::And(hn::And(v[4], v[5]), hn::And(v[6], v[7]));
        all = hn::And(
            all, hn::And(hn::ConcatLowerLower(du, second, first), hn::ConcatUpperUpper(du, second, first)));
        transposeBlocksOfFour(du, v);
        transposeBlocksOfFour(du, v + 4);
    }
}
#endif

void copyPixels(const std::uint8_t* first, std::ptrdiff_t step, std::ptrdiff_t rowStep, std::size_t count,
                std::size_t rows, std::uint8_t* const* out, bool* opaqueRows) {
    auto at = [&](std::ptrdiff_t pixels) { return first + pixels * 4; };
    const bool marking = opaqueRows != nullptr;
    for (std::size_t j = 0; marking && j < rows; ++j)
        opaqueRows[j] = true;
    // One pixel at a time, for the tails and the targets without whole blocks.
    auto copyOne = [&](std::uint8_t* target, const std::uint8_t* source, std::size_t row) {
        std::memcpy(target, source, 4);
        if (marking) {
            opaqueRows[row] = opaqueRows[row] && source[3] == 255;
            target[3] = 255;
        }
    };
    std::size_t j = 0;
#if !HWY_HAVE_SCALABLE && HWY_TARGET != HWY_SCALAR
    const hn::CappedTag<std::uint32_t, 8> du;
    constexpr std::size_t n = hn::MaxLanes(decltype(du)());
    using VU = hn::Vec<decltype(du)>;
    const VU alpha = hn::Set(du, marking ? 0xFF000000u : 0u);
    auto load = [&](std::ptrdiff_t offset) {
        return hn::LoadU(du, reinterpret_cast<const std::uint32_t*>(at(offset)));
    };
    auto store = [&](VU v, std::uint8_t* target) {
        hn::StoreU(hn::Or(v, alpha), du, reinterpret_cast<std::uint32_t*>(target));
    };
    // Whether every lane's fourth byte is 255, for an And of pixels.
    auto opaqueLanes = [&](VU all) {
        return hn::Eq(hn::Or(all, hn::Set(du, 0x00FFFFFFu)), hn::Set(du, ~0u));
    };
    if (step == 1 || step == -1) {
        // Rows read forwards, or mirrored: runs read backwards and reversed.
        for (; j < rows; ++j) {
            const std::ptrdiff_t start = static_cast<std::ptrdiff_t>(j) * rowStep;
            VU all = hn::Set(du, ~0u);
            std::size_t i = 0;
            for (; i + n <= count; i += n) {
                const VU v = step == 1
                                 ? load(start + static_cast<std::ptrdiff_t>(i))
                                 : hn::Reverse(du, load(start - static_cast<std::ptrdiff_t>(i + n - 1)));
                all = hn::And(all, v);
                store(v, out[j] + i * 4);
            }
            if (marking)
                opaqueRows[j] = hn::AllTrue(du, opaqueLanes(all));
            for (; i < count; ++i)
                copyOne(out[j] + i * 4, at(start + static_cast<std::ptrdiff_t>(i) * step), j);
        }
        return;
    }
    if (rowStep == 1 || rowStep == -1) {
        // Output rows in groups as wide as a cache line of a source row, n at a time within a group:
        // the n pixels that a source row gives n output rows lie side by side (in reverse order when
        // rowStep is -1), so n runs of n source rows make one transposed block, and the blocks of a
        // group side by side read whole cache lines. Taken one block at a time across the whole count
        // instead, each source line was read half by one pass and half by the next, and the count's
        // rows in between, a bitmap row apart, fall into a few sets of the first-level cache that
        // cannot hold them meanwhile.
        constexpr std::size_t kLinePixels = 64 / 4;
        constexpr std::size_t kGroup = kLinePixels > n ? kLinePixels : n;
        // How many source rows ahead of the blocks their lines are asked for.
        constexpr std::size_t kAhead = 32;
        // Lane l of block b: the And of the pixels of output row row(b, l), while marking.
        HWY_ALIGN std::uint32_t marks[kGroup];
        while (j + n <= rows) {
            const std::size_t blocks = std::min(kGroup, rows - j) / n;
            // The first pixel of block b's run of a source row, and the output row lane l of its runs,
            // and so v[l] of its transposed blocks, belongs to.
            auto start = [&](std::size_t b) {
                return static_cast<std::ptrdiff_t>(j + b * n) * rowStep -
                       (rowStep < 0 ? static_cast<std::ptrdiff_t>(n - 1) : 0);
            };
            auto row = [&](std::size_t b, std::size_t l) {
                return j + b * n + (rowStep < 0 ? n - 1 - l : l);
            };
            for (std::size_t b = 0; marking && b < blocks; ++b)
                hn::Store(hn::Set(du, ~0u), du, marks + b * n);
            // The group's first and last pixels along a source row, which lie in one cache line or two.
            const std::ptrdiff_t lowest = std::min(start(0), start(blocks - 1));
            const std::ptrdiff_t highest =
                std::max(start(0), start(blocks - 1)) + static_cast<std::ptrdiff_t>(n - 1);
            std::size_t i = 0;
            while (i + n <= count) {
                // A block's rows take a cache line's worth of blocks along the count at once, where
                // they fit: each output line is then filled by consecutive stores, before the group's
                // other rows push it out of the first-level cache (rows a multiple of 4 KB apart all
                // fall into the same sets). Filled one block at a time instead, a line could be fetched
                // again for each of its blocks.
                const std::size_t steps = std::min(kLinePixels / n, (count - i) / n);
                // The processor's own prefetchers do not follow strides of a bitmap row: the group's
                // lines of the source rows kAhead on are asked for here, and past the count, those of
                // the next group (further along the same rows, in the direction of rowStep) in its
                // first rows. Without them a turned copy ran about a third slower than a straight one.
                for (std::size_t k = i + kAhead; k < i + kAhead + steps * n && k < 2 * count; ++k) {
                    const std::ptrdiff_t ahead = k < count
                                                     ? static_cast<std::ptrdiff_t>(k) * step
                                                     : static_cast<std::ptrdiff_t>(k - count) * step +
                                                           static_cast<std::ptrdiff_t>(kGroup) * rowStep;
                    hwy::Prefetch(at(ahead + lowest));
                    hwy::Prefetch(at(ahead + highest));
                }
                for (std::size_t b = 0; b < blocks; ++b) {
                    VU all = marking ? hn::Load(du, marks + b * n) : hn::Set(du, ~0u);
                    for (std::size_t h = 0; h < steps; ++h) {
                        const std::size_t along = i + h * n;
                        const std::ptrdiff_t offset = start(b) + static_cast<std::ptrdiff_t>(along) * step;
                        auto source = [&](std::size_t k) {
                            return reinterpret_cast<const std::uint32_t*>(
                                at(offset + static_cast<std::ptrdiff_t>(k) * step));
                        };
                        VU v[n];
                        loadTransposed(du, source, v, all);
                        for (std::size_t l = 0; l < n; ++l)
                            store(v[l], out[row(b, l)] + along * 4);
                    }
                    if (marking)
                        hn::Store(all, du, marks + b * n);
                }
                i += steps * n;
            }
            for (std::size_t b = 0; marking && b < blocks; ++b)
                for (std::size_t l = 0; l < n; ++l)
                    opaqueRows[row(b, l)] = (marks[b * n + l] >> 24) == 255;
            for (; i < count; ++i)
                for (std::size_t b = 0; b < blocks; ++b)
                    for (std::size_t l = 0; l < n; ++l)
                        copyOne(out[row(b, l)] + i * 4,
                                at(start(b) + static_cast<std::ptrdiff_t>(i) * step +
                                   static_cast<std::ptrdiff_t>(l)),
                                row(b, l));
            j += blocks * n;
        }
    }
#endif
    // The rest a few rows at a time, pixel by pixel: a turn still reads a short run of each source row.
    constexpr std::size_t kBand = 8;
    for (; j < rows; j += kBand) {
        const std::size_t band = std::min(kBand, rows - j);
        for (std::size_t i = 0; i < count; ++i)
            for (std::size_t l = j; l < j + band; ++l)
                copyOne(out[l] + i * 4,
                        at(static_cast<std::ptrdiff_t>(l) * rowStep + static_cast<std::ptrdiff_t>(i) * step),
                        l);
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
HWY_EXPORT(decodeRgba8Lanes);
HWY_EXPORT(encodeRgba8);
HWY_EXPORT(copyPixels);
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
void decodeRgba8Lanes(const std::uint8_t* bytes, bool opaque, const Lanes& lanes) {
    HWY_DYNAMIC_DISPATCH(decodeRgba8Lanes)(bytes, opaque, lanes);
}
void encodeRgba8(const float* rgba, std::size_t count, std::uint8_t* out) {
    HWY_DYNAMIC_DISPATCH(encodeRgba8)(rgba, count, out);
}
void copyPixels(const std::uint8_t* first, std::ptrdiff_t step, std::ptrdiff_t rowStep, std::size_t count,
                std::size_t rows, std::uint8_t* const* out, bool* opaqueRows) {
    HWY_DYNAMIC_DISPATCH(copyPixels)(first, step, rowStep, count, rows, out, opaqueRows);
}
const char* targetName() {
    return HWY_DYNAMIC_DISPATCH(targetName)();
}

} // namespace Simd
} // namespace ImageEngine
#endif
