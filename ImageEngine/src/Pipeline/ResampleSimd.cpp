// Vector kernels of the neighbourhood steps: the blur's separable passes. Compiled once per
// instruction set by Highway.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Pipeline/ResampleSimd.cpp"
#include "Pipeline/Simd.h"

#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

void symmetricConvolve(const float* const* sources, const float* weights, int taps, float* dst,
                       std::size_t count) {
    const hn::ScalableTag<float> d;
    const std::size_t n = hn::Lanes(d);
    const int middle = taps / 2;
    const float* centre = sources[middle];
    // Two vectors per step keep both multiply-add pipes busy; mirrored taps share one weight, so
    // each pair costs one add and one multiply-add.
    std::size_t i = 0;
    for (; i + 2 * n <= count; i += 2 * n) {
        const auto w = hn::Set(d, weights[middle]);
        auto first = hn::Mul(hn::LoadU(d, centre + i), w);
        auto second = hn::Mul(hn::LoadU(d, centre + i + n), w);
        for (int k = 0; k < middle; ++k) {
            const float* low = sources[k];
            const float* high = sources[taps - 1 - k];
            const auto wk = hn::Set(d, weights[k]);
            first = hn::MulAdd(hn::Add(hn::LoadU(d, low + i), hn::LoadU(d, high + i)), wk, first);
            second = hn::MulAdd(hn::Add(hn::LoadU(d, low + i + n), hn::LoadU(d, high + i + n)), wk, second);
        }
        hn::StoreU(first, d, dst + i);
        hn::StoreU(second, d, dst + i + n);
    }
    // The rest one lane at a time with the same operations, so a pixel's value never depends on
    // where a tile's edge puts it.
    const hn::CappedTag<float, 1> d1;
    for (; i < count; ++i) {
        auto sum = hn::Mul(hn::LoadU(d1, centre + i), hn::Set(d1, weights[middle]));
        for (int k = 0; k < middle; ++k)
            sum = hn::MulAdd(hn::Add(hn::LoadU(d1, sources[k] + i), hn::LoadU(d1, sources[taps - 1 - k] + i)),
                             hn::Set(d1, weights[k]), sum);
        hn::StoreU(sum, d1, dst + i);
    }
}

void bilinearRow(const float* bottom, const float* top, const std::int32_t* offsets, const float* weights,
                 float rowWeight, std::size_t count, float* rgba) {
    // One pixel's four channels per vector (fewer on targets without 128-bit vectors): the taps
    // are scattered, so wider vectors would only add shuffles.
    const hn::CappedTag<float, 4> d;
    const std::size_t n = hn::Lanes(d);
    const auto wy = hn::Set(d, rowWeight);
    for (std::size_t i = 0; i < count; ++i) {
        const auto wx = hn::Set(d, weights[i]);
        for (std::size_t c = 0; c < 4; c += n) {
            const float* b = bottom + offsets[i] + c;
            const float* t = top + offsets[i] + c;
            const auto b0 = hn::LoadU(d, b), t0 = hn::LoadU(d, t);
            const auto low = hn::MulAdd(hn::Sub(hn::LoadU(d, b + 4), b0), wx, b0);
            const auto high = hn::MulAdd(hn::Sub(hn::LoadU(d, t + 4), t0), wx, t0);
            hn::StoreU(hn::MulAdd(hn::Sub(high, low), wy, low), d, rgba + i * 4 + c);
        }
    }
}

void bilinearGatherRow(const float* source, std::ptrdiff_t rowStride, const std::ptrdiff_t* offsets,
                       const float* weightsX, const float* weightsY, std::size_t count, float* rgba) {
    const hn::CappedTag<float, 4> d;
    const std::size_t n = hn::Lanes(d);
    for (std::size_t i = 0; i < count; ++i) {
        if (offsets[i] < 0)
            continue;
        const auto wx = hn::Set(d, weightsX[i]), wy = hn::Set(d, weightsY[i]);
        for (std::size_t c = 0; c < 4; c += n) {
            const float* b = source + offsets[i] + c;
            const float* t = b + rowStride;
            const auto b0 = hn::LoadU(d, b), t0 = hn::LoadU(d, t);
            const auto low = hn::MulAdd(hn::Sub(hn::LoadU(d, b + 4), b0), wx, b0);
            const auto high = hn::MulAdd(hn::Sub(hn::LoadU(d, t + 4), t0), wx, t0);
            hn::StoreU(hn::MulAdd(hn::Sub(high, low), wy, low), d, rgba + i * 4 + c);
        }
    }
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace ImageEngine {

HWY_EXPORT(symmetricConvolve);
HWY_EXPORT(bilinearRow);
HWY_EXPORT(bilinearGatherRow);

void Simd::bilinearGatherRow(const float* source, std::ptrdiff_t rowStride, const std::ptrdiff_t* offsets,
                             const float* weightsX, const float* weightsY, std::size_t count, float* rgba) {
    HWY_DYNAMIC_DISPATCH(bilinearGatherRow)(source, rowStride, offsets, weightsX, weightsY, count, rgba);
}

void Simd::bilinearRow(const float* bottom, const float* top, const std::int32_t* offsets,
                       const float* weights, float rowWeight, std::size_t count, float* rgba) {
    HWY_DYNAMIC_DISPATCH(bilinearRow)(bottom, top, offsets, weights, rowWeight, count, rgba);
}

void Simd::symmetricConvolve(const float* const* sources, const float* weights, int taps, float* dst,
                             std::size_t count) {
    HWY_DYNAMIC_DISPATCH(symmetricConvolve)(sources, weights, taps, dst, count);
}

} // namespace ImageEngine
#endif
