#include "Convolution/RowSums.h"

#include <algorithm>
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace ImageEngine::Convolution {

namespace {

// Whether this processor runs the vector path (it needs AVX2).
bool vectorPathAvailable();

#if defined(__x86_64__) && defined(__GNUC__)
// Outputs [begin, end) one at a time, with the vector paths' pairing of mirrored taps and rounding:
// the ends of rows that do not fill a vector block.
template <class Sample>
void accumulateTail(const Sample* const* rows, const std::int16_t* weights, int tapCount, std::size_t begin,
                    std::size_t end, float inverseDivisor, std::uint8_t* out) {
    const int half = tapCount / 2;
    for (std::size_t i = begin; i < end; ++i) {
        std::int32_t sum = static_cast<std::int32_t>(weights[half]) * rows[half][i];
        for (int k = 0; k < half; ++k) {
            sum += static_cast<std::int32_t>(weights[k]) * (int(rows[k][i]) + int(rows[tapCount - 1 - k][i]));
        }
        float value = float(sum) * inverseDivisor + 0.5f;
        out[i] = static_cast<std::uint8_t>(std::min(value, 255.0f));
    }
}

// Two 16-bit weights in one 32-bit lane, the first in the low half, as the pair multiply-adds take them.
std::int32_t weightPair(std::int16_t low, std::int16_t high) {
    return static_cast<std::int32_t>((static_cast<std::uint32_t>(static_cast<std::uint16_t>(high)) << 16) |
                                     static_cast<std::uint16_t>(low));
}

// Sixteen bytes widened to sixteen 16-bit lanes.
__attribute__((target("avx2"), always_inline)) inline __m256i widen(const std::uint8_t* p) {
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// out[i] for i in [begin, end): the same integer sums and rounding as accumulateRows. Mirrored taps
// share a weight, so their bytes are added first (at most 510, a 16-bit lane); then each
// multiply-add instruction weights two such terms at once into 32-bit sums. A block of 32 outputs
// keeps its sums in registers while every tap is added. Only called where the processor has AVX2
// (vectorPathAvailable).
__attribute__((target("avx2"))) void accumulateRowsExactly(const std::uint8_t* const* rows,
                                                           const std::int16_t* weights, int tapCount,
                                                           std::size_t begin, std::size_t end,
                                                           float inverseDivisor, std::uint8_t* out) {
    constexpr std::size_t kBlock = 32;
    const int half = tapCount / 2;
    // Terms: the mirrored pairs, then the centre alone; taken two at a time, the last one with a
    // weight of 0 when their number is odd.
    const int terms = half + 1;
    auto termRows = [&](int t, const std::uint8_t*& a, const std::uint8_t*& b) {
        if (t < half) {
            a = rows[t];
            b = rows[tapCount - 1 - t];
        } else {
            a = rows[half];
            b = nullptr;
        }
    };
    auto termWeight = [&](int t) {
        return t < terms ? static_cast<std::int16_t>(weights[t]) : std::int16_t(0);
    };
    std::size_t i = begin;
    for (; i + kBlock <= end; i += kBlock) {
        // sums[h][q]: half h of the block (16 outputs), q = 0 for the low four of each 128-bit half
        // of a vector and 1 for the high four (the order the interleaving leaves them in).
        __m256i sums[2][2] = {{_mm256_setzero_si256(), _mm256_setzero_si256()},
                              {_mm256_setzero_si256(), _mm256_setzero_si256()}};
        for (int t = 0; t < terms; t += 2) {
            const __m256i w = _mm256_set1_epi32(weightPair(termWeight(t), termWeight(t + 1)));
            const std::uint8_t *a0, *b0, *a1 = nullptr, *b1 = nullptr;
            termRows(t, a0, b0);
            if (t + 1 < terms) {
                termRows(t + 1, a1, b1);
            }
            for (std::size_t h = 0; h < 2; ++h) {
                const std::size_t at = i + h * 16;
                __m256i first = widen(a0 + at);
                if (b0) {
                    first = _mm256_add_epi16(first, widen(b0 + at));
                }
                __m256i second = _mm256_setzero_si256();
                if (a1) {
                    second = widen(a1 + at);
                    if (b1) {
                        second = _mm256_add_epi16(second, widen(b1 + at));
                    }
                }
                sums[h][0] =
                    _mm256_add_epi32(sums[h][0], _mm256_madd_epi16(_mm256_unpacklo_epi16(first, second), w));
                sums[h][1] =
                    _mm256_add_epi32(sums[h][1], _mm256_madd_epi16(_mm256_unpackhi_epi16(first, second), w));
            }
        }
        // The same rounding as accumulateRows (a multiply, then an add, then truncation), eight
        // lanes at a time. Packing the low sums with the high ones puts the outputs back in order.
        const __m256 scale = _mm256_set1_ps(inverseDivisor), halfStep = _mm256_set1_ps(0.5f),
                     top = _mm256_set1_ps(255.0f);
        auto rounded = [&](__m256i sum) __attribute__((target("avx2"))) {
            const __m256 v = _mm256_add_ps(_mm256_mul_ps(_mm256_cvtepi32_ps(sum), scale), halfStep);
            return _mm256_cvttps_epi32(_mm256_min_ps(v, top));
        };
        for (std::size_t h = 0; h < 2; ++h) {
            const __m256i words = _mm256_packus_epi32(rounded(sums[h][0]), rounded(sums[h][1]));
            const __m256i bytes = _mm256_packus_epi16(words, words);
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i + h * 16), _mm256_castsi256_si128(bytes));
            _mm_storel_epi64(reinterpret_cast<__m128i*>(out + i + h * 16 + 8),
                             _mm256_extracti128_si256(bytes, 1));
        }
    }
    accumulateTail(rows, weights, tapCount, i, end, inverseDivisor, out);
}

// GCC 12's AVX-512 conversion intrinsics start from an undefined vector that its flow analysis
// reports as uninitialised; the warning is spurious there.
#pragma GCC diagnostic push
#if !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
// Thirty-two bytes widened to thirty-two 16-bit lanes.
__attribute__((target("avx512f,avx512bw"), always_inline)) inline __m512i widen32(const std::uint8_t* p) {
    return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
}

// The 64 sums of a block, in the order the interleaving leaves them (sums[h][q] as in the callers),
// rounded as accumulateRows rounds and stored as 64 bytes in order.
__attribute__((target("avx512f,avx512bw"), always_inline)) inline void
storeRounded(const __m512i (&sums)[2][2], float inverseDivisor, std::uint8_t* out) {
    const __m512 scale = _mm512_set1_ps(inverseDivisor), halfStep = _mm512_set1_ps(0.5f),
                 top = _mm512_set1_ps(255.0f);
    auto rounded = [&](__m512i sum) __attribute__((target("avx512f,avx512bw"))) {
        const __m512 v = _mm512_add_ps(_mm512_mul_ps(_mm512_cvtepi32_ps(sum), scale), halfStep);
        return _mm512_cvttps_epi32(_mm512_min_ps(v, top));
    };
    for (std::size_t h = 0; h < 2; ++h) {
        // Each 128-bit lane packs its low four sums with its high four: 32 words in order.
        const __m512i words = _mm512_packus_epi32(rounded(sums[h][0]), rounded(sums[h][1]));
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + h * 32), _mm512_cvtepi16_epi8(words));
    }
}

