// Filters::affineTransform: the input mapped through a matrix about the origin.
// Sampling is bilinear, and exact (a copy) for quarter turns, mirrors and whole-pixel moves, whose
// pixel centres land on pixel centres. The output covers the bounding box of the mapped extent.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Filters/AffineTransform.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// One output row of a bilinear map without rotation: pixel i blends source columns offsets[i] and
// offsets[i] + 4 (offsets in floats) of the two rows by weights[i], then the rows by rowWeight.
void bilinearRow(const float* bottom, const float* top, const std::int32_t* offsets, const float* weights,
                 float rowWeight, std::size_t count, float* rgba) {
    // One pixel's four channels per vector (fewer on targets without 128-bit vectors): the taps
    // are scattered, so wider vectors would only add shuffles.
    const hn::CappedTag<float, 4> d;
    const std::size_t n = hn::Lanes(d);
    const auto wy = hn::Set(d, rowWeight);
    for (std::size_t i = 0; i < count; ++i) {
        const auto wx = hn::Set(d, weights[i]);
        for (std::size_t c = 0; c < 4; c += n) {
            const float* b = bottom + offsets[i] + c;
            const float* t = top + offsets[i] + c;
            const auto b0 = hn::LoadU(d, b), t0 = hn::LoadU(d, t);
            const auto low = hn::MulAdd(hn::Sub(hn::LoadU(d, b + 4), b0), wx, b0);
            const auto high = hn::MulAdd(hn::Sub(hn::LoadU(d, t + 4), t0), wx, t0);
            hn::StoreU(hn::MulAdd(hn::Sub(high, low), wy, low), d, rgba + i * 4 + c);
        }
    }
}

// One output row of a bilinear map with rotation or shear: pixel i blends the source pixel at
// offsets[i] (in floats) with the one to its right, and the two above them (rowStride floats on),
// by weightsX[i] across and weightsY[i] up. Pixels with a negative offset are left as they are
// (the caller fills those, whose taps fall outside the source).
void bilinearGatherRow(const float* source, std::ptrdiff_t rowStride, const std::ptrdiff_t* offsets,
                       const float* weightsX, const float* weightsY, std::size_t count, float* rgba) {
    const hn::CappedTag<float, 4> d;
    const std::size_t n = hn::Lanes(d);
    for (std::size_t i = 0; i < count; ++i) {
        if (offsets[i] < 0)
            continue;
        const auto wx = hn::Set(d, weightsX[i]), wy = hn::Set(d, weightsY[i]);
        for (std::size_t c = 0; c < 4; c += n) {
            const float* b = source + offsets[i] + c;
            const float* t = b + rowStride;
            const auto b0 = hn::LoadU(d, b), t0 = hn::LoadU(d, t);
            const auto low = hn::MulAdd(hn::Sub(hn::LoadU(d, b + 4), b0), wx, b0);
            const auto high = hn::MulAdd(hn::Sub(hn::LoadU(d, t + 4), t0), wx, t0);
            hn::StoreU(hn::MulAdd(hn::Sub(high, low), wy, low), d, rgba + i * 4 + c);
        }
    }
}

