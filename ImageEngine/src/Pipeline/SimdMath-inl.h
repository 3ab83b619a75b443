// Vector helpers shared by the per-pixel kernels: fast log2/exp2/pow, the sRGB curve both ways,
// the division by alpha and the loops over lanes and interleaved rows. Included by every kernel
// translation unit once per instruction set, after <hwy/foreach_target.h>.
#if defined(IMAGEENGINE_PIPELINE_SIMD_MATH_INL_H) == defined(HWY_TARGET_TOGGLE)
#ifdef IMAGEENGINE_PIPELINE_SIMD_MATH_INL_H
#undef IMAGEENGINE_PIPELINE_SIMD_MATH_INL_H
#else
#define IMAGEENGINE_PIPELINE_SIMD_MATH_INL_H
#endif

#include "Pipeline/Simd.h"

#include <cstring>
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

using D = hn::ScalableTag<float>;
using DI = hn::RebindToSigned<D>;
using V = hn::Vec<D>;
using VI = hn::Vec<DI>;

// The most floats a vector of this target can hold, so one stack buffer fits a tail of any width:
// 16 with AVX-512, and 64 for SVE, whose vectors may be up to 2048 bits long.
constexpr std::size_t kMaxLanes = hn::MaxLanes(D());

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
    // whole + 127 is a whole number in [1, 254]: added to 2^23 it lands in the mantissa bits, and the
    // shift moves it into the exponent field (a plain conversion to integers checks for overflow).
    const VI biased = hn::BitCast(di, hn::Add(whole, hn::Set(d, 8388608.0f + 127.0f)));
    const V scale = hn::BitCast(d, hn::ShiftLeft<23>(biased));
    return hn::Mul(p, scale);
}

// |x|^power, 0 for x = 0.
HWY_INLINE V fastPow(D d, V x, V power) {
    x = hn::Abs(x);
    const V result = fastExp2(d, hn::Mul(power, fastLog2(d, x)));
    return hn::IfThenZeroElse(hn::Le(x, hn::Zero(d)), result);
}

// Linear → sRGB-encoded for x in [0, 1]. The power segment is a rational fit P5(x) / Q5(x) rather than
// a logarithm and an exponential: largest error 3.9e-6 in float arithmetic, a thousandth of an 8-bit
// level, for a third of the work.
HWY_INLINE V encodeUnit(D d, V x) {
    V p = hn::Set(d, 2.412613578e+05f);
    p = hn::MulAdd(p, x, hn::Set(d, 4.799703158e+05f));
    p = hn::MulAdd(p, x, hn::Set(d, 1.225301024e+05f));
    p = hn::MulAdd(p, x, hn::Set(d, 5.100375695e+03f));
    p = hn::MulAdd(p, x, hn::Set(d, 2.529854085e+01f));
    p = hn::MulAdd(p, x, hn::Set(d, -2.217521007e-02f));
    V q = hn::Set(d, 7.054802984e+04f);
    q = hn::MulAdd(q, x, hn::Set(d, 4.715593307e+05f));
    q = hn::MulAdd(q, x, hn::Set(d, 2.789140719e+05f));
    q = hn::MulAdd(q, x, hn::Set(d, 2.740094938e+04f));
    q = hn::MulAdd(q, x, hn::Set(d, 4.671270860e+02f));
    q = hn::MulAdd(q, x, hn::Set(d, 1.0f));
    return hn::IfThenElse(hn::Le(x, hn::Set(d, 0.0031308f)), hn::Mul(x, hn::Set(d, 12.92f)), hn::Div(p, q));
}

// The power segment of sRGB-encoded → linear on [0.04045, 1], for magnitudes: a rational fit P4(x) / Q3(x),
// largest relative error 2.3e-6 (a thousandth of a level once encoded again).
HWY_INLINE V decodeCurve(D d, V magnitude) {
    V p = hn::Set(d, 2.581691506e+00f);
    p = hn::MulAdd(p, magnitude, hn::Set(d, 2.852642464e+00f));
    p = hn::MulAdd(p, magnitude, hn::Set(d, 6.049107884e-01f));
    p = hn::MulAdd(p, magnitude, hn::Set(d, 3.939715110e-02f));
    p = hn::MulAdd(p, magnitude, hn::Set(d, 8.355462481e-04f));
    V q = hn::Set(d, -9.212139505e-02f);
    q = hn::MulAdd(q, magnitude, hn::Set(d, 1.408028497e+00f));
    q = hn::MulAdd(q, magnitude, hn::Set(d, 3.763558276e+00f));
    q = hn::MulAdd(q, magnitude, hn::Set(d, 1.0f));
    return hn::Div(p, q);
}

// sRGB-encoded → linear for x in [0, 1]: the linear segment, then decodeCurve.
HWY_INLINE V decodeUnit(D d, V x) {
    return hn::IfThenElse(hn::Le(x, hn::Set(d, 0.04045f)), hn::Mul(x, hn::Set(d, 1.0f / 12.92f)),
                          decodeCurve(d, x));
}

