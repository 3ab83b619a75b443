// Vector kernels of the per-pixel steps: sRGB decode and encode, the colour steps, the colour cube,
// the compositing rows and the radial gradient. Compiled once per instruction set by Highway.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Pipeline/ColorSimd.cpp"
#include "Pipeline/Simd.h"
#include "Pipeline/Srgb.h"

#include <algorithm>
#include <cstring>
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using D = hn::ScalableTag<float>;
using DI = hn::RebindToSigned<D>;
using V = hn::Vec<D>;
using VI = hn::Vec<DI>;

// The widest float vector of any target, so one stack buffer fits a tail of any width.
constexpr std::size_t kMaxLanes = 16;

// log2 of a positive finite x: the exponent bits, plus log2 of the mantissa m (moved into
// [√½, √2)) as t · P(t) with t = m − 1 and P a degree-6 Chebyshev fit: error below 7e-7, far below
// what moves an encoded byte, and no division.
HWY_INLINE V fastLog2(D d, V x) {
    const DI di;
    const VI bits = hn::BitCast(di, x);
    V exponent = hn::ConvertTo(d, hn::Sub(hn::ShiftRight<23>(bits), hn::Set(di, 127)));
    V mantissa = hn::BitCast(d, hn::Or(hn::And(bits, hn::Set(di, 0x007FFFFF)), hn::Set(di, 0x3F800000)));
    const auto high = hn::Gt(mantissa, hn::Set(d, 1.41421356f));
    mantissa = hn::IfThenElse(high, hn::Mul(mantissa, hn::Set(d, 0.5f)), mantissa);
    exponent = hn::Add(exponent, hn::IfThenElseZero(high, hn::Set(d, 1.0f)));
    const V t = hn::Sub(mantissa, hn::Set(d, 1.0f));
    V p = hn::Set(d, 0.168186591f);
    p = hn::MulAdd(p, t, hn::Set(d, -0.267963871f));
    p = hn::MulAdd(p, t, hn::Set(d, 0.296119557f));
    p = hn::MulAdd(p, t, hn::Set(d, -0.359524455f));
    p = hn::MulAdd(p, t, hn::Set(d, 0.480613125f));
    p = hn::MulAdd(p, t, hn::Set(d, -0.721360179f));
    p = hn::MulAdd(p, t, hn::Set(d, 1.44269652f));
    return hn::MulAdd(t, p, exponent);
}

// 2^y: the whole part into the exponent bits, a polynomial for the fraction.
HWY_INLINE V fastExp2(D d, V y) {
    const DI di;
    y = hn::Min(hn::Max(y, hn::Set(d, -126.0f)), hn::Set(d, 127.0f));
    const V whole = hn::Floor(y);
    const V f = hn::Sub(y, whole);
    V p = hn::Set(d, 1.8775767e-3f);
    p = hn::MulAdd(p, f, hn::Set(d, 8.9893397e-3f));
    p = hn::MulAdd(p, f, hn::Set(d, 5.5826318e-2f));
    p = hn::MulAdd(p, f, hn::Set(d, 2.4015361e-1f));
    p = hn::MulAdd(p, f, hn::Set(d, 6.9315308e-1f));
    p = hn::MulAdd(p, f, hn::Set(d, 0.99999994f));
    const V scale = hn::BitCast(d, hn::ShiftLeft<23>(hn::Add(hn::ConvertTo(di, whole), hn::Set(di, 127))));
    return hn::Mul(p, scale);
}

// |x|^power, 0 for x = 0.
HWY_INLINE V fastPow(D d, V x, V power) {
    x = hn::Abs(x);
    const V result = fastExp2(d, hn::Mul(power, fastLog2(d, x)));
    return hn::IfThenZeroElse(hn::Le(x, hn::Zero(d)), result);
}

// Linear → sRGB-encoded for x in [0, 1].
HWY_INLINE V encodeUnit(D d, V x) {
    const V curve =
        hn::MulAdd(hn::Set(d, 1.055f), fastPow(d, x, hn::Set(d, 1.0f / 2.4f)), hn::Set(d, -0.055f));
    return hn::IfThenElse(hn::Le(x, hn::Set(d, 0.0031308f)), hn::Mul(x, hn::Set(d, 12.92f)), curve);
}

