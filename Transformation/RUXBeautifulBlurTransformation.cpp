#include <Foundation/Bundle.h>
#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <ImageEngine/Context.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Manager/RUXImageRenderer.h>
#include <Transformation/RUXBeautifulBlurTransformation.h>
#include <Transformation/RUXEngineValues.h>
#include <Utility/RUXImageUtility.h>
#include <Utility/RUXResourceLocation.h>
#include <algorithm>
#include <cmath>
#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <new>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXBeautifulBlurTransformation)

Graphics::Point RUXBeautifulBlurTransformation::point() const {
    std::lock_guard lock(m_mutex);
    return m_point;
}
void RUXBeautifulBlurTransformation::setPoint(Graphics::Point point) {
    std::lock_guard lock(m_mutex);
    m_point = point;
}
double RUXBeautifulBlurTransformation::scale() const {
    std::lock_guard lock(m_mutex);
    return m_scale;
}
void RUXBeautifulBlurTransformation::setScale(double scale) {
    std::lock_guard lock(m_mutex);
    m_scale = scale;
}
std::size_t RUXBeautifulBlurTransformation::cachedBackgroundCount() const {
    std::lock_guard lock(m_mutex);
    return m_cache.size();
}

RUXTransformationPtr RUXBeautifulBlurTransformation::copy() const {
    auto result = std::make_shared<RUXBeautifulBlurTransformation>();
    result->setPoint(point());
    return result;
}

int RUXBeautifulBlurTransformation::kernelSizeForSize(int width, int height) {
    int n = int(std::min(width, height) * 0.08);
    return 2 * (n / 2) + 1;
}

RUXBeautifulBlurTransformation::Kernel RUXBeautifulBlurTransformation::kernelOfSize(int size) {
    Kernel kernel;
    size = std::max(1, size | 1);
    const int half = (size - 1) / 2;
    const double sigma = half / 3.0;
    kernel.weights.resize(size);
    for (int i = 0; i < size; ++i) {
        // For a single tap sigma is 0 and the centre's 0/0 would be NaN; it is the whole kernel.
        double weight =
            half == 0 ? 255.0 : 255.0 * std::exp(-double(i - half) * (i - half) / (2 * sigma * sigma));
        kernel.weights[i] = static_cast<std::int16_t>(weight);
        kernel.divisor += kernel.weights[i];
    }
    return kernel;
}

namespace {

// A coordinate that is not a number places the circle nowhere; it is moved as far off the picture
// as the engine can still compute with, and huge ones are held there too.
double placeableCoordinate(double v) {
    return std::isnan(v) ? kRUXLargestEngineValue : RUXEngineValue(v);
}

// One pass over a row: out[i] = Σ taps[k] · rows[k][i] / divisor, rounded. Written as whole-row
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

// Whether this processor runs the vector path (it needs AVX2).
bool vectorPathAvailable();

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

#if defined(__x86_64__) && defined(__GNUC__)
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
            const __m256i w = _mm256_set1_epi32(static_cast<std::int32_t>(
                (static_cast<std::uint32_t>(static_cast<std::uint16_t>(termWeight(t + 1))) << 16) |
                static_cast<std::uint16_t>(termWeight(t))));
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
    for (; i < end; ++i) {
        std::int32_t sum = static_cast<std::int32_t>(weights[half]) * rows[half][i];
        for (int k = 0; k < half; ++k) {
            sum += static_cast<std::int32_t>(weights[k]) * (int(rows[k][i]) + int(rows[tapCount - 1 - k][i]));
        }
        float value = float(sum) * inverseDivisor + 0.5f;
        out[i] = static_cast<std::uint8_t>(std::min(value, 255.0f));
    }
}