// The lower-left taps and weights of count output pixels of row y from column x through the inverse
// matrix m = (a, b, c, d, tx, ty), each position from its own pixel centre in double precision with
// every product rounded before it is added (this file is compiled without fused multiply-adds), so
// that each lane gives the position the plain formula a·x + c·y + tx gives. Columns and rows are
// counted from source's corner (sourceX, sourceY), the column −1 where a tap of the four falls
// outside the source's columns [sourceX, sourceMaxX) or rows [sourceY, sourceMaxY). The arrays are
// padded to a whole vector of doubles.
void bilinearTaps(const double* m, int x, int y, std::size_t count, const int* source, std::int32_t* columns,
                  std::int32_t* rows, float* weightsX, float* weightsY) {
    const hn::ScalableTag<double> d;
    const hn::Rebind<std::int32_t, decltype(d)> di;
    const hn::Rebind<float, decltype(d)> df;
    const double py = static_cast<double>(y) + 0.5;
    // The products with the row's centre are the same in every lane.
    const auto cy = hn::Set(d, m[2] * py), dy = hn::Set(d, m[3] * py);
    const auto a = hn::Set(d, m[0]), b = hn::Set(d, m[1]), tx = hn::Set(d, m[4]), ty = hn::Set(d, m[5]);
    const auto half = hn::Set(d, 0.5), one = hn::Set(d, 1.0);
    const auto lowX = hn::Set(d, source[0]), lowY = hn::Set(d, source[1]);
    const auto highX = hn::Set(d, source[2]), highY = hn::Set(d, source[3]);
    const auto outside = hn::Set(d, -1.0);
    for (std::size_t i = 0; i < count; i += hn::Lanes(d)) {
        const auto px = hn::Add(hn::Iota(d, static_cast<double>(x) + static_cast<double>(i)), half);
        const auto fx = hn::Sub(hn::Add(hn::Add(hn::Mul(a, px), cy), tx), half);
        const auto fy = hn::Sub(hn::Add(hn::Add(hn::Mul(b, px), dy), ty), half);
        const auto floorX = hn::Floor(fx), floorY = hn::Floor(fy);
        const auto inside = hn::And(hn::And(hn::Ge(floorX, lowX), hn::Lt(hn::Add(floorX, one), highX)),
                                    hn::And(hn::Ge(floorY, lowY), hn::Lt(hn::Add(floorY, one), highY)));
        hn::StoreU(hn::DemoteTo(di, hn::IfThenElse(inside, hn::Sub(floorX, lowX), outside)), di, columns + i);
        hn::StoreU(hn::DemoteTo(di, hn::IfThenElse(inside, hn::Sub(floorY, lowY), hn::Zero(d))), di,
                   rows + i);
        hn::StoreU(hn::DemoteTo(df, hn::Sub(fx, floorX)), df, weightsX + i);
        hn::StoreU(hn::DemoteTo(df, hn::Sub(fy, floorY)), df, weightsY + i);
    }
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "Filters/Nodes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace ImageEngine {

HWY_EXPORT(bilinearRow);
HWY_EXPORT(bilinearGatherRow);
HWY_EXPORT(bilinearTaps);

namespace {

// The kernels above on the widest instruction set this processor runs.
void blendRow(const float* bottom, const float* top, const std::int32_t* offsets, const float* weights,
              float rowWeight, std::size_t count, float* rgba) {
    HWY_DYNAMIC_DISPATCH(bilinearRow)(bottom, top, offsets, weights, rowWeight, count, rgba);
}
void blendGatheredRow(const float* source, std::ptrdiff_t rowStride, const std::ptrdiff_t* offsets,
                      const float* weightsX, const float* weightsY, std::size_t count, float* rgba) {
    HWY_DYNAMIC_DISPATCH(bilinearGatherRow)(source, rowStride, offsets, weightsX, weightsY, count, rgba);
}

static_assert(kMaxDoubleLanes >= HWY_MAX_BYTES / sizeof(double),
              "the taps' padding covers the widest vector");

class AffineNode final : public Node {
public:
    AffineNode(const NodePtr& input, const Graphics::AffineTransform& transform,
               const Graphics::AffineTransform& inverse)
        : Node(transform.applyToRect(input->extent()), {input}), m_transform(transform), m_inverse(inverse),
          m_exact(mapsPixelCentresOntoCentres(transform)), m_axisAligned(inverse.b == 0 && inverse.c == 0) {}

    const Graphics::AffineTransform& transform() const { return m_transform; }
    // Turned or sheared: every pixel is blended from taps gathered along a slanted line.
    bool isRotated() const { return !m_exact && !m_axisAligned; }

    bool describe(ContentKey& key) const override {
        key.add(m_inverse);
        key.add(m_exact);
        return true;
    }

    PixelRect regionOfInterest(std::size_t, const PixelRect& rect) const override {
        Graphics::Rect mapped = m_inverse.applyToRect(Graphics::Rect(rect.x, rect.y, rect.w, rect.h));
        PixelRect bounds = pixelBounds(mapped);
        if (m_exact)
            return bounds;
        // Bilinear taps reach half a pixel beyond the mapped centres; taps outside the input are
        // transparent, so nothing past its bounds is fetched (under a tiny scale the mapped tile
        // would otherwise cover billions of pixels).
        PixelRect reach = bounds.grownBy(1).intersection(inputs()[0]->bounds().grownBy(1));
        return reach.isEmpty() ? PixelRect{bounds.x, bounds.y, 1, 1} : reach;
    }

    void render(const PixelSpan& out, RenderState& state) const override {
        PixelRect sourceRect = regionOfInterest(0, out.rect);
        std::unique_ptr<ScratchPool::Buffer> buffer;
        const PixelSpan source = state.fetchInput(*inputs()[0], sourceRect, buffer);
        if (m_exact)
            renderExact(source, out);
        else if (m_axisAligned)
            renderAxisAligned(source, out);
        else
            renderRotated(source, out);
    }

private:
    // Pixel copies: a step right or up in the output is a whole-pixel step in x or y of the source.
    void renderExact(const PixelSpan& source, const PixelSpan& out) const {
        const Graphics::AffineTransform& m = m_inverse;
        const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(source.stride);
        const std::ptrdiff_t stepX =
            static_cast<std::ptrdiff_t>(m.a) * 4 + static_cast<std::ptrdiff_t>(m.b) * stride;
        const std::ptrdiff_t stepY =
            static_cast<std::ptrdiff_t>(m.c) * 4 + static_cast<std::ptrdiff_t>(m.d) * stride;
        Graphics::Point first = m.applyToPoint({out.rect.x + 0.5, out.rect.y + 0.5});
        const float* origin =
            source.at(static_cast<int>(std::floor(first.x)), static_cast<int>(std::floor(first.y)));
        const std::size_t width = static_cast<std::size_t>(out.rect.w);
        if (stepX == 4 || stepX == -4) {
            for (int row = 0; row < out.rect.h; ++row) {
                const float* s = origin + row * stepY;
                float* pixel = out.row(out.rect.y + row);
                if (stepX == 4) {
                    std::memcpy(pixel, s, width * 4 * sizeof(float));
                    continue;
                }
                for (std::size_t x = 0; x < width; ++x, pixel += 4, s -= 4)
                    std::memcpy(pixel, s, 4 * sizeof(float));
            }
            return;
        }
        // A quarter turn: output rows run along source columns. Going down a band of output rows
        // for each column reads a short run of one source row and writes every output row of the
        // band in order, so both sides stay in cache lines already loaded.
        constexpr int kBand = 8;
        for (int band = 0; band < out.rect.h; band += kBand) {
            const int rows = std::min(kBand, out.rect.h - band);
            float* targets[kBand];
            for (int r = 0; r < rows; ++r)
                targets[r] = out.row(out.rect.y + band + r);
            const float* column = origin + band * stepY;
            for (std::size_t x = 0; x < width; ++x, column += stepX)
                for (int r = 0; r < rows; ++r)
                    std::memcpy(targets[r] + x * 4, column + r * stepY, 4 * sizeof(float));
        }
    }

    // Scales and moves: the taps and weights of a column are the same on every row, so they are
    // worked out once per tile. Each position comes from its own pixel centre, never by stepping
    // from the tile's edge, so a pixel's value does not depend on where the tiles fall.
    void renderAxisAligned(const PixelSpan& source, const PixelSpan& out) const {
        const Graphics::AffineTransform& m = m_inverse;
        const PixelRect& r = source.rect;
        thread_local std::vector<std::int32_t> offsets;
        thread_local std::vector<float> weights;
        offsets.resize(static_cast<std::size_t>(out.rect.w));
        weights.resize(static_cast<std::size_t>(out.rect.w));
        for (int x = 0; x < out.rect.w; ++x) {
            double fx = m.a * (out.rect.x + x + 0.5) + m.tx - 0.5, floorX = std::floor(fx);
            // The region of interest holds every tap; the clamp only guards against rounding.
            int x0 = std::clamp(static_cast<int>(floorX), r.x, r.maxX() - 2);
            offsets[static_cast<std::size_t>(x)] = (x0 - r.x) * 4;
            weights[static_cast<std::size_t>(x)] = static_cast<float>(fx - floorX);
        }
        for (int y = out.rect.y; y < out.rect.maxY(); ++y) {
            double fy = m.d * (y + 0.5) + m.ty - 0.5, floorY = std::floor(fy);
            int y0 = std::clamp(static_cast<int>(floorY), r.y, r.maxY() - 2);
            blendRow(source.row(y0), source.row(y0 + 1), offsets.data(), weights.data(),
                     static_cast<float>(fy - floorY), static_cast<std::size_t>(out.rect.w), out.row(y));
        }
    }

    // Each position comes from its own pixel centre in double precision, as on the scalar path; the
    // blends of the pixels whose four taps lie in the source run as vectors, the few at its edge
    // (where rounding of the mapped rect left a tap outside) one channel at a time.
    void renderRotated(const PixelSpan& source, const PixelSpan& out) const {
        const Graphics::AffineTransform& m = m_inverse;
        const PixelRect& r = source.rect;
        const std::size_t width = static_cast<std::size_t>(out.rect.w);
        // The taps are worked out a vector at a time, so their arrays are padded by the widest one.
        const std::size_t padded = width + kMaxDoubleLanes;
        thread_local std::vector<std::ptrdiff_t> offsets;
        thread_local std::vector<std::int32_t> columns, rows;
        thread_local std::vector<float> weightsX, weightsY;
        offsets.resize(width);
        columns.resize(padded);
        rows.resize(padded);
        weightsX.resize(padded);
        weightsY.resize(padded);
        for (int y = out.rect.y; y < out.rect.maxY(); ++y) {
            float* row = out.row(y);
            bilinearTaps(m, out.rect.x, y, width, r, columns.data(), rows.data(), weightsX.data(),
                         weightsY.data());
            for (std::size_t i = 0; i < width; ++i) {
                if (columns[i] >= 0) {
                    offsets[i] =
                        static_cast<std::ptrdiff_t>(rows[i]) * static_cast<std::ptrdiff_t>(source.stride) +
                        static_cast<std::ptrdiff_t>(columns[i]) * 4;
                    continue;
                }
                // A tap outside the source (rare: rounding at the mapped rect's edge).
                Graphics::Point q = m.applyToPoint({out.rect.x + static_cast<double>(i) + 0.5, y + 0.5});
                offsets[i] = -1;
                sample(source, q.x - 0.5, q.y - 0.5, row + i * 4);
            }
            blendGatheredRow(source.data, static_cast<std::ptrdiff_t>(source.stride), offsets.data(),
                             weightsX.data(), weightsY.data(), width, row);
        }
    }

    static void sample(const PixelSpan& source, double fx, double fy, float* pixel) {
        double floorX = std::floor(fx), floorY = std::floor(fy);
        int x0 = static_cast<int>(floorX), y0 = static_cast<int>(floorY);
        float wx = static_cast<float>(fx - floorX), wy = static_cast<float>(fy - floorY);
        const PixelRect& r = source.rect;
        // Rounding of the mapped rect may leave a tap just outside; those count as transparent.
        auto tap = [&](int x, int y, int c) {
            return (x < r.x || y < r.y || x >= r.maxX() || y >= r.maxY()) ? 0.0f : source.at(x, y)[c];
        };
        for (int c = 0; c < 4; ++c) {
            float bottom = tap(x0, y0, c) + (tap(x0 + 1, y0, c) - tap(x0, y0, c)) * wx;
            float top = tap(x0, y0 + 1, c) + (tap(x0 + 1, y0 + 1, c) - tap(x0, y0 + 1, c)) * wx;
            pixel[c] = bottom + (top - bottom) * wy;
        }
    }

    Graphics::AffineTransform m_transform;
    Graphics::AffineTransform m_inverse;
    bool m_exact;
    bool m_axisAligned;
};

class AffineTransformFilter final : public EngineFilter {
public:
    AffineTransformFilter() : EngineFilter(Filters::affineTransform) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::image, InputKind::Image, ImagePtr{}, {},
                     "the picture to map; nil gives a nil output");
        declareInput(Inputs::transform, InputKind::Transform, Graphics::AffineTransform::identity(), {},
                     "the matrix; a singular one leaves nothing to see (empty)");
    }
    ImagePtr build() const override {
        return imageWithNode(
            makeAffineNode(nodeOf(imageInput(Inputs::image)), transformInput(Inputs::transform)));
    }
};

} // namespace

