#pragma once

// The row sums behind the integer convolution: out[i] = Σ weights[k] × rows[k][i] / divisor,
// rounded, over 8-bit samples. A portable loop for any kernel, and a vector version for symmetric
// kernels that gives the same bytes on every instruction set (Highway picks the widest one at run
// time, within any limit set through ImageEngine/InstructionSet.h).

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ImageEngine::Convolution {

// One pass over a row of length bytes; sums is scratch of length entries.
void accumulateRows(const std::uint8_t* const* rows, const std::int16_t* taps, int tapCount,
                    std::size_t length, std::int32_t* sums, float inverseDivisor, std::uint8_t* out);

// Whether accumulateWords gives accumulateRows's bytes for these weights: symmetric and not negative.
bool vectorPathFits(const std::vector<std::int16_t>& weights);

// out[i] for i in [begin, end) on the vector path, over rows whose bytes were first widened to
// 16-bit words (values 0 to 255): widening a row once instead of once per tap is what pays, since
// every row is read by many taps. Only where vectorPathFits.
void accumulateWords(const std::uint16_t* const* rows, const std::int16_t* weights, int tapCount,
                     std::size_t begin, std::size_t end, float inverseDivisor, std::uint8_t* out);
// to[i] = from[i] for count bytes.
void widenBytes(const std::uint8_t* from, std::size_t count, std::uint16_t* to);

} // namespace ImageEngine::Convolution