// GCC 12's AVX-512 conversion intrinsics start from an undefined vector that its flow analysis
// reports as uninitialised; the warning is spurious there.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
// Thirty-two bytes widened to thirty-two 16-bit lanes.
__attribute__((target("avx512f,avx512bw"), always_inline)) inline __m512i widen32(const std::uint8_t* p) {
    return _mm512_cvtepu8_epi16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)));
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
            const __m512i w = _mm512_set1_epi32(static_cast<std::int32_t>(
                (static_cast<std::uint32_t>(static_cast<std::uint16_t>(termWeight(t + 1))) << 16) |
                static_cast<std::uint16_t>(termWeight(t))));
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
        const __m512 scale = _mm512_set1_ps(inverseDivisor), halfStep = _mm512_set1_ps(0.5f),
                     top = _mm512_set1_ps(255.0f);
        auto rounded = [&](__m512i sum) __attribute__((target("avx512f,avx512bw"))) {
            const __m512 v = _mm512_add_ps(_mm512_mul_ps(_mm512_cvtepi32_ps(sum), scale), halfStep);
            return _mm512_cvttps_epi32(_mm512_min_ps(v, top));
        };
        for (std::size_t h = 0; h < 2; ++h) {
            // Each 128-bit lane packs its low four sums with its high four: 32 words in order.
            const __m512i words = _mm512_packus_epi32(rounded(sums[h][0]), rounded(sums[h][1]));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i + h * 32), _mm512_cvtepi16_epi8(words));
        }
    }
    if (i < end) {
        accumulateRowsExactly(rows, weights, tapCount, i, end, inverseDivisor, out);
    }
}

#pragma GCC diagnostic pop

using Accumulate = void (*)(const std::uint8_t* const*, const std::int16_t*, int, std::size_t, std::size_t,
                            float, std::uint8_t*);
// The widest accumulation this processor runs.
Accumulate accumulation() {
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
using Accumulate = void (*)(const std::uint8_t* const*, const std::int16_t*, int, std::size_t, std::size_t,
                            float, std::uint8_t*);
Accumulate accumulation() {
    return nullptr;
}
bool vectorPathAvailable() {
    return false;
}
#endif

// Both passes on the vector path: vertically from source rows into middle rows, then horizontally
// from middle rows into output rows (a row is copied into a padded buffer first, so output may be
// middle). The vertical pass walks the picture in column strips, so the rows a band of outputs
// reads stay in the second-level cache while the band is computed.
using RowOf = std::function<const std::uint8_t*(int)>;
using MutableRowOf = std::function<std::uint8_t*(int)>;
void convolveExactly(int width, int height, const RowOf& source, const MutableRowOf& middle,
                     const MutableRowOf& output, const std::vector<std::int16_t>& weights,
                     float inverseDivisor) {
    constexpr std::size_t kRowsPerTask = 16, kStrip = 1024;
    const int taps = int(weights.size()), half = taps / 2;
    const Accumulate accumulate = accumulation();
    const std::size_t rowLength = std::size_t(width) * 4;
    const std::size_t tasks = (std::size_t(height) + kRowsPerTask - 1) / kRowsPerTask;
    Foundation::parallelFor(tasks, [&](std::size_t task) {
        std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(taps));
        const int y0 = int(task * kRowsPerTask), y1 = std::min(height, y0 + int(kRowsPerTask));
        for (std::size_t strip = 0; strip < rowLength; strip += kStrip) {
            const std::size_t stripEnd = std::min(rowLength, strip + kStrip);
            for (int y = y0; y < y1; ++y) {
                for (int k = 0; k < taps; ++k) {
                    rows[std::size_t(k)] = source(std::clamp(y + k - half, 0, height - 1));
                }
                accumulate(rows.data(), weights.data(), taps, strip, stripEnd, inverseDivisor, middle(y));
            }
        }
    });
    Foundation::parallelFor(tasks, [&](std::size_t task) {
        std::vector<std::uint8_t> padded((std::size_t(width) + 2 * std::size_t(half)) * 4);
        std::vector<const std::uint8_t*> rows(static_cast<std::size_t>(taps));
        const int y0 = int(task * kRowsPerTask), y1 = std::min(height, y0 + int(kRowsPerTask));
        for (int y = y0; y < y1; ++y) {
            const std::uint8_t* row = middle(y);
            for (int x = 0; x < half; ++x) {
                std::copy(row, row + 4, padded.data() + 4 * x);
                std::copy(row + rowLength - 4, row + rowLength, padded.data() + 4 * (half + width + x));
            }
            std::copy(row, row + rowLength, padded.data() + 4 * half);
            for (int k = 0; k < taps; ++k) {
                rows[std::size_t(k)] = padded.data() + 4 * k;
            }
            accumulate(rows.data(), weights.data(), taps, 0, rowLength, inverseDivisor, output(y));
        }
    });
}

