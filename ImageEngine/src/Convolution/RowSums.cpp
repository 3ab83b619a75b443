// The convolution's row sums. The vector version is compiled once per instruction set by Highway.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Convolution/RowSums.cpp"
#include "Convolution/RowSums.h"

#include <algorithm>
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
#include <vector>

#ifndef IMAGEENGINE_CONVOLUTION_ROW_SUMS_TAIL
#define IMAGEENGINE_CONVOLUTION_ROW_SUMS_TAIL
namespace ImageEngine::Convolution {
// Outputs [begin, end) one at a time, with the vector path's pairing of mirrored taps and rounding:
// the ends of rows that do not fill a vector block.
inline void accumulateTail(const std::uint16_t* const* rows, const std::int16_t* weights, int tapCount,
                           std::size_t begin, std::size_t end, float inverseDivisor, std::uint8_t* out) {
    const int half = tapCount / 2;
    for (std::size_t i = begin; i < end; ++i) {
        std::int32_t sum = static_cast<std::int32_t>(weights[half]) * rows[half][i];
        for (int k = 0; k < half; ++k) {
            sum += static_cast<std::int32_t>(weights[k]) * (int(rows[k][i]) + int(rows[tapCount - 1 - k][i]));
        }
        const float value = float(sum) * inverseDivisor + 0.5f;
        out[i] = static_cast<std::uint8_t>(std::min(value, 255.0f));
    }
}

// Two 16-bit weights in one 32-bit lane, the first in the low half, as the pair multiply-adds take them.
inline std::int32_t weightPair(std::int16_t low, std::int16_t high) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(high)) << 16) |
                                     static_cast<std::uint16_t>(low));
}

// The weight pair of each step of the vector path, made once for all its blocks: two mirrored pairs a
// step, and last one pair and the centre, or the centre alone with a weight of 0 beside it.
class StepWeights {
public:
    StepWeights(const std::int16_t* weights, int tapCount) {
        const int half = tapCount / 2;
        const auto steps = static_cast<std::size_t>(half / 2 + 1);
        if (steps > kLocal) {
            m_held.resize(steps);
            m_pairs = m_held.data();
        }
        int t = 0;
        std::size_t s = 0;
        for (; t + 1 < half; t += 2)
            m_pairs[s++] = weightPair(weights[t], weights[t + 1]);
        m_pairs[s] = t < half ? weightPair(weights[t], weights[half]) : weightPair(weights[half], 0);
    }
    StepWeights(const StepWeights&) = delete;
    StepWeights& operator=(const StepWeights&) = delete;
    std::int32_t operator[](std::size_t step) const { return m_pairs[step]; }

private:
    // Kernels up to 1021 taps keep their pairs here.
    static constexpr std::size_t kLocal = 256;
    std::int32_t m_local[kLocal];
    std::vector<std::int32_t> m_held;
    std::int32_t* m_pairs = m_local;
};

} // namespace ImageEngine::Convolution
#endif

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::Convolution::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// Whether the two terms of an output are paired by interleaving the lower and upper halves of each
// 128-bit block, which the narrowing at the end undoes block by block: the cheapest way on x86 and
// NEON. Elsewhere the narrowing of two vectors interleaves them instead (SVE), so the terms are woven
// lane by lane into even and odd outputs, whose order no vector length can upset.
#if HWY_ARCH_X86 || HWY_TARGET == HWY_NEON
constexpr bool kPairByBlocks = true;
#else
constexpr bool kPairByBlocks = false;
#endif

// On x86 the pair multiply-add leaves each half of a vector's totals in one register, so four vectors
// of outputs keep their totals in eight (AVX2 has sixteen); NEON needs both registers of each half.
constexpr bool kFourVectorBlocks = HWY_ARCH_X86;