void bilinearTaps(const Graphics::AffineTransform& inverse, int x, int y, std::size_t count,
                  const PixelRect& source, std::int32_t* columns, std::int32_t* rows, float* weightsX,
                  float* weightsY) {
    const double matrix[6] = {inverse.a, inverse.b, inverse.c, inverse.d, inverse.tx, inverse.ty};
    const int bounds[4] = {source.x, source.y, source.maxX(), source.maxY()};
    HWY_DYNAMIC_DISPATCH(bilinearTaps)(matrix, x, y, count, bounds, columns, rows, weightsX, weightsY);
}

NodePtr makeAffineNode(const NodePtr& input, const Graphics::AffineTransform& given) {
    if (!input)
        return nullptr;
    // A turn or mirror carrying rounding residues is rendered, and its extent computed, as the exact
    // one it stands for, so it copies pixels instead of resampling them.
    const Graphics::AffineTransform transform = snappedToPixelGrid(given).value_or(given);
    if (transform.isIdentity())
        return input;
    if (NodePtr folded = foldTransformIntoSource(input, transform))
        return folded;
    if (NodePtr folded = foldTransformIntoResampling(input, transform))
        return folded;
    std::optional<Graphics::AffineTransform> inverse = transform.inverted();
    if (!inverse) {
        // A singular matrix squashes the image onto a line: nothing is left to see.
        return makeCropNode(input, Graphics::Rect::null());
    }
    return std::make_shared<AffineNode>(input, transform, *inverse);
}