// sRGB-encoded → linear for any x, sign kept (a look's values may leave [0, 1]). Up to 1 decodeCurve;
// beyond 1, where only unusual tables reach, the power itself.
HWY_INLINE V decodeAny(D d, V x) {
    const V magnitude = hn::Abs(x);
    V curve = decodeCurve(d, magnitude);
    const auto beyondOne = hn::Gt(magnitude, hn::Set(d, 1.0f));
    if (!hn::AllFalse(d, beyondOne)) {
        const V power = fastPow(d, hn::Mul(hn::Add(magnitude, hn::Set(d, 0.055f)), hn::Set(d, 1.0f / 1.055f)),
                                hn::Set(d, 2.4f));
        curve = hn::IfThenElse(beyondOne, power, curve);
    }
    const V linear = hn::IfThenElse(hn::Le(magnitude, hn::Set(d, 0.04045f)),
                                    hn::Mul(magnitude, hn::Set(d, 1.0f / 12.92f)), curve);
    return hn::CopySign(linear, x);
}

// 1 / alpha where alpha is positive, 0 elsewhere (no division by zero reaches a lane in use). A
// vector of opaque pixels, what photos are made of, needs no division.
HWY_INLINE V inverseAlpha(D d, V alpha) {
    const V one = hn::Set(d, 1.0f);
    if (hn::AllTrue(d, hn::Eq(alpha, one)))
        return one;
    const auto positive = hn::Gt(alpha, hn::Zero(d));
    return hn::IfThenElseZero(positive,
                              hn::Div(hn::Set(d, 1.0f), hn::IfThenElse(positive, alpha, hn::Set(d, 1.0f))));
}

// A tone curve as sixteen cubics in the square root of the linear input (the constant terms of every
// segment, then those of t, t² and t³), evaluated with each lane's cubic picked from registers rather
// than gathered: a term's sixteen coefficients fill one vector of sixteen lanes or two of eight.
// Scalable vectors cannot be kept in arrays, and narrower ones would need more lookups than a gather
// costs, so other targets read the curve's table instead.
constexpr std::size_t kCurveSegments = 16;
#if HWY_HAVE_SCALABLE
constexpr bool kCurveCubicsFitVectors = false;
#else
constexpr bool kCurveCubicsFitVectors = hn::MaxLanes(D()) == 8 || hn::MaxLanes(D()) == 16;

// Each term's coefficients into registers: the low and the high eight, or all sixteen twice.
HWY_INLINE void loadCurveCubics(D d, const float* cubics, V (&low)[4], V (&high)[4]) {
    for (int term = 0; term < 4; ++term) {
        low[term] = hn::Load(d, cubics + term * kCurveSegments);
        high[term] = hn::MaxLanes(d) == 8 ? hn::Load(d, cubics + term * kCurveSegments + 8) : low[term];
    }
}

// The curve at the straight linear values v (held to 0 … 1 by the caller): each lane's cubic at its
// place along the square root, clamped to 0 … 1.
HWY_INLINE V curveCubicsAt(D d, const V (&low)[4], const V (&high)[4], V v) {
    const DI di;
    constexpr std::size_t kLanes = hn::MaxLanes(D());
    const V zero = hn::Zero(d), one = hn::Set(d, 1.0f);
    const VI lowMask = hn::Set(di, static_cast<int>(kLanes) - 1);
    const V position = hn::Mul(hn::Sqrt(v), hn::Set(d, static_cast<float>(kCurveSegments)));
    const VI segment =
        hn::Min(hn::ConvertTo(di, position), hn::Set(di, static_cast<int>(kCurveSegments) - 1));
    const V t = hn::Sub(position, hn::ConvertTo(d, segment));
    const auto indices = hn::IndicesFromVec(d, hn::And(segment, lowMask));
    auto horner = [&](auto term) {
        V curved = hn::MulAdd(term(3), t, term(2));
        curved = hn::MulAdd(curved, t, term(1));
        curved = hn::MulAdd(curved, t, term(0));
        return hn::Min(hn::Max(curved, zero), one);
    };
    if (kLanes == 8) {
        // Neighbouring pixels mostly lie in the same half of the curve: then one table serves every
        // lane, and half the lookups and the selection between them go.
        const auto upper = hn::RebindMask(d, hn::Gt(segment, lowMask));
        if (hn::AllFalse(d, upper))
            return horner([&](int k) { return hn::TableLookupLanes(low[k], indices); });
        if (hn::AllTrue(d, upper))
            return horner([&](int k) { return hn::TableLookupLanes(high[k], indices); });
        return horner([&](int k) {
            return hn::IfThenElse(upper, hn::TableLookupLanes(high[k], indices),
                                  hn::TableLookupLanes(low[k], indices));
        });
    }
    return horner([&](int k) { return hn::TableLookupLanes(low[k], indices); });
}
#endif

// Calls body with the curve that cubics describe, a function from straight linear values (held to
// 0 … 1) to the curve's values, where the cubics fit this target's vectors; elsewhere does nothing,
// and the caller's other kernel runs instead.
template <class Body>
HWY_INLINE void withCurveCubics(const float* cubics, const Body& body) {
#if HWY_HAVE_SCALABLE
    (void)cubics;
    (void)body;
#else
    if constexpr (kCurveCubicsFitVectors) {
        const D d;
        V low[4], high[4];
        loadCurveCubics(d, cubics, low, high);
        body([&](V v) { return curveCubicsAt(d, low, high, v); });
    } else {
        (void)cubics;
        (void)body;
    }
#endif
}

// Runs body(i) over whole vectors of the lanes; the arrays are padded, so the last vector may read
// and write past count.
template <class Body>
HWY_INLINE void forEachVector(const Simd::Lanes& lanes, Body body) {
    const D d;
    for (std::size_t i = 0; i < lanes.count; i += hn::Lanes(d))
        body(i);
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

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#endif