// accumulateRowsExactly with 512-bit vectors: blocks of 64 outputs, the same terms, sums and
// rounding. Only called where the processor has AVX-512 with byte and word instructions.
__attribute__((target("avx512f,avx512bw"))) void
accumulateRowsExactly512(const std::uint8_t* const* rows, const std::int16_t* weights, int tapCount,
                         std::size_t begin, std::size_t end, float inverseDivisor, std::uint8_t* out) {
    constexpr std::size_t kBlock = 64;
    const int half = tapCount / 2;
    const int terms = half + 1;
    auto termRows = [&](int t, const std::uint8_t*& a, const std::uint8_t*& b) {
        if (t < half) {
            a = rows[t];
            b = rows[tapCount - 1 - t];
        } else {
            a = rows[half];
            b = nullptr;
        }
    };
    auto termWeight = [&](int t) { return t < terms ? weights[t] : std::int16_t(0); };
    std::size_t i = begin;
    for (; i + kBlock <= end; i += kBlock) {
        __m512i sums[2][2] = {{_mm512_setzero_si512(), _mm512_setzero_si512()},
                              {_mm512_setzero_si512(), _mm512_setzero_si512()}};
        for (int t = 0; t < terms; t += 2) {
            const __m512i w = _mm512_set1_epi32(weightPair(termWeight(t), termWeight(t + 1)));
            const std::uint8_t *a0, *b0, *a1 = nullptr, *b1 = nullptr;
            termRows(t, a0, b0);
            if (t + 1 < terms) {
                termRows(t + 1, a1, b1);
            }
            for (std::size_t h = 0; h < 2; ++h) {
                const std::size_t at = i + h * 32;
                __m512i first = widen32(a0 + at);
                if (b0) {
                    first = _mm512_add_epi16(first, widen32(b0 + at));
                }
                __m512i second = _mm512_setzero_si512();
                if (a1) {
                    second = widen32(a1 + at);
                    if (b1) {
                        second = _mm512_add_epi16(second, widen32(b1 + at));
                    }
                }
                sums[h][0] =
                    _mm512_add_epi32(sums[h][0], _mm512_madd_epi16(_mm512_unpacklo_epi16(first, second), w));
                sums[h][1] =
                    _mm512_add_epi32(sums[h][1], _mm512_madd_epi16(_mm512_unpackhi_epi16(first, second), w));
            }
        }
        storeRounded(sums, inverseDivisor, out + i);
    }
    if (i < end) {
        accumulateRowsExactly(rows, weights, tapCount, i, end, inverseDivisor, out);
    }
}