// sRGB-encoded → linear for any x, sign kept (a look's values may leave [0, 1]).
HWY_INLINE V decodeAny(D d, V x) {
    const V magnitude = hn::Abs(x);
    const V curve = fastPow(d, hn::Mul(hn::Add(magnitude, hn::Set(d, 0.055f)), hn::Set(d, 1.0f / 1.055f)),
                            hn::Set(d, 2.4f));
    const V linear = hn::IfThenElse(hn::Le(magnitude, hn::Set(d, 0.04045f)),
                                    hn::Mul(magnitude, hn::Set(d, 1.0f / 12.92f)), curve);
    return hn::CopySign(linear, x);
}

// 1 / alpha where alpha is positive, 0 elsewhere (no division by zero reaches a lane in use).
HWY_INLINE V inverseAlpha(D d, V alpha) {
    const auto positive = hn::Gt(alpha, hn::Zero(d));
    return hn::IfThenElseZero(positive,
                              hn::Div(hn::Set(d, 1.0f), hn::IfThenElse(positive, alpha, hn::Set(d, 1.0f))));
}

// Runs body(i) over whole vectors of the lanes; the arrays are padded, so the last vector may read
// and write past count.
template <class Body>
HWY_INLINE void forEachVector(const Simd::Lanes& lanes, Body body) {
    const D d;
    for (std::size_t i = 0; i < lanes.count; i += hn::Lanes(d))
        body(i);
}

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