NodePtr foldTransformIntoResampling(const NodePtr& input, const Graphics::AffineTransform& transform) {
    if (!mapsPixelCentresOntoCentres(transform))
        return nullptr;
    // The crops over the resampling, outermost first (a straightened picture is cut to its frame,
    // then by the crop screen's rect, before it is moved to the origin).
    constexpr int kMaxCrops = 4;
    Graphics::Rect rects[kMaxCrops];
    int crops = 0;
    NodePtr below = input;
    while (crops < kMaxCrops) {
        const std::optional<std::pair<NodePtr, Graphics::Rect>> crop = cropPartsOf(below);
        if (!crop)
            break;
        if (crop->second.isNull() || crop->second.isInfinite())
            return nullptr;
        rects[crops++] = crop->second;
        below = crop->first;
    }
    if (crops == 0)
        return nullptr;
    // Only a turned picture: a scale or move keeps its cheaper row-wise blend and the copy after it,
    // which together cost less than gathering every tap.
    auto resampling = std::dynamic_pointer_cast<const AffineNode>(below);
    if (!resampling || !resampling->isRotated())
        return nullptr;
    // The move maps pixel centres onto centres, so each crop keeps the same pixels, moved with it.
    NodePtr result = makeAffineNode(resampling->inputs()[0],
                                    Graphics::AffineTransform::concat(resampling->transform(), transform));
    for (int i = crops - 1; i >= 0; --i)
        result = makeCropNode(result, transform.applyToRect(rects[i]));
    return result;
}

std::shared_ptr<Filter> makeAffineTransformFilter() {
    return makePreparedFilter<AffineTransformFilter>();
}

} // namespace ImageEngine
#endif