__attribute__((target("avx512f"), always_inline)) inline __m512i load(const std::uint16_t* p) {
    return _mm512_loadu_si512(static_cast<const void*>(p));
}

// accumulateRowsExactly512 over rows already widened to 16-bit words, with the processor's fused
// multiply-add of word pairs (AVX-512 VNNI). Widening a row once instead of once per tap is what
// makes this faster: the byte version spends most of its instructions on it. The same terms, sums
// and rounding, so the same bytes.
__attribute__((target("avx512f,avx512bw,avx512vnni"))) void
accumulateWordsExactly512(const std::uint16_t* const* rows, const std::int16_t* weights, int tapCount,
                          std::size_t begin, std::size_t end, float inverseDivisor, std::uint8_t* out) {
    constexpr std::size_t kBlock = 64;
    const int half = tapCount / 2;
    std::size_t i = begin;
    for (; i + kBlock <= end; i += kBlock) {
        __m512i sums[2][2] = {{_mm512_setzero_si512(), _mm512_setzero_si512()},
                              {_mm512_setzero_si512(), _mm512_setzero_si512()}};
        int t = 0;
        // Two mirrored pairs per step while both are pairs.
        for (; t + 1 < half; t += 2) {
            const __m512i w = _mm512_set1_epi32(weightPair(weights[t], weights[t + 1]));
            const std::uint16_t *a0 = rows[t], *b0 = rows[tapCount - 1 - t];
            const std::uint16_t *a1 = rows[t + 1], *b1 = rows[tapCount - 2 - t];
            for (std::size_t h = 0; h < 2; ++h) {
                const std::size_t at = i + h * 32;
                const __m512i first = _mm512_add_epi16(load(a0 + at), load(b0 + at));
                const __m512i second = _mm512_add_epi16(load(a1 + at), load(b1 + at));
                sums[h][0] = _mm512_dpwssd_epi32(sums[h][0], _mm512_unpacklo_epi16(first, second), w);
                sums[h][1] = _mm512_dpwssd_epi32(sums[h][1], _mm512_unpackhi_epi16(first, second), w);
            }
        }
        // What is left: one pair and the centre, or the centre alone (with a weight of 0 beside it).
        {
            const bool pairLeft = t < half;
            const std::int16_t weightA = pairLeft ? weights[t] : weights[half];
            const std::int16_t weightB = pairLeft ? weights[half] : std::int16_t(0);
            const __m512i w = _mm512_set1_epi32(weightPair(weightA, weightB));
            for (std::size_t h = 0; h < 2; ++h) {
                const std::size_t at = i + h * 32;
                __m512i first, second;
                if (pairLeft) {
                    first = _mm512_add_epi16(load(rows[t] + at), load(rows[tapCount - 1 - t] + at));
                    second = load(rows[half] + at);
                } else {
                    first = load(rows[half] + at);
                    second = _mm512_setzero_si512();
                }
                sums[h][0] = _mm512_dpwssd_epi32(sums[h][0], _mm512_unpacklo_epi16(first, second), w);
                sums[h][1] = _mm512_dpwssd_epi32(sums[h][1], _mm512_unpackhi_epi16(first, second), w);
            }
        }
        storeRounded(sums, inverseDivisor, out + i);
    }
    accumulateTail(rows, weights, tapCount, i, end, inverseDivisor, out);
}