void colorCube(const Simd::Lanes& lanes, const Simd::CubeTable& table) {
    const D d;
    const DI di;
    const int dimension = table.dimension;
    const V scale = hn::Set(d, static_cast<float>(dimension - 1));
    const VI lastBase = hn::Set(di, dimension - 2);
    const VI strides[3] = {hn::Set(di, 4), hn::Set(di, dimension * 4),
                           hn::Set(di, dimension * dimension * 4)};
    const V zero = hn::Zero(d), one = hn::Set(d, 1.0f);
    float* const channels[3] = {lanes.r, lanes.g, lanes.b};
    HWY_ALIGN std::int32_t cells[Simd::kRunPixels];
    HWY_ALIGN float fractions[3][Simd::kRunPixels];
    HWY_ALIGN float looked[Simd::kRunPixels * 4];

    // Straight colour in the table's space, clamped to the table's domain, split into a cell and
    // the position inside it.
    forEachVector(lanes, [&](std::size_t i) {
        const V inverse = inverseAlpha(d, hn::Load(d, lanes.a + i));
        VI cell = hn::Zero(di);
        for (int c = 0; c < 3; ++c) {
            V v = hn::Min(hn::Max(hn::Mul(hn::Load(d, channels[c] + i), inverse), zero), one);
            if (table.encoded)
                v = encodeUnit(d, v);
            const V position = hn::Mul(v, scale);
            const VI base = hn::Min(hn::ConvertTo(di, position), lastBase);
            hn::Store(hn::Sub(position, hn::ConvertTo(d, base)), d, fractions[c] + i);
            cell = hn::Add(hn::Mul(base, strides[c]), cell);
        }
        hn::Store(cell, di, cells + i);
    });

    // Trilinear interpolation between the cell's eight corners, a pixel at a time with its four
    // channels in one vector: the corners are scattered over the table, and gathering them lane by
    // lane costs several times more than these plain loads.
    const hn::CappedTag<float, 4> d4;
    const std::size_t n4 = hn::Lanes(d4);
    const std::ptrdiff_t nextG = dimension * 4, nextB = dimension * dimension * 4;
    // The padding lanes too (their zeros make cell 0), so that the last step reads no stale value.
    const std::size_t padded = (lanes.count + hn::Lanes(d) - 1) / hn::Lanes(d) * hn::Lanes(d);
    for (std::size_t i = 0; i < padded; ++i) {
        const auto fr = hn::Set(d4, fractions[0][i]), fg = hn::Set(d4, fractions[1][i]),
                   fb = hn::Set(d4, fractions[2][i]);
        for (std::size_t c = 0; c < 4; c += n4) {
            const float* corner = table.data + cells[i] + c;
            auto edge = [&](const float* p) {
                const auto low = hn::LoadU(d4, p);
                return hn::MulAdd(hn::Sub(hn::LoadU(d4, p + 4), low), fr, low);
            };
            const auto c00 = edge(corner), c10 = edge(corner + nextG);
            const auto c01 = edge(corner + nextB), c11 = edge(corner + nextB + nextG);
            const auto c0 = hn::MulAdd(hn::Sub(c10, c00), fg, c00);
            const auto c1 = hn::MulAdd(hn::Sub(c11, c01), fg, c01);
            hn::StoreU(hn::MulAdd(hn::Sub(c1, c0), fb, c0), d4, looked + i * 4 + c);
        }
    }

    // The table holds premultiplied colour: back to straight, to linear, then premultiplied by both
    // the table's and the pixel's alpha. A clear pixel stays clear.
    forEachVector(lanes, [&](std::size_t i) {
        V result[4];
        hn::LoadInterleaved4(d, looked + i * 4, result[0], result[1], result[2], result[3]);
        const V alpha = hn::Load(d, lanes.a + i);
        const V tableAlpha = table.opaque ? one : result[3];
        const V outAlpha = hn::IfThenZeroElse(hn::Le(alpha, zero), hn::Mul(tableAlpha, alpha));
        const V straight = table.opaque ? one : inverseAlpha(d, tableAlpha);
        for (int c = 0; c < 3; ++c) {
            V v = hn::Mul(result[c], straight);
            if (table.encoded)
                v = decodeAny(d, v);
            hn::Store(hn::Mul(v, outAlpha), d, channels[c] + i);
        }
        hn::Store(outAlpha, d, lanes.a + i);
    });
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

// Runs body over n pixels of up to three interleaved rows, whole vectors at a time; the last,
// partial vector goes through zero-padded copies so that no kernel reads or writes past a row.
template <class Body>
HWY_INLINE void forEachPixelVector(const float* first, const float* second, float* inOut, std::size_t count,
                                   Body body) {
    const D d;
    const std::size_t n = hn::Lanes(d);
    std::size_t i = 0;
    for (; i + n <= count; i += n)
        body(first + i * 4, second ? second + i * 4 : nullptr, inOut + i * 4);
    if (i < count) {
        const std::size_t floats = (count - i) * 4;
        HWY_ALIGN float a[kMaxLanes * 4] = {}, b[kMaxLanes * 4] = {}, c[kMaxLanes * 4] = {};
        std::memcpy(a, first + i * 4, floats * sizeof(float));
        if (second)
            std::memcpy(b, second + i * 4, floats * sizeof(float));
        std::memcpy(c, inOut + i * 4, floats * sizeof(float));
        body(a, second ? b : nullptr, c);
        std::memcpy(inOut + i * 4, c, floats * sizeof(float));
    }
}

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

void radialGradientRow(const Simd::RadialGradient& gradient, int x, int y, std::size_t count, float* rgba) {
    const D d;
    const std::size_t n = hn::Lanes(d);
    const float dy = static_cast<float>(y) + 0.5f - gradient.centreY;
    const V dy2 = hn::Set(d, dy * dy);
    const V r0 = hn::Set(d, gradient.radius0);
    const bool step = gradient.radius0 == gradient.radius1;
    // With the radii swapped the span is negative and t runs backwards: colour 1 inside r1,
    // colour 0 beyond r0.
    const V inverseSpan = hn::Set(d, step ? 0.0f : 1.0f / (gradient.radius1 - gradient.radius0));
    const V zero = hn::Zero(d), one = hn::Set(d, 1.0f);
    V c0[4], dc[4];
    for (int c = 0; c < 4; ++c) {
        c0[c] = hn::Set(d, gradient.color0[c]);
        dc[c] = hn::Set(d, gradient.color1[c] - gradient.color0[c]);
    }
    const V firstX = hn::Iota(d, static_cast<float>(x) + 0.5f - gradient.centreX);
    auto compute = [&](std::size_t i, float* out) {
        const V dx = hn::Add(firstX, hn::Set(d, static_cast<float>(i)));
        const V distance = hn::Sqrt(hn::MulAdd(dx, dx, dy2));
        const V t = step ? hn::IfThenElse(hn::Lt(distance, r0), zero, one)
                         : hn::Min(hn::Max(hn::Mul(hn::Sub(distance, r0), inverseSpan), zero), one);
        const V alpha = hn::MulAdd(dc[3], t, c0[3]);
        hn::StoreInterleaved4(hn::Mul(hn::MulAdd(dc[0], t, c0[0]), alpha),
                              hn::Mul(hn::MulAdd(dc[1], t, c0[1]), alpha),
                              hn::Mul(hn::MulAdd(dc[2], t, c0[2]), alpha), alpha, d, out);
    };
    std::size_t i = 0;
    for (; i + n <= count; i += n)
        compute(i, rgba + i * 4);
    if (i < count) {
        HWY_ALIGN float out[kMaxLanes * 4];
        compute(i, out);
        std::memcpy(rgba + i * 4, out, (count - i) * 4 * sizeof(float));
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
HWY_EXPORT(exposure);
HWY_EXPORT(colorControls);
HWY_EXPORT(gamma);
HWY_EXPORT(colorCube);
HWY_EXPORT(decodeRgba8);
HWY_EXPORT(encodeRgba8);
HWY_EXPORT(overlayRow);
HWY_EXPORT(blendWithMaskRow);
HWY_EXPORT(sourceOverRow);
HWY_EXPORT(radialGradientRow);
HWY_EXPORT(targetName);

namespace Simd {

void deinterleave(const float* rgba, std::size_t count, const Lanes& lanes) {
    HWY_DYNAMIC_DISPATCH(deinterleave)(rgba, count, lanes);
}
void interleave(const Lanes& lanes, float* rgba) {
    HWY_DYNAMIC_DISPATCH(interleave)(lanes, rgba);
}
void exposure(const Lanes& lanes, float gain) {
    HWY_DYNAMIC_DISPATCH(exposure)(lanes, gain);
}
void colorControls(const Lanes& lanes, float saturation, float brightness, float contrast) {
    HWY_DYNAMIC_DISPATCH(colorControls)(lanes, saturation, brightness, contrast);
}
void gamma(const Lanes& lanes, float power) {
    HWY_DYNAMIC_DISPATCH(gamma)(lanes, power);
}
void colorCube(const Lanes& lanes, const CubeTable& table) {
    HWY_DYNAMIC_DISPATCH(colorCube)(lanes, table);
}
void decodeRgba8(const std::uint8_t* first, std::ptrdiff_t step, std::size_t count, bool opaque,
                 float* rgba) {
    HWY_DYNAMIC_DISPATCH(decodeRgba8)(first, step, count, opaque, rgba);
}
void encodeRgba8(const float* rgba, std::size_t count, std::uint8_t* out) {
    HWY_DYNAMIC_DISPATCH(encodeRgba8)(rgba, count, out);
}
void overlayRow(const float* source, float* background, std::size_t count) {
    HWY_DYNAMIC_DISPATCH(overlayRow)(source, background, count);
}
void blendWithMaskRow(const float* image, const float* mask, float* background, std::size_t count) {
    HWY_DYNAMIC_DISPATCH(blendWithMaskRow)(image, mask, background, count);
}
void sourceOverRow(const float* source, float* background, std::size_t count) {
    HWY_DYNAMIC_DISPATCH(sourceOverRow)(source, background, count);
}
void radialGradientRow(const RadialGradient& gradient, int x, int y, std::size_t count, float* rgba) {
    HWY_DYNAMIC_DISPATCH(radialGradientRow)(gradient, x, y, count, rgba);
}
const char* targetName() {
    return HWY_DYNAMIC_DISPATCH(targetName)();
}

} // namespace Simd
} // namespace ImageEngine
#endif
