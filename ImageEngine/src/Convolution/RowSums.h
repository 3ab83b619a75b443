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

} // namespace ImageEngine::Convolution
