// Filters::affineTransform: the input mapped through a matrix about the origin.
// Sampling is bilinear, and exact (a copy) for quarter turns, mirrors and whole-pixel moves, whose
// pixel centres land on pixel centres. The output covers the bounding box of the mapped extent.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Filters/AffineTransform.cpp"
#include <hwy/cache_control.h>
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// One source row blended across for a bilinear map without rotation: pixel i blends source columns
// offsets[i] and offsets[i] + 4 (offsets in floats) by weights[i].
void bilinearAcross(const float* source, const std::int32_t* offsets, const float* weights, std::size_t count,
                    float* rgba) {
    // One pixel's four channels per vector (fewer on targets without 128-bit vectors): the taps
    // are scattered, so wider vectors would only add shuffles.
    const hn::CappedTag<float, 4> d;
    const std::size_t n = hn::Lanes(d);
    for (std::size_t i = 0; i < count; ++i) {
        const auto wx = hn::Set(d, weights[i]);
        for (std::size_t c = 0; c < 4; c += n) {
            const float* s = source + offsets[i] + c;
            const auto s0 = hn::LoadU(d, s);
            hn::StoreU(hn::MulAdd(hn::Sub(hn::LoadU(d, s + 4), s0), wx, s0), d, rgba + i * 4 + c);
        }
    }
}

// The same blend across where the taps are consecutive pixels from the first and every weight is
// weight (a move without a scale): count floats, a whole number of pixels, a vector at a time.
void bilinearAcrossEvenly(const float* source, float weight, std::size_t count, float* rgba) {
    const hn::ScalableTag<float> d;
    const std::size_t n = hn::Lanes(d);
    std::size_t i = 0;
    for (; i + n <= count; i += n) {
        const auto s0 = hn::LoadU(d, source + i);
        hn::StoreU(hn::MulAdd(hn::Sub(hn::LoadU(d, source + i + 4), s0), hn::Set(d, weight), s0), d,
                   rgba + i);
    }
    const hn::CappedTag<float, 4> d4;
    for (; i < count; i += hn::Lanes(d4)) {
        const auto s0 = hn::LoadU(d4, source + i);
        hn::StoreU(hn::MulAdd(hn::Sub(hn::LoadU(d4, source + i + 4), s0), hn::Set(d4, weight), s0), d4,
                   rgba + i);
    }
}

// Two rows blended across by bilinearAcross, blended with each other by rowWeight: count floats, a
// whole number of pixels.
void bilinearUp(const float* bottom, const float* top, float rowWeight, std::size_t count, float* rgba) {
    const hn::ScalableTag<float> d;
    const std::size_t n = hn::Lanes(d);
    std::size_t i = 0;
    for (; i + n <= count; i += n) {
        const auto low = hn::LoadU(d, bottom + i);
        hn::StoreU(hn::MulAdd(hn::Sub(hn::LoadU(d, top + i), low), hn::Set(d, rowWeight), low), d, rgba + i);
    }
    // The last pixels one at a time, with the same arithmetic.
    const hn::CappedTag<float, 4> d4;
    for (; i < count; i += hn::Lanes(d4)) {
        const auto low = hn::LoadU(d4, bottom + i);
        hn::StoreU(hn::MulAdd(hn::Sub(hn::LoadU(d4, top + i), low), hn::Set(d4, rowWeight), low), d4,
                   rgba + i);
    }
}

// The lower-left taps and weights of count output pixels of row y from column x through the inverse
// matrix m = (a, b, c, d, tx, ty), each position from its own pixel centre in double precision with
// every product rounded before it is added (this file is compiled without fused multiply-adds), so
// that each lane gives the position the plain formula a·x + c·y + tx gives. Columns and rows are
// counted from source's corner (sourceX, sourceY), the column −1 where a tap of the four falls
// outside the source's columns [sourceX, sourceMaxX) or rows [sourceY, sourceMaxY). The arrays are
// padded to a whole vector of doubles.
// The position a·px + c·y + tx − ½ (or b·px + d·y + ty − ½) of pixel centres px, given the row's
// product cy: each product rounded before it is added.
template <class D, class V>
HWY_INLINE V mappedPosition(D d, V factor, V px, V rowProduct, V move) {
    return hn::Sub(hn::Add(hn::Add(hn::Mul(factor, px), rowProduct), move), hn::Set(d, 0.5));
}

