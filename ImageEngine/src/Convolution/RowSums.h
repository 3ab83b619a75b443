#pragma once

// The row sums behind the integer convolution: out[i] = Σ weights[k] × rows[k][i] / divisor,
// rounded, over bytes. A portable loop, and on x86 processors with AVX2 (or AVX-512) an exact
// vector version for symmetric kernels that gives the same bytes.

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ImageEngine::Convolution {

// One pass over a row of length bytes; sums is scratch of length entries.
void accumulateRows(const std::uint8_t* const* rows, const std::int16_t* taps, int tapCount,
                    std::size_t length, std::int32_t* sums, float inverseDivisor, std::uint8_t* out);

// Whether the vector path gives accumulateRows's bytes for these weights on this processor.
bool vectorPathFits(const std::vector<std::int16_t>& weights);

// out[i] for i in [begin, end) on the vector path; only where vectorPathFits.
using Accumulate = void (*)(const std::uint8_t* const* rows, const std::int16_t* weights, int tapCount,
                            std::size_t begin, std::size_t end, float inverseDivisor, std::uint8_t* out);
// The widest vector accumulation this processor runs; nullptr where there is none.
Accumulate accumulation();

// The same over rows whose bytes were first widened to 16-bit words (values 0 to 255), which pays
// where every row is read by many taps; only where vectorPathFits. nullptr where this processor has
// no such path (it needs AVX-512 with VNNI).
using AccumulateWords = void (*)(const std::uint16_t* const* rows, const std::int16_t* weights, int tapCount,
                                 std::size_t begin, std::size_t end, float inverseDivisor, std::uint8_t* out);
AccumulateWords wordAccumulation();
// to[i] = from[i] for count bytes, with the processor's widest widening where wordAccumulation has one.
void widenBytes(const std::uint8_t* from, std::size_t count, std::uint16_t* to);

} // namespace ImageEngine::Convolution