// Bytes to words, 32 at a time.
__attribute__((target("avx512f,avx512bw"))) void widenBytes512(const std::uint8_t* from, std::size_t count,
                                                               std::uint16_t* to) {
    std::size_t i = 0;
    for (; i + 32 <= count; i += 32) {
        _mm512_storeu_si512(static_cast<void*>(to + i), widen32(from + i));
    }
    for (; i < count; ++i) {
        to[i] = from[i];
    }
}

AccumulateWords widestWordAccumulation() {
    static const AccumulateWords chosen = __builtin_cpu_supports("avx512bw") &&
                                                  __builtin_cpu_supports("avx512f") &&
                                                  __builtin_cpu_supports("avx512vnni")
                                              ? accumulateWordsExactly512
                                              : nullptr;
    return chosen;
}

#pragma GCC diagnostic pop

// The widest accumulation this processor runs.
Accumulate widestAccumulation() {
    static const Accumulate chosen = __builtin_cpu_supports("avx512bw") && __builtin_cpu_supports("avx512f")
                                         ? accumulateRowsExactly512
                                         : accumulateRowsExactly;
    return chosen;
}

bool vectorPathAvailable() {
    static const bool available = __builtin_cpu_supports("avx2");
    return available;
}
#else
Accumulate widestAccumulation() {
    return nullptr;
}
AccumulateWords widestWordAccumulation() {
    return nullptr;
}
bool vectorPathAvailable() {
    return false;
}
#endif

} // namespace

Accumulate accumulation() {
    return widestAccumulation();
}

AccumulateWords wordAccumulation() {
    return widestWordAccumulation();
}

void widenBytes(const std::uint8_t* from, std::size_t count, std::uint16_t* to) {
#if defined(__x86_64__) && defined(__GNUC__)
    if (widestWordAccumulation()) {
        widenBytes512(from, count, to);
        return;
    }
#endif
    std::copy(from, from + count, to);
}

// out[i] = Σ taps[k] · rows[k][i] / divisor, rounded. Written as whole-row
// multiply-adds so the compiler vectorises it; the sums stay well inside 32 bits (255 · 2^15 · taps).
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

// Whether the vector path gives accumulateRows's sums for this kernel: it pairs mirrored taps under
// one weight, so the weights must be symmetric, and non-negative so that no 16-bit pair sum or 32-bit
// total can wrap where accumulateRows's would not.
bool vectorPathFits(const std::vector<std::int16_t>& weights) {
    if (!vectorPathAvailable()) {
        return false;
    }
    const std::size_t n = weights.size();
    for (std::size_t k = 0; k < n; ++k) {
        if (weights[k] < 0 || weights[k] != weights[n - 1 - k]) {
            return false;
        }
    }
    return true;
}

} // namespace ImageEngine::Convolution
