// Filters::highlightsShadows: lifts or lowers the tones above middle grey (highlights) and below it
// (shadows), each pixel by the tone of its neighbourhood, so that a dark shape on a bright ground
// moves with the shadows however small it is, while the picture's fine contrast stays.
//
// The neighbourhood's tone comes from a guided filter of the luminance with the luminance itself as
// its guide, its box means replaced by Gaussian means: across a strong edge it follows the edge
// (no halo), over texture weaker than the filter's threshold it is the local mean, and along a smooth
// ramp it is the ramp itself. A wide mask's statistics are gathered on a coarser grid, while each
// pixel's own luminance still picks its tone. Tones are the square root of the linear luminance,
// which puts middle grey (18 %) near the middle of the scale. The curve moves each tone by an amount
// read at the neighbourhood's tone, and the pixel's colour is scaled by one gain, so its ratios are
// kept.
#include <algorithm>
#include <cstdint>
#include <cstring>

#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Filters/HighlightsShadows.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
// The shared helpers come after foreach_target so that they too are compiled per instruction set.
#include "Pipeline/SimdMath-inl.h"

#ifndef IMAGEENGINE_FILTERS_HIGHLIGHTS_SHADOWS_CURVE
#define IMAGEENGINE_FILTERS_HIGHLIGHTS_SHADOWS_CURVE
namespace ImageEngine {
// The curve's constants: how far a tone moves at each end of the range, per unit of the value.
struct ToneCurve {
    float shadowScale = 0;    // shadows × strength × middle grey
    float highlightScale = 0; // highlights × strength × (1 − middle grey)
    float inverseMiddle = 1;  // 1 / middle grey
    float inverseUpper = 1;   // 1 / (1 − middle grey)
    float middle = 1;         // middle grey, where the two sides meet
};
} // namespace ImageEngine
#endif

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {

// The luminance of the straight colour, never negative, from premultiplied lanes.
HWY_INLINE V straightLuminance(D d, V r, V g, V b, V a) {
    const V sum = hn::MulAdd(hn::Set(d, 0.2126f), r,
                             hn::MulAdd(hn::Set(d, 0.7152f), g, hn::Mul(hn::Set(d, 0.0722f), b)));
    return hn::Max(hn::Mul(sum, inverseAlpha(d, a)), hn::Zero(d));
}

// The guide and its square, (tone, tone², 0, 0), for the neighbourhood means.
void toneGuide(const Simd::Lanes& lanes) {
    const D d;
    forEachVector(lanes, [&](std::size_t i) {
        const V luminance = straightLuminance(d, hn::Load(d, lanes.r + i), hn::Load(d, lanes.g + i),
                                              hn::Load(d, lanes.b + i), hn::Load(d, lanes.a + i));
        hn::Store(hn::Sqrt(luminance), d, lanes.r + i);
        hn::Store(luminance, d, lanes.g + i);
        hn::Store(hn::Zero(d), d, lanes.b + i);
        hn::Store(hn::Zero(d), d, lanes.a + i);
    });
}

// From the means of the tone and its square to the guided filter's linear coefficients (a, b, 0, 0):
// a = variance / (variance + threshold), b = mean × (1 − a).
void toneCoefficients(const Simd::Lanes& lanes, float threshold) {
    const D d;
    const V eps = hn::Set(d, threshold), one = hn::Set(d, 1.0f);
    forEachVector(lanes, [&](std::size_t i) {
        const V mean = hn::Load(d, lanes.r + i);
        const V variance = hn::Max(hn::NegMulAdd(mean, mean, hn::Load(d, lanes.g + i)), hn::Zero(d));
        const V a = hn::Div(variance, hn::Add(variance, eps));
        hn::Store(a, d, lanes.r + i);
        hn::Store(hn::Mul(mean, hn::Sub(one, a)), d, lanes.g + i);
    });
}

// The pixels of the run's vector at i moved by the curve at their neighbourhood's tone, a × tone + b
// with the means of the coefficients a and b: one gain on the colour.
HWY_INLINE void toneMapVector(D d, const Simd::Lanes& lanes, std::size_t i, V a, V b,
                              const ToneCurve& curve) {
    // Set for every vector, and hoisted out of the callers' loops once inlined (the callers pass a copy
    // of the curve that no store can change): scalable vectors cannot be kept in a structure.
    const V zero = hn::Zero(d), one = hn::Set(d, 1.0f);
    const V shadowScale = hn::Set(d, curve.shadowScale), highlightScale = hn::Set(d, curve.highlightScale);
    const V inverseMiddle = hn::Set(d, curve.inverseMiddle), inverseUpper = hn::Set(d, curve.inverseUpper);
    const V red = hn::Load(d, lanes.r + i), green = hn::Load(d, lanes.g + i), blue = hn::Load(d, lanes.b + i);
    const V tone = hn::Sqrt(straightLuminance(d, red, green, blue, hn::Load(d, lanes.a + i)));
    const V local = hn::MulAdd(a, tone, b);
    // Shadows act below middle grey, highlights above it, each read at the local tone: u goes from 0
    // at black (or white) to 1 at middle grey, and u(1 − u)² is 0 at both ends, so the curve leaves
    // black, white and middle grey. The other side's bump would be 0 at this tone, so only one is
    // computed.
    const auto below = hn::Lt(local, hn::Set(d, curve.middle));
    V u = hn::IfThenElse(below, hn::Mul(local, inverseMiddle), hn::Mul(hn::Sub(one, local), inverseUpper));
    u = hn::Min(hn::Max(u, zero), one);
    const V rest = hn::Sub(one, u);
    const V shift =
        hn::Mul(hn::IfThenElse(below, shadowScale, highlightScale), hn::Mul(u, hn::Mul(rest, rest)));
    const V moved = hn::Max(hn::Add(tone, shift), zero);
    // The luminance goes from tone² to moved²; black has no colour to scale.
    const auto lit = hn::Gt(tone, zero);
    const V ratio = hn::Div(moved, hn::IfThenElse(lit, tone, one));
    const V gain = hn::IfThenElse(lit, hn::Mul(ratio, ratio), one);
    hn::Store(hn::Mul(red, gain), d, lanes.r + i);
    hn::Store(hn::Mul(green, gain), d, lanes.g + i);
    hn::Store(hn::Mul(blue, gain), d, lanes.b + i);
}

// The first two of count interleaved pixels (a, b, ·, ·) into a and b, whole vectors at a time; the
// last, partial vector is read from a zero-padded copy, so nothing past the pixels is read and every
// value goes through the same arithmetic. body(j, a, b) gets the pixels from j on.
template <class Body>
HWY_INLINE void forEachCoefficientVector(const float* pixels, std::size_t count, Body body) {
    const D d;
    const std::size_t n = hn::Lanes(d);
    V a, b, unusedC, unusedD;
    std::size_t j = 0;
    for (; j + n <= count; j += n) {
        hn::LoadInterleaved4(d, pixels + j * 4, a, b, unusedC, unusedD);
        body(j, a, b);
    }
    if (j < count) {
        HWY_ALIGN float tail[kMaxLanes * 4] = {};
        std::memcpy(tail, pixels + j * 4, (count - j) * 4 * sizeof(float));
        hn::LoadInterleaved4(d, tail, a, b, unusedC, unusedD);
        body(j, a, b);
    }
}

// The run with its coefficients read one per pixel from side, at the picture's own resolution.
void toneMapFine(const Simd::Lanes& lanes, const float* side, const ToneCurve& given) {
    const D d;
    const ToneCurve curve = given;
    // The lanes past count hold zeros, and so do the padded coefficients read for them.
    forEachCoefficientVector(side, lanes.count,
                             [&](std::size_t i, V a, V b) { toneMapVector(d, lanes, i, a, b, curve); });
}

// Where count pixels from column x read a grid factor times coarser, whose columns from first on
// the run reads (at most Simd::kRunPixels / factor + 3 of them): for each vector of pixels, the
// coarse column its first lane starts from (in starts), each lane's offset from it (in offsets) and
// its weight towards the next column (in weights, whole vectors' worth). The same for every coarse
// row, so it is worked out once per run.
void gridColumns(int first, int columns, int x, std::size_t count, int factor, std::int32_t* starts,
                 std::int32_t* offsets, float* weights) {
    const D d;
    const DI di;
    const std::size_t n = hn::Lanes(d);
    const float inverse = 1.0f / static_cast<float>(factor);
    const V half = hn::Set(d, 0.5f), scale = hn::Set(d, inverse);
    const V lowest = hn::Set(d, static_cast<float>(first));
    const V highest = hn::Set(d, static_cast<float>(first + columns - 2));
    const V step = hn::Set(d, static_cast<float>(n));
    V position = hn::Iota(d, static_cast<float>(x));
    for (std::size_t i = 0; i < count; i += n, position = hn::Add(position, step)) {
        // The position in coarse pixels, whose whole part is the coarse column at or before the
        // centre (kept inside the row where rounding strays at an edge) and fraction the weight.
        const V t = hn::Sub(hn::Mul(hn::Add(position, half), scale), half);
        const V column = hn::Min(hn::Max(hn::Floor(t), lowest), highest);
        const int start = static_cast<int>(hn::GetLane(column)) - first;
        starts[i / n] = start;
        hn::Store(hn::Sub(hn::ConvertTo(di, column), hn::Set(di, first + start)), di, offsets + i);
        hn::Store(hn::Sub(t, column), d, weights + i);
    }
}

// One row of the coarse grid interpolated along it at the centres of count pixels, at the columns
// gridColumns gave: row holds the grid's pixels (a, b, ·, ·) from the run's first coarse column on,
// columns of them, and a and b receive count values, then whatever fills the last vector. A vector of
// pixels spans fewer coarse columns than it has lanes, so the pairs around each pixel come from two
// shifted loads and a permute, without gathers.
void interpolateGridRow(const float* row, int columns, std::size_t count, const std::int32_t* starts,
                        const std::int32_t* offsets, const float* weights, float* a, float* b) {
    const D d;
    const DI di;
    const std::size_t n = hn::Lanes(d);
    // Past the last column, zeros that the shifted loads may read.
    HWY_ALIGN float rowA[Simd::kRunPixels + 3 + 2 * kMaxLanes], rowB[Simd::kRunPixels + 3 + 2 * kMaxLanes];
    forEachCoefficientVector(row, static_cast<std::size_t>(columns), [&](std::size_t j, V a0, V b0) {
        hn::Store(a0, d, rowA + j);
        hn::Store(b0, d, rowB + j);
    });
    std::fill(rowA + columns, rowA + columns + 2 * n, 0.0f);
    std::fill(rowB + columns, rowB + columns + 2 * n, 0.0f);
    for (std::size_t i = 0; i < count; i += n) {
        const int start = starts[i / n];
        const auto indices = hn::IndicesFromVec(d, hn::Load(di, offsets + i));
        const V fx = hn::Load(d, weights + i);
        const V a0 = hn::TableLookupLanes(hn::LoadU(d, rowA + start), indices);
        const V a1 = hn::TableLookupLanes(hn::LoadU(d, rowA + start + 1), indices);
        const V b0 = hn::TableLookupLanes(hn::LoadU(d, rowB + start), indices);
        const V b1 = hn::TableLookupLanes(hn::LoadU(d, rowB + start + 1), indices);
        hn::StoreU(hn::MulAdd(hn::Sub(a1, a0), fx, a0), d, a + i);
        hn::StoreU(hn::MulAdd(hn::Sub(b1, b0), fx, b0), d, b + i);
    }
}

// The run with its coefficients between two rows of them already interpolated along the picture's
// rows, one value per pixel of the run (and whole vectors' worth): lowA and lowB above the run's
// centres, highA and highB below, fy the weight of the lower ones.
void toneMapBetweenRows(const Simd::Lanes& lanes, const float* lowA, const float* lowB, const float* highA,
                        const float* highB, float fy, const ToneCurve& given) {
    const D d;
    const ToneCurve curve = given;
    const V weight = hn::Set(d, fy);
    forEachVector(lanes, [&](std::size_t i) {
        const V a0 = hn::LoadU(d, lowA + i), a1 = hn::LoadU(d, highA + i);
        const V b0 = hn::LoadU(d, lowB + i), b1 = hn::LoadU(d, highB + i);
        toneMapVector(d, lanes, i, hn::MulAdd(hn::Sub(a1, a0), weight, a0),
                      hn::MulAdd(hn::Sub(b1, b0), weight, b0), curve);
    });
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "Filters/Nodes.h"
#include "Pipeline/PointNode.h"

#include <Foundation/Log.h>
#include <algorithm>
#include <cmath>

namespace ImageEngine {

HWY_EXPORT(toneGuide);
HWY_EXPORT(toneCoefficients);
HWY_EXPORT(toneMapFine);
HWY_EXPORT(gridColumns);
HWY_EXPORT(interpolateGridRow);
HWY_EXPORT(toneMapBetweenRows);

namespace {

// Middle grey (18 % linear) as a tone.
const float kMiddleTone = std::sqrt(0.18f);
// The guided filter's threshold, in squared tone: texture whose tone varies by less than about 0.1
// (a tenth of the scale) is averaged into the neighbourhood's tone; stronger edges are followed.
constexpr float kEdgeThreshold = 0.01f;
// How far the curve may move a tone, per unit of the value, in each direction. The curve's slope is
// 1 + strength × the bump's slope (1 at the fixed end, −1/3 at its steepest fall), so these keep it
// at 1/5 or more: two tones along a ramp never change places.
constexpr float kTowardsFixedEnd = 0.8f;  // shadows darkened, highlights brightened
constexpr float kAwayFromFixedEnd = 2.0f; // shadows lifted, highlights lowered
// The widest mask, in pixels, gathered at the picture's own resolution.
constexpr double kCoarseRadius = 2.5;

class ToneGuideKernel final : public PointKernel {
public:
    void apply(const Simd::Lanes& lanes) const override { HWY_DYNAMIC_DISPATCH(toneGuide)(lanes); }
    bool describe(ContentKey&) const override { return true; }
};

class ToneCoefficientKernel final : public PointKernel {
public:
    void apply(const Simd::Lanes& lanes) const override {
        HWY_DYNAMIC_DISPATCH(toneCoefficients)(lanes, kEdgeThreshold);
    }
    bool describe(ContentKey&) const override { return true; }
};

// The mean of each factor × factor block of the input: pixel (X, Y) covers input pixels [fX, fX + f)
// × [fY, fY + f). The guide's statistics are smooth at the mask's scale, so they are gathered on
// this coarser grid, where the blurs cost a factor² less.
class BlockMeanNode final : public Node {
public:
    BlockMeanNode(const NodePtr& input, int factor)
        : Node(coarseExtent(input->extent(), factor), {input}), m_factor(factor) {}

    bool describe(ContentKey& key) const override {
        key.add(m_factor);
        return true;
    }

    PixelRect regionOfInterest(std::size_t, const PixelRect& rect) const override {
        return {rect.x * m_factor, rect.y * m_factor, rect.w * m_factor, rect.h * m_factor};
    }

    void render(const PixelSpan& out, RenderState& state) const override {
        // The input is fetched in pieces of about kPieceSize × kPieceSize of its pixels, whole
        // blocks each, so that a piece stays in the cache while it is summed, an input that reads a
        // margin repeats little of it, and a turned source read across its rows touches few of them.
        const int rows = std::max(1, kPieceSize / m_factor), columns = std::max(1, kPieceSize / m_factor);
        ScratchPool::Buffer rowBuffer(state.scratch(), static_cast<std::size_t>(columns * m_factor) * 4);
        for (int y = out.rect.y; y < out.rect.maxY(); y += rows) {
            for (int x = out.rect.x; x < out.rect.maxX(); x += columns) {
                const PixelRect blocks = PixelRect{x, y, columns, rows}.intersection(out.rect);
                std::unique_ptr<ScratchPool::Buffer> holder;
                const PixelSpan source = state.fetchInput(*inputs()[0], regionOfInterest(0, blocks), holder);
                sumBlocks(source, blocks, rowBuffer.data(), out);
            }
        }
    }

    static Graphics::Rect coarseExtent(const Graphics::Rect& extent, int factor) {
        if (extent.isInfinite() || extent.isNull())
            return extent;
        return Graphics::Rect(extent.minX() / factor, extent.minY() / factor, extent.width() / factor,
                              extent.height() / factor);
    }

private:
    static constexpr int kPieceSize = 64;

    // The means of the blocks of rect into out, from source: each block's rows summed first, along
    // the piece's whole rows (in sums), then its columns.
    void sumBlocks(const PixelSpan& source, const PixelRect& rect, float* sums, const PixelSpan& out) const {
        const float scale = 1.0f / static_cast<float>(m_factor * m_factor);
        const std::size_t floats = static_cast<std::size_t>(rect.w * m_factor) * 4;
        for (int y = rect.y; y < rect.maxY(); ++y) {
            std::fill(sums, sums + floats, 0.0f);
            for (int j = 0; j < m_factor; ++j) {
                const float* s = source.at(rect.x * m_factor, y * m_factor + j);
                for (std::size_t i = 0; i < floats; ++i)
                    sums[i] += s[i];
            }
            float* o = out.at(rect.x, y);
            for (int x = 0; x < rect.w; ++x) {
                const float* block = sums + static_cast<std::size_t>(x * m_factor) * 4;
                float r = 0, g = 0, b = 0, a = 0;
                for (int i = 0; i < m_factor; ++i) {
                    r += block[4 * i];
                    g += block[4 * i + 1];
                    b += block[4 * i + 2];
                    a += block[4 * i + 3];
                }
                o[x * 4] = r * scale;
                o[x * 4 + 1] = g * scale;
                o[x * 4 + 2] = b * scale;
                o[x * 4 + 3] = a * scale;
            }
        }
    }

    int m_factor;
};

// Each pixel moved by the curve at the tone its smoothed coefficients give, a step of the per-pixel
// chain; the coefficients come from a grid factor times coarser, read bilinearly at each pixel's
// centre.
class ToneMapKernel final : public SideInputKernel {
public:
    ToneMapKernel(const NodePtr& coefficients, const ToneCurve& curve, int factor)
        : m_coefficients(coefficients), m_curve(curve), m_factor(factor) {}

    const NodePtr& sideInput() const override { return m_coefficients; }

    bool describe(ContentKey& key) const override {
        for (float value : {m_curve.shadowScale, m_curve.highlightScale, m_curve.inverseMiddle,
                            m_curve.inverseUpper, m_curve.middle})
            key.add(value);
        key.add(m_factor);
        return true;
    }

    PixelRect sideRegion(const PixelRect& rect) const override {
        if (m_factor == 1)
            return rect;
        const int x0 = coarse(rect.x), y0 = coarse(rect.y);
        return {x0, y0, coarse(rect.maxX() - 1) + 2 - x0, coarse(rect.maxY() - 1) + 2 - y0};
    }

    // On a coarser grid, the coefficients of every coarse row the rect reads, interpolated along it at
    // the centres of the rect's columns: once per rect rather than once for each of the factor rows
    // of pixels that read it. Row Y of the span holds the a of each column, then, half a stride on,
    // the b.
    PixelSpan prepareSide(const PixelRect& rect, const PixelSpan& side, ScratchPool& scratch,
                          std::unique_ptr<ScratchPool::Buffer>& holder) const override {
        if (m_factor == 1)
            return side;
        const int y0 = coarse(rect.y), rows = coarse(rect.maxY() - 1) + 2 - y0;
        // Whole vectors of the widest instruction set past the last column, so that every row
        // starts aligned and the runs' last vectors read numbers.
        const std::size_t width = (static_cast<std::size_t>(rect.w) + 15) / 16 * 16 + kVectorPadding;
        holder = std::make_unique<ScratchPool::Buffer>(scratch, static_cast<std::size_t>(rows) * 2 * width);
        const PixelSpan prepared{holder->data(), 2 * width, PixelRect{rect.x, y0, rect.w, rows}};
        // In the runs' own pieces, so each coarse column is clamped as its run's; where a run's pixels
        // fall between the coarse columns is the same on every coarse row.
        alignas(64) std::int32_t starts[Simd::kRunPixels], offsets[Simd::kRunPixels + kVectorPadding];
        alignas(64) float weights[Simd::kRunPixels + kVectorPadding];
        for (int start = 0; start < rect.w; start += static_cast<int>(Simd::kRunPixels)) {
            const int x = rect.x + start;
            const std::size_t count =
                static_cast<std::size_t>(std::min(static_cast<int>(Simd::kRunPixels), rect.w - start));
            const int first = coarse(x), columns = coarse(x + static_cast<int>(count) - 1) + 2 - first;
            HWY_DYNAMIC_DISPATCH(gridColumns)(first, columns, x, count, m_factor, starts, offsets, weights);
            for (int y = y0; y < y0 + rows; ++y) {
                float* a = prepared.row(y);
                HWY_DYNAMIC_DISPATCH(interpolateGridRow)
                (side.at(first, y), columns, count, starts, offsets, weights, a + start, a + width + start);
            }
        }
        for (int y = y0; y < y0 + rows; ++y) {
            float* a = prepared.row(y);
            std::fill(a + rect.w, a + width, 0.0f);
            std::fill(a + width + rect.w, a + 2 * width, 0.0f);
        }
        return prepared;
    }

    void applyWithSide(const Simd::Lanes& lanes, const PixelSpan& side) const override {
        if (m_factor == 1) {
            HWY_DYNAMIC_DISPATCH(toneMapFine)(lanes, side.at(lanes.x, lanes.y), m_curve);
            return;
        }
        // Between the two prepared rows around the run's centres.
        const float inverse = 1.0f / static_cast<float>(m_factor);
        const int y0 = coarse(lanes.y);
        const float fy = (static_cast<float>(lanes.y) + 0.5f) * inverse - 0.5f - static_cast<float>(y0);
        const std::size_t offset = static_cast<std::size_t>(lanes.x - side.rect.x), half = side.stride / 2;
        const float* low = side.row(y0) + offset;
        const float* high = side.row(y0 + 1) + offset;
        HWY_DYNAMIC_DISPATCH(toneMapBetweenRows)(lanes, low, low + half, high, high + half, fy, m_curve);
    }

private:
    // More floats than the widest vector holds.
    static constexpr std::size_t kVectorPadding = 64;
    // The coarse pixel whose centre is at or before the centre of pixel v.
    int coarse(int v) const {
        return static_cast<int>(std::floor((static_cast<double>(v) + 0.5) / m_factor - 0.5));
    }

    NodePtr m_coefficients;
    ToneCurve m_curve;
    int m_factor;
};

class HighlightsShadowsFilter final : public EngineFilter {
public:
    HighlightsShadowsFilter() : EngineFilter(Filters::highlightsShadows) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::image, InputKind::Image, ImagePtr{}, {},
                     "the picture to adjust; nil gives a nil output");
        declareInput(Inputs::highlights, InputKind::Number, 0.0, {-1, 1},
                     "lifts (positive) or lowers (negative) the tones above middle grey; held at ±1 beyond, "
                     "where the curve would fold back");
        declareInput(Inputs::shadows, InputKind::Number, 0.0, {-1, 1},
                     "lifts (positive) or lowers (negative) the tones below middle grey; held at ±1 beyond");
        declareInput(Inputs::radius, InputKind::Number, 10.0, {0.01, 100},
                     "the standard deviation in pixels of the neighbourhood whose tone moves a pixel; "
                     "the picture's edges repeat beyond it");
    }
    ImagePtr build() const override {
        NodePtr input = nodeOf(imageInput(Inputs::image));
        if (!input)
            return nullptr;
        const double highlights = numberInput(Inputs::highlights), shadows = numberInput(Inputs::shadows);
        const double radius = numberInput(Inputs::radius);
        if (!std::isfinite(highlights) || !std::isfinite(shadows) || !std::isfinite(radius)) {
            Foundation::log("ImageEngine: %s takes finite numbers", name().c_str());
            return nullptr;
        }
        // Neither side moves: the picture as it is, to the byte.
        if (highlights == 0 && shadows == 0)
            return imageWithNode(input);
        const float h = static_cast<float>(std::clamp(highlights, -1.0, 1.0));
        const float s = static_cast<float>(std::clamp(shadows, -1.0, 1.0));
        ToneCurve curve;
        curve.shadowScale = s * (s > 0 ? kAwayFromFixedEnd : kTowardsFixedEnd) * kMiddleTone;
        curve.highlightScale = h * (h > 0 ? kTowardsFixedEnd : kAwayFromFixedEnd) * (1 - kMiddleTone);
        curve.inverseMiddle = 1 / kMiddleTone;
        curve.inverseUpper = 1 / (1 - kMiddleTone);
        curve.middle = kMiddleTone;
        // The means near the picture's border see its edge pixels repeated, not transparent black.
        // The guide is a per-pixel step, so it joins the chain the input may end in, and its edges
        // are repeated after it.
        NodePtr guide = makeEdgeClampNode(appendPointKernel(input, std::make_shared<ToneGuideKernel>()));
        // A mask wider than kCoarseRadius pixels is gathered on a grid as many times coarser as
        // leaves it between kCoarseRadius and twice that there: the tone follows each pixel's own
        // luminance, so only the smooth statistics lose resolution.
        const int factor = std::max(1, static_cast<int>(std::min(radius, 100.0) / kCoarseRadius));
        // The coarse grid is computed once per render, for every tile to read: tile by tile, each
        // would gather its blurs' reach around it again. A per-pixel grid stays tile by tile.
        if (factor > 1)
            guide = makeRenderWideNode(std::make_shared<BlockMeanNode>(guide, factor));
        const double coarseRadius = radius / factor;
        NodePtr coefficients = std::make_shared<PointNode>(
            makeGaussianBlurNode(guide, coarseRadius),
            std::vector<PointKernelPtr>{std::make_shared<ToneCoefficientKernel>()});
        NodePtr smoothed = makeGaussianBlurNode(coefficients, coarseRadius);
        if (factor > 1)
            smoothed = makeRenderWideNode(smoothed);
        // Applied as a step of the per-pixel chain the input may end in, so the steps before and
        // after it run in the same pass.
        return imageWithNode(
            appendPointKernel(input, std::make_shared<ToneMapKernel>(smoothed, curve, factor)));
    }
};

} // namespace

std::shared_ptr<Filter> makeHighlightsShadowsFilter() {
    return makePreparedFilter<HighlightsShadowsFilter>();
}

} // namespace ImageEngine
#endif
