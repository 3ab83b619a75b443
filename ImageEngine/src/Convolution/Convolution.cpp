// The integer convolution: two passes over the rows, spread over the shared pool in bands of rows.
#include "Convolution/RowSums.h"

#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <ImageEngine/Convolution.h>
#include <algorithm>
#include <functional>
#include <new>

namespace ImageEngine {

namespace {

using namespace Convolution;

using RowOf = std::function<const std::uint8_t*(int)>;
using MutableRowOf = std::function<std::uint8_t*(int)>;

// The horizontal pass from middle rows into output rows, in bands of rows over the pool (output may
// be middle).
void horizontalPass(int width, int height, const MutableRowOf& middle, const MutableRowOf& output,
                    const std::vector<std::int16_t>& weights, float inverseDivisor) {
    constexpr std::size_t kRowsPerTask = 16;
    const int taps = int(weights.size()), half = taps / 2;
    const std::size_t tasks = (std::size_t(height) + kRowsPerTask - 1) / kRowsPerTask;
    Foundation::parallelFor(tasks, [&](std::size_t task) {
        PaddedRow padded(std::size_t(width) + 2 * std::size_t(half), taps);
        const int y0 = int(task * kRowsPerTask), y1 = std::min(height, y0 + int(kRowsPerTask));
        for (int y = y0; y < y1; ++y) {
            padded.convolve(middle(y), std::size_t(width), std::size_t(half), weights.data(), inverseDivisor,
                            std::size_t(width), output(y));
        }
    });
}

// Both passes on the vector path: vertically from source rows into middle rows, one band of rows a
// task, then horizontally from middle rows into output rows (output may be middle).
void convolveOnVectorPath(int width, int height, const RowOf& source, const MutableRowOf& middle,
                          const MutableRowOf& output, const std::vector<std::int16_t>& weights,
                          float inverseDivisor) {
    const int taps = int(weights.size()), half = taps / 2;
    const std::size_t rowLength = std::size_t(width) * 4;
    const std::size_t tasks = (std::size_t(height) + kBandRows - 1) / kBandRows;
    Foundation::parallelFor(tasks, [&](std::size_t task) {
        const int y0 = int(task) * kBandRows, y1 = std::min(height, y0 + kBandRows);
        convolveBandVertically([&](int j) { return source(std::clamp(y0 - half + j, 0, height - 1)); },
                               y1 - y0, rowLength, weights.data(), taps, inverseDivisor,
                               [&](int i) { return middle(y0 + i); });
    });
    horizontalPass(width, height, middle, output, weights, inverseDivisor);
}

} // namespace

namespace Convolution {

void convolveBandVertically(const std::function<const std::uint8_t*(int)>& source, int rows,
                            std::size_t rowLength, const std::int16_t* weights, int tapCount,
                            float inverseDivisor, const std::function<std::uint8_t*(int)>& output) {
    const std::size_t bandRows = std::size_t(rows + tapCount - 1);
    std::vector<const std::uint8_t*> sources(bandRows);
    for (std::size_t j = 0; j < bandRows; ++j) {
        sources[j] = source(int(j));
    }
    std::vector<std::uint16_t> band(bandRows * kBandStrip);
    // Output row i's taps are band rows i to i + tapCount - 1.
    std::vector<const std::uint16_t*> bandRowsAt(bandRows);
    for (std::size_t j = 0; j < bandRows; ++j) {
        bandRowsAt[j] = band.data() + j * kBandStrip;
    }
    std::vector<std::uint8_t*> outputs(static_cast<std::size_t>(rows)), stripOutputs(outputs.size());
    for (int i = 0; i < rows; ++i) {
        outputs[std::size_t(i)] = output(i);
    }
    for (std::size_t strip = 0; strip < rowLength; strip += kBandStrip) {
        const std::size_t length = std::min(rowLength, strip + kBandStrip) - strip;
        widenRows(sources.data(), bandRows, strip, length, band.data(), kBandStrip);
        for (std::size_t i = 0; i < outputs.size(); ++i) {
            stripOutputs[i] = outputs[i] + strip;
        }
        accumulateWordRows(bandRowsAt.data(), rows, weights, tapCount, length, inverseDivisor,
                           stripOutputs.data());
    }
}

PaddedRow::PaddedRow(std::size_t pixels, int tapCount)
    : m_words(pixels * 4), m_pairs(pixels * 16), m_taps(static_cast<std::size_t>(tapCount)) {
    for (std::size_t k = 0; k < m_taps.size(); ++k) {
        m_taps[k] = m_words.data() + 4 * k;
    }
}

void PaddedRow::convolve(const std::uint8_t* row, std::size_t rowPixels, std::size_t before,
                         const std::int16_t* weights, float inverseDivisor, std::size_t outPixels,
                         std::uint8_t* out) {
    const std::size_t rowLength = rowPixels * 4;
    std::uint16_t* words = m_words.data();
    for (std::size_t x = 0; x < before; ++x) {
        std::copy(row, row + 4, words + 4 * x);
    }
    widenBytes(row, rowLength, words + 4 * before);
    for (std::size_t at = 4 * before + rowLength; at < m_words.size(); at += 4) {
        std::copy(row + rowLength - 4, row + rowLength, words + at);
    }
    convolvePaddedRow(words, m_words.size() / 4, m_pairs.data(), m_taps.data(), weights, int(m_taps.size()),
                      inverseDivisor, outPixels, out);
}

} // namespace Convolution

ConvolutionResult convolveSeparably(Graphics::Bitmap& bitmap, const IntegerKernel& kernel) {
    const int width = bitmap.width(), height = bitmap.height();
    const int taps = int(kernel.weights.size());
    if (width <= 0 || height <= 0 || bitmap.format() != Graphics::PixelFormat::RGBA8 || taps % 2 == 0 ||
        kernel.divisor <= 0) {
        return ConvolutionResult::InvalidInput;
    }
    if (taps == 1) {
        return ConvolutionResult::Done;
    }
    const int half = taps / 2;
    const std::size_t rowLength = std::size_t(width) * 4;
    const float inverseDivisor = 1.0f / float(kernel.divisor);
    // The scratch picture is as large as the photo; without room for it the photo stays sharp.
    std::vector<std::uint8_t> vertical;
    try {
        vertical.resize(rowLength * std::size_t(height));
    } catch (const std::bad_alloc&) {
        return ConvolutionResult::OutOfMemory;
    }
    constexpr std::size_t kRowsPerTask = 16;
    const std::size_t tasks = (std::size_t(height) + kRowsPerTask - 1) / kRowsPerTask;
    if (vectorPathFits(kernel.weights)) {
        convolveOnVectorPath(
            width, height, [&bitmap](int y) { return bitmap.row(y); },
            [&vertical, rowLength](int y) { return vertical.data() + rowLength * std::size_t(y); },
            [&bitmap](int y) { return bitmap.mutableRow(y); }, kernel.weights, inverseDivisor);
        return ConvolutionResult::Done;
    }

    // Vertical pass into the scratch buffer: each output row is a weighted sum of whole rows,
    // the rows beyond the edges repeating the edge rows.
    Foundation::parallelFor(tasks, [&](std::size_t task) {
        std::vector<const std::uint8_t*> rows(taps);
        std::vector<std::int32_t> sums(rowLength);
        const int y0 = int(task * kRowsPerTask), y1 = std::min(height, y0 + int(kRowsPerTask));
        for (int y = y0; y < y1; ++y) {
            for (int k = 0; k < taps; ++k) {
                rows[k] = bitmap.row(std::clamp(y + k - half, 0, height - 1));
            }
            accumulateRows(rows.data(), kernel.weights.data(), taps, rowLength, sums.data(), inverseDivisor,
                           vertical.data() + rowLength * y);
        }
    });

    // Horizontal pass back into the bitmap: each row is padded with copies of its edge pixels,
    // so the taps become shifted views of one contiguous row.
    Foundation::parallelFor(tasks, [&](std::size_t task) {
        std::vector<std::uint8_t> padded((std::size_t(width) + 2 * half) * 4);
        std::vector<const std::uint8_t*> rows(taps);
        std::vector<std::int32_t> sums(rowLength);
        const int y0 = int(task * kRowsPerTask), y1 = std::min(height, y0 + int(kRowsPerTask));
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* source = vertical.data() + rowLength * y;
            for (int x = 0; x < half; ++x) {
                std::copy(source, source + 4, padded.data() + 4 * x);
                std::copy(source + rowLength - 4, source + rowLength, padded.data() + 4 * (half + width + x));
            }
            std::copy(source, source + rowLength, padded.data() + 4 * half);
            for (int k = 0; k < taps; ++k) {
                rows[k] = padded.data() + 4 * k;
            }
            accumulateRows(rows.data(), kernel.weights.data(), taps, rowLength, sums.data(), inverseDivisor,
                           bitmap.mutableRow(y));
        }
    });
    return ConvolutionResult::Done;
}