// Whether all four taps from the lower-left ones at floorX, floorY lie in the source.
template <class D, class V>
HWY_INLINE hn::Mask<D> tapsInside(D d, V floorX, V floorY, V lowX, V lowY, V highX, V highY) {
    const auto one = hn::Set(d, 1.0);
    return hn::And(hn::And(hn::Ge(floorX, lowX), hn::Lt(hn::Add(floorX, one), highX)),
                   hn::And(hn::Ge(floorY, lowY), hn::Lt(hn::Add(floorY, one), highY)));
}

void bilinearTaps(const double* m, int x, int y, std::size_t count, const int* source, std::int32_t* columns,
                  std::int32_t* rows, float* weightsX, float* weightsY) {
    const hn::ScalableTag<double> d;
    const hn::Rebind<std::int32_t, decltype(d)> di;
    const hn::Rebind<float, decltype(d)> df;
    const double py = static_cast<double>(y) + 0.5;
    // The products with the row's centre are the same in every lane.
    const auto cy = hn::Set(d, m[2] * py), dy = hn::Set(d, m[3] * py);
    const auto a = hn::Set(d, m[0]), b = hn::Set(d, m[1]), tx = hn::Set(d, m[4]), ty = hn::Set(d, m[5]);
    const auto half = hn::Set(d, 0.5);
    const auto lowX = hn::Set(d, source[0]), lowY = hn::Set(d, source[1]);
    const auto highX = hn::Set(d, source[2]), highY = hn::Set(d, source[3]);
    const auto outside = hn::Set(d, -1.0);
    for (std::size_t i = 0; i < count; i += hn::Lanes(d)) {
        const auto px = hn::Add(hn::Iota(d, static_cast<double>(x) + static_cast<double>(i)), half);
        const auto fx = mappedPosition(d, a, px, cy, tx), fy = mappedPosition(d, b, px, dy, ty);
        const auto floorX = hn::Floor(fx), floorY = hn::Floor(fy);
        const auto inside = tapsInside(d, floorX, floorY, lowX, lowY, highX, highY);
        hn::StoreU(hn::DemoteTo(di, hn::IfThenElse(inside, hn::Sub(floorX, lowX), outside)), di, columns + i);
        hn::StoreU(hn::DemoteTo(di, hn::IfThenElse(inside, hn::Sub(floorY, lowY), hn::Zero(d))), di,
                   rows + i);
        hn::StoreU(hn::DemoteTo(df, hn::Sub(fx, floorX)), df, weightsX + i);
        hn::StoreU(hn::DemoteTo(df, hn::Sub(fy, floorY)), df, weightsY + i);
    }
}