// outputs[r][i] for r below outputRows and i in [begin, end): the same integer sums and rounding as
// accumulateRows over rows r to r + tapCount - 1 of firstRows (a band's output rows in one call, its
// weights paired once). Mirrored taps share a weight, so their words are added first (at most 510, a
// 16-bit lane); putting the sums of two such pairs side by side in 32-bit lanes lets each pair
// multiply-add weight both terms of an output at once into its 32-bit total. Blocks of four or two
// vectors of outputs keep their totals in registers while every tap is added.
void accumulateWordsExactly(const std::uint16_t* const* firstRows, int outputRows,
                            const std::int16_t* weights, int tapCount, std::size_t begin, std::size_t end,
                            float inverseDivisor, std::uint8_t* const* outputs) {
#if HWY_TARGET == HWY_SCALAR
    // One lane has no pairs to interleave: the portable loop with the same pairing and rounding.
    for (int r = 0; r < outputRows; ++r)
        accumulateTail(firstRows + r, weights, tapCount, begin, end, inverseDivisor, outputs[r]);
#else
    const hn::ScalableTag<std::int16_t> d16;
    const hn::RebindToUnsigned<decltype(d16)> du16;
    const hn::Repartition<std::int32_t, decltype(d16)> d32;
    const hn::RebindToUnsigned<decltype(d32)> du32;
    const hn::Repartition<float, decltype(d16)> df;
    const hn::Rebind<std::uint8_t, decltype(d16)> d8;
    using V16 = hn::Vec<decltype(d16)>;
    using V32 = hn::Vec<decltype(d32)>;
    const std::size_t n = hn::Lanes(d16);
    const int half = tapCount / 2;
    auto load = [&](const std::uint16_t* p) { return hn::BitCast(d16, hn::LoadU(du16, p)); };
    // A vector of outputs has its totals in two halves, x and y (the lower and upper halves of each
    // block, or the even and odd outputs), each in two vectors as the pair multiply-add leaves them
    // on some instruction sets, added together only once every tap is in. They are separate
    // variables, as SVE's vectors cannot be members of a struct or elements of an array.
    // Adds first × the low weight and second × the high one to the totals.
    auto addTerms = [&](V16 first, V16 second, V16 w, V32& x, V32& xRest, V32& y, V32& yRest) {
        if constexpr (kPairByBlocks) {
            x = hn::ReorderWidenMulAccumulate(d32, hn::InterleaveLower(d16, first, second), w, x, xRest);
            y = hn::ReorderWidenMulAccumulate(d32, hn::InterleaveUpper(d16, first, second), w, y, yRest);
        } else {
            // Output 2i's terms, first[2i] and second[2i], side by side; then output 2i + 1's.
            const V16 even =
                hn::OddEven(hn::BitCast(d16, hn::ShiftLeft<16>(hn::BitCast(du32, second))), first);
            const V16 odd =
                hn::OddEven(second, hn::BitCast(d16, hn::ShiftRight<16>(hn::BitCast(du32, first))));
            x = hn::ReorderWidenMulAccumulate(d32, even, w, x, xRest);
            y = hn::ReorderWidenMulAccumulate(d32, odd, w, y, yRest);
        }
    };
    const auto scale = hn::Set(df, inverseDivisor), halfStep = hn::Set(df, 0.5f), top = hn::Set(df, 255.0f);
    // The same rounding as accumulateRows: a multiply, then an add, then truncation.
    auto rounded = [&](V32 totals, V32 rest) {
        const V32 sum = hn::RearrangeToOddPlusEven(totals, rest);
        return hn::ConvertTo(d32, hn::Min(hn::Add(hn::Mul(hn::ConvertTo(df, sum), scale), halfStep), top));
    };
    // The outputs' bytes back in order.
    auto store = [&](V32 x, V32 xRest, V32 y, V32 yRest, std::uint8_t* to) {
        V16 words;
        if constexpr (kPairByBlocks) {
            words = hn::ReorderDemote2To(d16, rounded(x, xRest), rounded(y, yRest));
        } else {
            words = hn::BitCast(d16, hn::Or(rounded(x, xRest), hn::ShiftLeft<16>(rounded(y, yRest))));
        }
        hn::StoreU(hn::DemoteTo(d8, words), d8, to);
    };
    const StepWeights pairs(weights, tapCount);
    // The rows of the output row being summed, which the steps read.
    const std::uint16_t* const* rows = firstRows;
    // Hands addAll every step's two vectors of words, each as a function of the offset of the outputs,
    // with its weights.
    auto forEachStep = [&](auto&& addAll) {
        int t = 0;
        std::size_t s = 0;
        for (; t + 1 < half; t += 2, ++s) {
            const V16 w = hn::BitCast(d16, hn::Set(d32, pairs[s]));
            const std::uint16_t *p0 = rows[t], *q0 = rows[tapCount - 1 - t];
            const std::uint16_t *p1 = rows[t + 1], *q1 = rows[tapCount - 2 - t];
            addAll([&](std::size_t at) { return hn::Add(load(p0 + at), load(q0 + at)); },
                   [&](std::size_t at) { return hn::Add(load(p1 + at), load(q1 + at)); }, w);
        }
        const V16 w = hn::BitCast(d16, hn::Set(d32, pairs[s]));
        const std::uint16_t* centre = rows[half];
        if (t < half) {
            const std::uint16_t *p = rows[t], *q = rows[tapCount - 1 - t];
            addAll([&](std::size_t at) { return hn::Add(load(p + at), load(q + at)); },
                   [&](std::size_t at) { return load(centre + at); }, w);
        } else {
            addAll([&](std::size_t at) { return load(centre + at); },
                   [&](std::size_t) { return hn::Zero(d16); }, w);
        }
    };
    for (int r = 0; r < outputRows; ++r) {
        rows = firstRows + r;
        std::uint8_t* const out = outputs[r];
        std::size_t i = begin;
        // Four vectors of outputs a block where there are registers for their sixteen totals: each step's
        // row pointers and weights then serve twice as many loads.
        if constexpr (kFourVectorBlocks) {
            for (; i + 4 * n <= end; i += 4 * n) {
                V32 a0 = hn::Zero(d32), a1 = a0, a2 = a0, a3 = a0, b0 = a0, b1 = a0, b2 = a0, b3 = a0;
                V32 c0 = a0, c1 = a0, c2 = a0, c3 = a0, e0 = a0, e1 = a0, e2 = a0, e3 = a0;
                forEachStep([&](auto first, auto second, V16 w) {
                    addTerms(first(i), second(i), w, a0, a1, a2, a3);
                    addTerms(first(i + n), second(i + n), w, b0, b1, b2, b3);
                    addTerms(first(i + 2 * n), second(i + 2 * n), w, c0, c1, c2, c3);
                    addTerms(first(i + 3 * n), second(i + 3 * n), w, e0, e1, e2, e3);
                });
                store(a0, a1, a2, a3, out + i);
                store(b0, b1, b2, b3, out + i + n);
                store(c0, c1, c2, c3, out + i + 2 * n);
                store(e0, e1, e2, e3, out + i + 3 * n);
            }
        }
        for (; i + 2 * n <= end; i += 2 * n) {
            // Outputs [i, i + n) in the a's, [i + n, i + 2n) in the b's.
            V32 a0 = hn::Zero(d32), a1 = a0, a2 = a0, a3 = a0, b0 = a0, b1 = a0, b2 = a0, b3 = a0;
            forEachStep([&](auto first, auto second, V16 w) {
                addTerms(first(i), second(i), w, a0, a1, a2, a3);
                addTerms(first(i + n), second(i + n), w, b0, b1, b2, b3);
            });
            store(a0, a1, a2, a3, out + i);
            store(b0, b1, b2, b3, out + i + n);
        }
        accumulateTail(rows, weights, tapCount, i, end, inverseDivisor, out);
    }
#endif
}