std::shared_ptr<Graphics::Bitmap> convolvedCopy(const Graphics::Bitmap& sharp, const IntegerKernel& kernel) {
    if (kernel.weights.size() > 1 && kernel.weights.size() % 2 == 1 && kernel.divisor > 0 &&
        vectorPathFits(kernel.weights)) {
        auto blurred = Graphics::Bitmap::create(sharp.width(), sharp.height(), sharp.format(),
                                                sharp.alphaInfo(), sharp.colorSpace());
        if (!blurred) {
            return nullptr;
        }
        Graphics::Bitmap& target = *blurred;
        auto targetRow = [&target](int y) { return target.mutableRow(y); };
        convolveOnVectorPath(
            sharp.width(), sharp.height(), [&sharp](int y) { return sharp.row(y); }, targetRow, targetRow,
            kernel.weights, 1.0f / float(kernel.divisor));
        return blurred;
    }
    auto blurred = sharp.copy();
    if (!blurred) {
        return nullptr;
    }
    // A failed pass leaves the picture as the last successful one did; the render goes on with it.
    if (auto error = convolveSeparably(*blurred, kernel); error != ConvolutionResult::Done) {
        Foundation::log("ImageEngine: error from convolution %ld", static_cast<long>(error));
    }
    return blurred;
}

} // namespace ImageEngine