// One output row of a turned or sheared map: count pixels of row y from column x, each blended from
// the four source pixels around its position, worked out as bilinearTaps works it out. source is
// the pixel at the source's corner (bounds[0], bounds[1]), rows rowStride floats apart. The pixels
// with a tap outside the source are left as they are and their indices written to outside (the
// caller fills those); returns how many there are. The taps ahead bytes on (those of a row a few
// rows on) are fetched into cache meanwhile.
std::size_t bilinearTurnedRow(const double* m, int x, int y, std::size_t count, const int* bounds,
                              const float* source, std::ptrdiff_t rowStride, std::ptrdiff_t ahead,
                              float* rgba, std::int32_t* outside) {
    const hn::ScalableTag<double> d;
    const hn::Rebind<float, decltype(d)> df;
    // One pixel's four channels per vector (fewer on targets without 128-bit vectors): the taps
    // are scattered, so wider vectors would only add shuffles.
    const hn::CappedTag<float, 4> d4;
    const std::size_t n = hn::Lanes(d4);
    const double py = static_cast<double>(y) + 0.5;
    const auto cy = hn::Set(d, m[2] * py), dy = hn::Set(d, m[3] * py);
    const auto a = hn::Set(d, m[0]), b = hn::Set(d, m[1]), tx = hn::Set(d, m[4]), ty = hn::Set(d, m[5]);
    const auto half = hn::Set(d, 0.5);
    const auto lowX = hn::Set(d, bounds[0]), lowY = hn::Set(d, bounds[1]);
    const auto highX = hn::Set(d, bounds[2]), highY = hn::Set(d, bounds[3]);
    // Offsets in floats, exact in doubles: a tile's source is far smaller than 2^53 floats.
    const auto stride = hn::Set(d, static_cast<double>(rowStride)), four = hn::Set(d, 4.0);
    const auto none = hn::Set(d, -1.0);
    // The taps of a run of pixels are worked out before any of them is blended, so that the blends'
    // reads do not wait on the long chain of arithmetic that gives their addresses.
    constexpr std::size_t kRun = HWY_MAX(std::size_t{64}, HWY_MAX_BYTES / sizeof(double));
    HWY_ALIGN double offsets[kRun];
    HWY_ALIGN float weightsX[kRun], weightsY[kRun];
    std::size_t missed = 0;
    for (std::size_t start = 0; start < count; start += kRun) {
        const std::size_t run = std::min(kRun, count - start);
        for (std::size_t i = 0; i < run; i += hn::Lanes(d)) {
            const auto px =
                hn::Add(hn::Iota(d, static_cast<double>(x) + static_cast<double>(start + i)), half);
            const auto fx = mappedPosition(d, a, px, cy, tx), fy = mappedPosition(d, b, px, dy, ty);
            const auto floorX = hn::Floor(fx), floorY = hn::Floor(fy);
            const auto inside = tapsInside(d, floorX, floorY, lowX, lowY, highX, highY);
            const auto offset =
                hn::MulAdd(hn::Sub(floorY, lowY), stride, hn::Mul(hn::Sub(floorX, lowX), four));
            hn::Store(hn::IfThenElse(inside, offset, none), d, offsets + i);
            hn::Store(hn::DemoteTo(df, hn::Sub(fx, floorX)), df, weightsX + i);
            hn::Store(hn::DemoteTo(df, hn::Sub(fy, floorY)), df, weightsY + i);
        }
        for (std::size_t j = 0; j < run; ++j) {
            if (offsets[j] < 0) {
                outside[missed++] = static_cast<std::int32_t>(start + j);
                continue;
            }
            const float* bottom = source + static_cast<std::ptrdiff_t>(offsets[j]);
            const float* top = bottom + rowStride;
            // The reads go across the source's rows, where the processor does not foresee them. A
            // fetch never faults, so the addresses need not lie in the source.
            const std::uintptr_t later =
                reinterpret_cast<std::uintptr_t>(bottom) + static_cast<std::uintptr_t>(ahead);
            hwy::Prefetch(reinterpret_cast<const float*>(later));
            hwy::Prefetch(reinterpret_cast<const float*>(later + static_cast<std::uintptr_t>(rowStride) *
                                                                     sizeof(float)));
            const auto wx = hn::Set(d4, weightsX[j]), wy = hn::Set(d4, weightsY[j]);
            float* pixel = rgba + (start + j) * 4;
            for (std::size_t c = 0; c < 4; c += n) {
                const auto b0 = hn::LoadU(d4, bottom + c), t0 = hn::LoadU(d4, top + c);
                const auto low = hn::MulAdd(hn::Sub(hn::LoadU(d4, bottom + c + 4), b0), wx, b0);
                const auto high = hn::MulAdd(hn::Sub(hn::LoadU(d4, top + c + 4), t0), wx, t0);
                hn::StoreU(hn::MulAdd(hn::Sub(high, low), wy, low), d4, pixel + c);
            }
        }
    }
    return missed;
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

HWY_EXPORT(bilinearAcross);
HWY_EXPORT(bilinearAcrossEvenly);
HWY_EXPORT(bilinearUp);
HWY_EXPORT(bilinearTaps);
HWY_EXPORT(bilinearTurnedRow);

namespace {

// The kernels above on the widest instruction set this processor runs.
void blendAcross(const float* source, const std::int32_t* offsets, const float* weights, std::size_t count,
                 float* rgba) {
    HWY_DYNAMIC_DISPATCH(bilinearAcross)(source, offsets, weights, count, rgba);
}
void blendAcrossEvenly(const float* source, float weight, std::size_t count, float* rgba) {
    HWY_DYNAMIC_DISPATCH(bilinearAcrossEvenly)(source, weight, count, rgba);
}
void blendUp(const float* bottom, const float* top, float rowWeight, std::size_t count, float* rgba) {
    HWY_DYNAMIC_DISPATCH(bilinearUp)(bottom, top, rowWeight, count, rgba);
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
        // Each source row is blended across once and kept while the output rows that use it are
        // made: an enlargement reuses it for several rows. The blend up is then the same arithmetic
        // as a blend of four taps.
        const std::size_t floats = static_cast<std::size_t>(out.rect.w) * 4;
        // A move by a fraction of a pixel (a crop's edge at a smaller resolution) blends every pixel
        // with its neighbour by the same weight.
        bool even = true;
        for (std::size_t x = 1; even && x < offsets.size(); ++x)
            even = offsets[x] == offsets[0] + static_cast<std::int32_t>(x) * 4 && weights[x] == weights[0];
        thread_local std::vector<float> across[2];
        int acrossRow[2] = {r.y - 1, r.y - 1};
        auto blendedAcross = [&](int sourceRow, int keep) -> const float* {
            for (int k = 0; k < 2; ++k)
                if (acrossRow[k] == sourceRow)
                    return across[k].data();
            const int k = acrossRow[0] == keep ? 1 : 0;
            across[k].resize(floats);
            if (even)
                blendAcrossEvenly(source.row(sourceRow) + offsets[0], weights[0], floats, across[k].data());
            else
                blendAcross(source.row(sourceRow), offsets.data(), weights.data(),
                            static_cast<std::size_t>(out.rect.w), across[k].data());
            acrossRow[k] = sourceRow;
            return across[k].data();
        };
        for (int y = out.rect.y; y < out.rect.maxY(); ++y) {
            double fy = m.d * (y + 0.5) + m.ty - 0.5, floorY = std::floor(fy);
            int y0 = std::clamp(static_cast<int>(floorY), r.y, r.maxY() - 2);
            const float* bottom = blendedAcross(y0, y0 + 1);
            const float* top = blendedAcross(y0 + 1, y0);
            blendUp(bottom, top, static_cast<float>(fy - floorY), floats, out.row(y));
        }
    }

    // Each position comes from its own pixel centre in double precision, as on the scalar path; the
    // pixels whose four taps lie in the source are blended as they are worked out, the few at its
    // edge (where rounding of the mapped rect left a tap outside) one channel at a time.
    void renderRotated(const PixelSpan& source, const PixelSpan& out) const {
        const Graphics::AffineTransform& m = m_inverse;
        const double matrix[6] = {m.a, m.b, m.c, m.d, m.tx, m.ty};
        const PixelRect& r = source.rect;
        const int bounds[4] = {r.x, r.y, r.maxX(), r.maxY()};
        const std::size_t width = static_cast<std::size_t>(out.rect.w);
        thread_local std::vector<std::int32_t> outside;
        outside.resize(width);
        // Where the taps of the pixel four rows on lie, as a move in bytes: the rows between are
        // blended while they are fetched. None for a map that moves them far (or not at all).
        constexpr double kRowsAhead = 4;
        const std::ptrdiff_t stride = static_cast<std::ptrdiff_t>(source.stride);
        const double move =
            (std::round(kRowsAhead * m.d) * static_cast<double>(stride) + std::round(kRowsAhead * m.c) * 4) *
            sizeof(float);
        const std::ptrdiff_t ahead = std::abs(move) < double(1 << 28) ? static_cast<std::ptrdiff_t>(move) : 0;
        for (int y = out.rect.y; y < out.rect.maxY(); ++y) {
            float* row = out.row(y);
            const std::size_t missed = HWY_DYNAMIC_DISPATCH(bilinearTurnedRow)(
                matrix, out.rect.x, y, width, bounds, source.data, stride, ahead, row, outside.data());
            for (std::size_t k = 0; k < missed; ++k) {
                const double x = out.rect.x + static_cast<double>(outside[k]) + 0.5;
                Graphics::Point q = m.applyToPoint({x, y + 0.5});
                sample(source, q.x - 0.5, q.y - 0.5, row + static_cast<std::size_t>(outside[k]) * 4);
            }
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
