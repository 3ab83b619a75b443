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

class AffineNode final : public Node {
public:
    AffineNode(const NodePtr& input, const Graphics::AffineTransform& transform,
               const Graphics::AffineTransform& inverse)
        : Node(transform.applyToRect(input->extent()), {input}), m_inverse(inverse),
          m_exact(mapsPixelCentresOntoCentres(transform)), m_axisAligned(inverse.b == 0 && inverse.c == 0) {}

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
        thread_local std::vector<std::ptrdiff_t> offsets;
        thread_local std::vector<float> weightsX, weightsY;
        offsets.resize(width);
        weightsX.resize(width);
        weightsY.resize(width);
        for (int y = out.rect.y; y < out.rect.maxY(); ++y) {
            float* row = out.row(y);
            for (std::size_t i = 0; i < width; ++i) {
                Graphics::Point q = m.applyToPoint({out.rect.x + static_cast<double>(i) + 0.5, y + 0.5});
                const double fx = q.x - 0.5, fy = q.y - 0.5;
                const double floorX = std::floor(fx), floorY = std::floor(fy);
                if (floorX >= r.x && floorX + 1 < r.maxX() && floorY >= r.y && floorY + 1 < r.maxY()) {
                    offsets[i] = (static_cast<std::ptrdiff_t>(floorY) - r.y) *
                                     static_cast<std::ptrdiff_t>(source.stride) +
                                 (static_cast<std::ptrdiff_t>(floorX) - r.x) * 4;
                    weightsX[i] = static_cast<float>(fx - floorX);
                    weightsY[i] = static_cast<float>(fy - floorY);
                } else {
                    offsets[i] = -1;
                    sample(source, fx, fy, row + i * 4);
                }
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
    std::optional<Graphics::AffineTransform> inverse = transform.inverted();
    if (!inverse) {
        // A singular matrix squashes the image onto a line: nothing is left to see.
        return makeCropNode(input, Graphics::Rect::null());
    }
    return std::make_shared<AffineNode>(input, transform, *inverse);
}

std::shared_ptr<Filter> makeAffineTransformFilter() {
    return makePreparedFilter<AffineTransformFilter>();
}

} // namespace ImageEngine
#endif
