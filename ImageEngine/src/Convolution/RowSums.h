#pragma once

// The row sums behind the integer convolution: out[i] = Σ weights[k] × rows[k][i] / divisor,
// rounded, over 8-bit samples. A portable loop for any kernel, and a vector version for symmetric
// kernels that gives the same bytes on every instruction set (Highway picks the widest one at run
// time, within any limit set through ImageEngine/InstructionSet.h).

#include <cstddef>
#include <cstdint>
#include <functional>
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
// accumulateWords over [0, length) for outputRows rows at once: outputs[r] takes rows r to
// r + tapCount - 1 (a band's rows, each read by many outputs).
void accumulateWordRows(const std::uint16_t* const* rows, int outputRows, const std::int16_t* weights,
                        int tapCount, std::size_t length, float inverseDivisor, std::uint8_t* const* outputs);
// to[i] = from[i] for count bytes.
void widenBytes(const std::uint8_t* from, std::size_t count, std::uint16_t* to);
// widenBytes for rows rows: count bytes from from[r] + offset into to + r × stride.
void widenRows(const std::uint8_t* const* from, std::size_t rows, std::size_t offset, std::size_t count,
               std::uint16_t* to, std::size_t stride);

// The strips of the vertical pass on the vector path: 64 samples wide, so that the widened rows of
// a band of 64 output rows under a 163-tap kernel (226 rows of 128 bytes) stay in the first-level
// cache.
inline constexpr std::size_t kBandStrip = 64;
inline constexpr int kBandRows = 64;

// The vertical pass on the vector path over one band of at most kBandRows output rows: output(i),
// for i below rows, gets the taps over band rows i to i + tapCount - 1, where source(j) is the row
// of bytes band row j reads (edge rows already repeated). Each band row is widened once per strip.
void convolveBandVertically(const std::function<const std::uint8_t*(int)>& source, int rows,
                            std::size_t rowLength, const std::int16_t* weights, int tapCount,
                            float inverseDivisor, const std::function<std::uint8_t*(int)>& output);

// One row of the horizontal pass on the vector path: out, outPixels pixels, takes taps (tap k starting
// k pixels along) over words, pixels padded pixels of widened bytes; pairs is scratch of 16 words a
// padded pixel. The same bytes as accumulateWords over the taps.
void convolvePaddedRow(const std::uint16_t* words, std::size_t pixels, std::uint16_t* pairs,
                       const std::uint16_t* const* taps, const std::int16_t* weights, int tapCount,
                       float inverseDivisor, std::size_t outPixels, std::uint8_t* out);

// One row of the horizontal pass on the vector path, with its scratch: the row's bytes widened once
// into words after `before` copies of its first pixel and followed by copies of its last one, so
// that tap k is a view k pixels along.
class PaddedRow {
public:
    // pixels: the row with its padding on both sides.
    PaddedRow(std::size_t pixels, int tapCount);
    void convolve(const std::uint8_t* row, std::size_t rowPixels, std::size_t before,
                  const std::int16_t* weights, float inverseDivisor, std::size_t outPixels,
                  std::uint8_t* out);

private:
    std::vector<std::uint16_t> m_words;
    std::vector<std::uint16_t> m_pairs; // scratch for the vector path's rearranged words
    std::vector<const std::uint16_t*> m_taps;
};

} // namespace ImageEngine::Convolution