// The sharp picture blurred into a new bitmap; on the vector path the first pass reads the sharp
// picture and writes the new one directly, with no copy and no full-size scratch. nullptr when
// there is no memory for it.
std::shared_ptr<Graphics::Bitmap> blurredCopy(const Graphics::Bitmap& sharp,
                                              const RUXBeautifulBlurTransformation::Kernel& kernel) {
    if (kernel.weights.size() > 1 && kernel.weights.size() % 2 == 1 && kernel.divisor > 0 &&
        vectorPathFits(kernel.weights)) {
        auto blurred = Graphics::Bitmap::create(sharp.width(), sharp.height(), sharp.format(),
                                                sharp.alphaInfo(), sharp.colorSpace());
        if (!blurred) {
            return nullptr;
        }
        Graphics::Bitmap& target = *blurred;
        auto targetRow = [&target](int y) { return target.mutableRow(y); };
        convolveExactly(
            sharp.width(), sharp.height(), [&sharp](int y) { return sharp.row(y); }, targetRow, targetRow,
            kernel.weights, 1.0f / float(kernel.divisor));
        return blurred;
    }
    auto blurred = sharp.copy();
    if (!blurred) {
        return nullptr;
    }
    // A failed pass leaves the picture as the last successful one did; the render goes on with it.
    if (auto error = RUXBeautifulBlurTransformation::convolve(*blurred, kernel);
        error != RUXBeautifulBlurTransformation::ConvolutionResult::Done) {
        Foundation::log("error from convolution %ld", static_cast<long>(error));
    }
    return blurred;
}

// The sharp picture painted over the (opaque) blurred one with opacity 1 − mask, written over the
// blurred one; each byte is read before it is written.
void blendInto(const Graphics::Bitmap& sharp, Graphics::Bitmap& blurred, const Graphics::Bitmap& mask) {
    const int width = blurred.width();
    Foundation::parallelFor(std::size_t(blurred.height()), [&](std::size_t yIndex) {
        const int y = int(yIndex);
        const std::uint8_t* s = sharp.row(y);
        const std::uint8_t* m = mask.row(y);
        std::uint8_t* out = blurred.mutableRow(y);
        for (int x = 0; x < width; ++x) {
            const int coverage = 255 - m[x];
            const int sharpAlpha = s[4 * x + 3] * coverage / 255;
            for (int c = 0; c < 3; ++c) {
                int v = (s[4 * x + c] * coverage + out[4 * x + c] * (255 - sharpAlpha) + 127) / 255;
                out[4 * x + c] = std::uint8_t(std::min(v, 255));
            }
            out[4 * x + 3] = 255;
        }
    });
}

// The circle art of a bundle at the screen's scale, read once: a full render would otherwise decode
// the file every time. A missing file is not remembered, so it is looked for again next time.
std::shared_ptr<const Graphics::BitmapImage> circleArt(const std::string& bundlePath) {
    static std::mutex mutex;
    static std::map<std::pair<std::string, double>, std::shared_ptr<const Graphics::BitmapImage>> cache;
    const auto key = std::make_pair(bundlePath, Graphics::mainScreenScale());
    {
        std::lock_guard lock(mutex);
        if (auto it = cache.find(key); it != cache.end()) {
            return it->second;
        }
    }
    std::shared_ptr<const Graphics::BitmapImage> art = RUXImageFromBundle(bundlePath, "circle", "png");
    if (art) {
        std::lock_guard lock(mutex);
        cache.emplace(key, art);
    }
    return art;
}

} // namespace