// One row of the horizontal pass: outPixels pixels into out from the widened words of pixels padded
// pixels (4 words each), with the same sums and rounding as accumulateWords over taps (tap k
// starting k pixels along). On x86 the words are first rearranged into pairs (16 words a pixel of
// scratch): after pixel p's words come pixel p + 1's, channel by channel (A), and in a
// second array the other way round (B). Then one add of A[x + t] and B[x + taps - 2 - t] gives
// the two mirrored pair sums of taps t and t + 1 for every channel of pixel x side by side, as the
// pair multiply-add takes them, with no interleaving for each tap, and the totals come out in
// pixel order.
void convolvePaddedRowTo(const std::uint16_t* words, std::size_t pixels, std::uint16_t* pairs,
                         const std::uint16_t* const* taps, const std::int16_t* weights, int tapCount,
                         float inverseDivisor, std::size_t outPixels, std::uint8_t* out) {
#if HWY_ARCH_X86 && HWY_TARGET != HWY_SCALAR && HWY_TARGET != HWY_EMU128
    std::uint16_t* const a = pairs;
    std::uint16_t* const b = pairs + 8 * pixels;
    {
        // Two pixels of each array from a 128-bit vector of two pixels and the one a pixel along.
        const hn::FixedTag<std::uint16_t, 8> dPair;
        std::size_t p = 0;
        for (; p + 3 <= pixels; p += 2) {
            const auto here = hn::LoadU(dPair, words + 4 * p), next = hn::LoadU(dPair, words + 4 * p + 4);
            hn::StoreU(hn::InterleaveLower(dPair, here, next), dPair, a + 8 * p);
            hn::StoreU(hn::InterleaveUpper(dPair, here, next), dPair, a + 8 * p + 8);
            hn::StoreU(hn::InterleaveLower(dPair, next, here), dPair, b + 8 * p);
            hn::StoreU(hn::InterleaveUpper(dPair, next, here), dPair, b + 8 * p + 8);
        }
        for (; p + 1 < pixels; ++p) {
            for (std::size_t c = 0; c < 4; ++c) {
                a[8 * p + 2 * c] = b[8 * p + 2 * c + 1] = words[4 * p + c];
                a[8 * p + 2 * c + 1] = b[8 * p + 2 * c] = words[4 * p + 4 + c];
            }
        }
    }
    const hn::ScalableTag<std::int16_t> d16;
    const hn::RebindToUnsigned<decltype(d16)> du16;
    const hn::Repartition<std::int32_t, decltype(d16)> d32;
    const hn::Repartition<float, decltype(d16)> df;
    const hn::Rebind<std::uint8_t, decltype(d32)> d8;
    using V16 = hn::Vec<decltype(d16)>;
    using V32 = hn::Vec<decltype(d32)>;
    // Pixels a vector of words covers (two words, the pair, for each of its four channels).
    const std::size_t span = hn::Lanes(d16) / 8;
    const int half = tapCount / 2;
    const StepWeights stepWeights(weights, tapCount);
    auto load = [&](const std::uint16_t* from, std::size_t pixel) {
        return hn::BitCast(d16, hn::LoadU(du16, from + 8 * pixel));
    };
    // The odd words of B dropped: the last step beside the centre takes only one mirrored tap from it.
    const V16 evenWords = hn::BitCast(d16, hn::Set(d32, 0xFFFF));
    // Hands addAll each step's weights and a function giving its pair sums for the pixel at an offset.
    auto forEachStep = [&](auto&& addAll) {
        int t = 0;
        std::size_t s = 0;
        for (; t + 1 < half; t += 2, ++s) {
            const std::size_t mirror = static_cast<std::size_t>(tapCount - 2 - t);
            addAll([&](std::size_t x) { return hn::Add(load(a, x + std::size_t(t)), load(b, x + mirror)); },
                   hn::BitCast(d16, hn::Set(d32, stepWeights[s])));
        }
        const V16 w = hn::BitCast(d16, hn::Set(d32, stepWeights[s]));
        const auto centre = static_cast<std::size_t>(half);
        if (t < half) {
            // Taps half - 1 and half + 1, and the centre.
            addAll(
                [&](std::size_t x) {
                    return hn::Add(load(a, x + centre - 1), hn::And(load(b, x + centre), evenWords));
                },
                w);
        } else {
            // The centre, beside a weight of 0.
            addAll([&](std::size_t x) { return load(a, x + centre); }, w);
        }
    };
    const auto scale = hn::Set(df, inverseDivisor), halfStep = hn::Set(df, 0.5f), top = hn::Set(df, 255.0f);
    // The same rounding as accumulateRows: a multiply, then an add, then truncation.
    auto store = [&](V32 totals, V32 rest, std::size_t x) {
        const V32 sum = hn::RearrangeToOddPlusEven(totals, rest);
        const V32 rounded =
            hn::ConvertTo(d32, hn::Min(hn::Add(hn::Mul(hn::ConvertTo(df, sum), scale), halfStep), top));
        hn::StoreU(hn::DemoteTo(d8, rounded), d8, out + 4 * x);
    };
    std::size_t x = 0;
    for (; x + 4 * span <= outPixels; x += 4 * span) {
        V32 s0 = hn::Zero(d32), r0 = s0, s1 = s0, r1 = s0, s2 = s0, r2 = s0, s3 = s0, r3 = s0;
        forEachStep([&](auto sums, V16 w) {
            s0 = hn::ReorderWidenMulAccumulate(d32, sums(x), w, s0, r0);
            s1 = hn::ReorderWidenMulAccumulate(d32, sums(x + span), w, s1, r1);
            s2 = hn::ReorderWidenMulAccumulate(d32, sums(x + 2 * span), w, s2, r2);
            s3 = hn::ReorderWidenMulAccumulate(d32, sums(x + 3 * span), w, s3, r3);
        });
        store(s0, r0, x);
        store(s1, r1, x + span);
        store(s2, r2, x + 2 * span);
        store(s3, r3, x + 3 * span);
    }
    for (; x + span <= outPixels; x += span) {
        V32 s0 = hn::Zero(d32), r0 = s0;
        forEachStep([&](auto sums, V16 w) { s0 = hn::ReorderWidenMulAccumulate(d32, sums(x), w, s0, r0); });
        store(s0, r0, x);
    }
    accumulateTail(taps, weights, tapCount, 4 * x, 4 * outPixels, inverseDivisor, out);
#else
    (void)words;
    (void)pixels;
    (void)pairs;
    accumulateWordsExactly(taps, 1, weights, tapCount, 0, 4 * outPixels, inverseDivisor, &out);
#endif
}

