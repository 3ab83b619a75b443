#pragma once

#include <Foundation/Export.h>
#include <Graphics/Bitmap.h>
#include <cstdint>
#include <memory>
#include <vector>

namespace ImageEngine {

// A one-dimensional integer kernel applied across rows and then down columns of 8-bit pixels.
// Integer weights keep the result exact and the same on every processor.
struct RUX_API IntegerKernel {
    // An odd number of taps, centre in the middle.
    std::vector<std::int16_t> weights;
    // What the weighted sum is divided by; usually the weights' sum, so a flat picture stays flat.
    std::int32_t divisor = 0;
};

// The integer Gaussian of that many taps (an even count is made odd upwards, fewer than one is one):
// sigma is a third of the half-width, each weight 255 × exp(−d² / 2σ²) truncated, the divisor their
// sum. One tap is the single weight 255, which leaves a picture as it is. Any thread.
RUX_API IntegerKernel integerGaussianKernel(int taps);

// What a convolution reports; the codes are what a failure log line prints.
enum class ConvolutionResult : long { Done = 0, InvalidInput = -21773, OutOfMemory = -21771 };

// Blurs the RGBA8 pixels in place, vertically then horizontally, the pixels beyond each edge
// repeating the edge. Each output byte is the weighted sum divided by the divisor and rounded. A
// kernel of one tap leaves the pixels as they are. On failure (a bitmap that is not RGBA8 or is
// empty, a kernel of even length or with a divisor of 0 or less, no memory for the scratch picture)
// the pixels are untouched. Any thread may call it; the rows are spread over the shared pool, and the
// call returns when they are done.
RUX_API ConvolutionResult convolveSeparably(Graphics::Bitmap& bitmap, const IntegerKernel& kernel);

// The same blur written into a new bitmap, which the caller owns; the source is not changed. Where
// it can, the first pass reads the source and writes the new bitmap directly, with no full-size
// scratch. nullptr when there is no memory for the new bitmap; a kernel that cannot be applied
// gives an unblurred copy and one log line. Any thread, as convolveSeparably.
RUX_API std::shared_ptr<Graphics::Bitmap> convolvedCopy(const Graphics::Bitmap& source,
                                                        const IntegerKernel& kernel);

} // namespace ImageEngine