RUXBeautifulBlurTransformation::ConvolutionResult
RUXBeautifulBlurTransformation::convolve(Graphics::Bitmap& bitmap, const Kernel& kernel) {
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
        convolveExactly(
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

std::shared_ptr<Graphics::BitmapImage> RUXBeautifulBlurTransformation::imageForColor(double red, double green,
                                                                                     double blue,
                                                                                     double alpha,
                                                                                     Graphics::Size size) {
    if (!(size.width > 0 && size.height > 0)) {
        return nullptr;
    }
    auto bitmap = Graphics::Bitmap::create(int(std::ceil(size.width)), int(std::ceil(size.height)));
    if (!bitmap) {
        return nullptr;
    }
    auto byte = [alpha](double c) {
        return std::uint8_t(std::lround(std::clamp(c * alpha, 0.0, 1.0) * 255));
    };
    const std::uint8_t pixel[4] = {byte(red), byte(green), byte(blue),
                                   std::uint8_t(std::lround(std::clamp(alpha, 0.0, 1.0) * 255))};
    for (int y = 0; y < bitmap->height(); ++y) {
        std::uint8_t* row = bitmap->mutableRow(y);
        for (int x = 0; x < bitmap->width(); ++x) {
            std::copy(pixel, pixel + 4, row + 4 * x);
        }
    }
    return Graphics::BitmapImage::create(std::move(bitmap));
}

ImageEngine::ImagePtr RUXBeautifulBlurTransformation::backgroundForSize(Graphics::Size size) {
    std::lock_guard lock(m_mutex);
    auto key = std::make_pair(size.width, size.height);
    if (auto it = m_cache.find(key); it != m_cache.end()) {
        return it->second;
    }
    auto white = imageForColor(1, 1, 1, 1, size);
    if (!white) {
        return nullptr;
    }
    auto recipe = ImageEngine::Image::createWithBitmap(white->bitmap());
    m_cache.emplace(key, recipe);
    return recipe;
}

ImageEngine::ImagePtr RUXBeautifulBlurTransformation::quickResultFromImage(const ImageEngine::ImagePtr& image,
                                                                           RUXImageMetadata&) {
    if (!image) {
        return nullptr;
    }
    Graphics::Rect extent = image->extent();
    if (extent.isEmpty()) {
        return image;
    }
    const double w = extent.width(), h = extent.height();
    const Graphics::Point p = point();
    const double centerX = placeableCoordinate(p.x), centerY = RUXEngineValue(h - placeableCoordinate(p.y));
    auto gradient = RUXFilterOutput("CIRadialGradient",
                                    {{RUXFilterKey::radius0, 100.0},
                                     {RUXFilterKey::radius1, std::max(w, h)},
                                     {RUXFilterKey::center, ImageEngine::Vector::make(centerX, centerY)}});
    return RUXFilterOutput("CIBlendWithMask", {{RUXFilterKey::image, image},
                                               {RUXFilterKey::maskImage, gradient},
                                               {RUXFilterKey::backgroundImage, backgroundForSize({w, h})}});
}

std::shared_ptr<Graphics::Bitmap>
RUXBeautifulBlurTransformation::circleMask(int width, int height, Graphics::Point point,
                                           const std::shared_ptr<const Graphics::BitmapImage>& circle) {
    auto mask = Graphics::Bitmap::create(width, height, Graphics::PixelFormat::Gray8,
                                         Graphics::AlphaInfo::NoneSkipLast, Graphics::ColorSpace::DeviceGray);
    if (!mask) {
        return nullptr;
    }
    for (int y = 0; y < height; ++y) {
        std::fill(mask->mutableRow(y), mask->mutableRow(y) + width, 255);
    }
    if (!circle || !circle->bitmap()) {
        return mask;
    }
    const Graphics::Bitmap& art = *circle->bitmap();
    const Graphics::Size artSize = circle->size();
    point = {placeableCoordinate(point.x), placeableCoordinate(point.y)};
    const Graphics::Rect target =
        Graphics::Rect(point.x - artSize.width * 0.5, point.y - artSize.height * 0.5, artSize.width,
                       artSize.height)
            .insetBy(-500, -500);
    const bool gray = art.format() == Graphics::PixelFormat::Gray8;
    const bool opaque = gray || art.alphaInfo() == Graphics::AlphaInfo::NoneSkipLast;
    // One art sample as (premultiplied grey, alpha) in 0 … 1.
    auto sample = [&](int x, int y, double& level, double& alpha) {
        x = std::clamp(x, 0, art.width() - 1);
        y = std::clamp(y, 0, art.height() - 1);
        const std::uint8_t* p = art.row(y) + x * art.bytesPerPixel();
        if (gray) {
            level = p[0] / 255.0;
            alpha = 1;
            return;
        }
        level = (0.2126 * p[0] + 0.7152 * p[1] + 0.0722 * p[2]) / 255.0;
        alpha = opaque ? 1.0 : p[3] / 255.0;
    };
    // Clipped to the mask in floating point first: a circle placed far off the picture must not
    // overflow the conversion to pixel indices.
    auto clip = [](double v, int limit) { return int(std::clamp(v, 0.0, double(limit))); };
    const int x0 = clip(std::floor(target.minX()), width), x1 = clip(std::ceil(target.maxX()), width);
    const int y0 = clip(std::floor(target.minY()), height), y1 = clip(std::ceil(target.maxY()), height);
    const double sx = art.width() / target.width(), sy = art.height() / target.height();
    // Draw the art stretched into the target (top-left origin, as the mask's rows run), sampled
    // bilinearly at pixel centres and laid over the white.
    // Rows are independent, so they are drawn on the pool: this is a large part of a full-size
    // render that would otherwise run on one core.
    Foundation::parallelFor(std::size_t(std::max(0, y1 - y0)), [&](std::size_t index) {
        const int y = y0 + int(index);
        std::uint8_t* row = mask->mutableRow(y);
        const double v = (y + 0.5 - target.minY()) * sy - 0.5;
        const int v0 = int(std::floor(v));
        const double fv = v - v0;
        for (int x = x0; x < x1; ++x) {
            const double u = (x + 0.5 - target.minX()) * sx - 0.5;
            const int u0 = int(std::floor(u));
            const double fu = u - u0;
            double l00, a00, l10, a10, l01, a01, l11, a11;
            sample(u0, v0, l00, a00);
            sample(u0 + 1, v0, l10, a10);
            sample(u0, v0 + 1, l01, a01);
            sample(u0 + 1, v0 + 1, l11, a11);
            auto mix = [&](double c00, double c10, double c01, double c11) {
                return (c00 * (1 - fu) + c10 * fu) * (1 - fv) + (c01 * (1 - fu) + c11 * fu) * fv;
            };
            double alpha = mix(a00, a10, a01, a11);
            double level = mix(l00 * a00, l10 * a10, l01 * a01, l11 * a11) + (1 - alpha);
            row[x] = std::uint8_t(std::lround(std::clamp(level, 0.0, 1.0) * 255));
        }
    });
    return mask;
}

std::shared_ptr<Graphics::Bitmap> RUXBeautifulBlurTransformation::blurImage(const Graphics::Bitmap& sharp,
                                                                            const Graphics::Bitmap& blurred,
                                                                            const Graphics::Bitmap& mask) {
    const int width = blurred.width(), height = blurred.height();
    if (sharp.width() != width || sharp.height() != height || mask.width() != width ||
        mask.height() != height) {
        return nullptr;
    }
    auto result = blurred.copy();
    if (!result) {
        return nullptr;
    }
    blendInto(sharp, *result, mask);
    return result;
}

ImageEngine::ImagePtr RUXBeautifulBlurTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                      RUXImageMetadata&) {
    if (!image) {
        return nullptr;
    }
    Graphics::Rect extent = RUXPixelRectForExtent(image->extent());
    if (extent.isEmpty() || extent.isInfinite()) {
        return image;
    }
    auto context = ImageEngine::Context::create();
    auto sharp = context->createCGImage(image, extent);
    if (!sharp) {
        return image;
    }
    // The blurred picture is made from the same render rather than rendering the input twice.
    auto blurred = blurredCopy(*sharp, kernelOfSize(kernelSizeForSize(sharp->width(), sharp->height())));
    if (!blurred) {
        return image;
    }

    Graphics::Point center;
    {
        std::lock_guard lock(m_mutex);
        if (m_point.x == 0 && m_point.y == 0) {
            m_point = {sharp->width() * 0.5, sharp->height() * 0.5};
        }
        center = m_point;
    }
    auto circle = circleArt(RUXCodeBundlePath());
    auto mask = circleMask(sharp->width(), sharp->height(), center, circle);
    if (!mask) {
        return image;
    }
    if (mask->width() != blurred->width() || mask->height() != blurred->height()) {
        return image;
    }
    blendInto(*sharp, *blurred, *mask);
    auto composite = std::move(blurred);
    // The composite's pixels stand where the input's extent was.
    auto result = ImageEngine::Image::createWithBitmap(std::move(composite));
    if (result && (extent.origin.x != 0 || extent.origin.y != 0)) {
        return result->imageByApplyingTransform(
            Graphics::AffineTransform::makeTranslation(extent.origin.x, extent.origin.y));
    }
    return result;
}