// Row r of rows (from[r] + offset, count bytes) into to + r × stride.
void widenRowsTo(const std::uint8_t* const* from, std::size_t rows, std::size_t offset, std::size_t count,
                 std::uint16_t* to, std::size_t stride) {
    const hn::ScalableTag<std::uint16_t> d16;
    const hn::Rebind<std::uint8_t, decltype(d16)> d8;
    const std::size_t n = hn::Lanes(d16);
    for (std::size_t r = 0; r < rows; ++r) {
        const std::uint8_t* row = from[r] + offset;
        std::uint16_t* words = to + r * stride;
        std::size_t i = 0;
        for (; i + n <= count; i += n) {
            hn::StoreU(hn::PromoteTo(d16, hn::LoadU(d8, row + i)), d16, words + i);
        }
        std::copy(row + i, row + count, words + i);
    }
}

} // namespace ImageEngine::Convolution::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
namespace ImageEngine::Convolution {

HWY_EXPORT(accumulateWordsExactly);
HWY_EXPORT(widenRowsTo);
HWY_EXPORT(convolvePaddedRowTo);

void accumulateWords(const std::uint16_t* const* rows, const std::int16_t* weights, int tapCount,
                     std::size_t begin, std::size_t end, float inverseDivisor, std::uint8_t* out) {
    HWY_DYNAMIC_DISPATCH(accumulateWordsExactly)
    (rows, 1, weights, tapCount, begin, end, inverseDivisor, &out);
}

void accumulateWordRows(const std::uint16_t* const* rows, int outputRows, const std::int16_t* weights,
                        int tapCount, std::size_t length, float inverseDivisor,
                        std::uint8_t* const* outputs) {
    HWY_DYNAMIC_DISPATCH(accumulateWordsExactly)
    (rows, outputRows, weights, tapCount, 0, length, inverseDivisor, outputs);
}

void widenBytes(const std::uint8_t* from, std::size_t count, std::uint16_t* to) {
    HWY_DYNAMIC_DISPATCH(widenRowsTo)(&from, 1, 0, count, to, 0);
}

void widenRows(const std::uint8_t* const* from, std::size_t rows, std::size_t offset, std::size_t count,
               std::uint16_t* to, std::size_t stride) {
    HWY_DYNAMIC_DISPATCH(widenRowsTo)(from, rows, offset, count, to, stride);
}

void convolvePaddedRow(const std::uint16_t* words, std::size_t pixels, std::uint16_t* pairs,
                       const std::uint16_t* const* taps, const std::int16_t* weights, int tapCount,
                       float inverseDivisor, std::size_t outPixels, std::uint8_t* out) {
    HWY_DYNAMIC_DISPATCH(convolvePaddedRowTo)
    (words, pixels, pairs, taps, weights, tapCount, inverseDivisor, outPixels, out);
}

// out[i] = Σ taps[k] · rows[k][i] / divisor, rounded. Written as whole-row multiply-adds so the
// compiler vectorises it; the sums stay well inside 32 bits (255 · 2^15 · taps).
void accumulateRows(const std::uint8_t* const* rows, const std::int16_t* taps, int tapCount,
                    std::size_t length, std::int32_t* sums, float inverseDivisor, std::uint8_t* out) {
    std::fill(sums, sums + length, 0);
    for (int k = 0; k < tapCount; ++k) {
        const std::uint8_t* row = rows[k];
        const std::int32_t tap = taps[k];
        for (std::size_t i = 0; i < length; ++i) {
            sums[i] += tap * std::int32_t(row[i]);
        }
    }
    for (std::size_t i = 0; i < length; ++i) {
        float v = float(sums[i]) * inverseDivisor + 0.5f;
        out[i] = static_cast<std::uint8_t>(std::min(v, 255.0f));
    }
}

// The vector path pairs mirrored taps under one weight, so the weights must be symmetric, and not
// negative so that no 16-bit pair sum or 32-bit total can wrap where accumulateRows's would not.
bool vectorPathFits(const std::vector<std::int16_t>& weights) {
    const std::size_t n = weights.size();
    for (std::size_t k = 0; k < n; ++k) {
        if (weights[k] < 0 || weights[k] != weights[n - 1 - k]) {
            return false;
        }
    }
    return true;
}

} // namespace ImageEngine::Convolution
#endif
