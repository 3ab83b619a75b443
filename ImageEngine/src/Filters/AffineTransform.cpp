// "CIAffineTransform" and "CIAffineClamp": resampling through a matrix, and edge extension.
#include "Filters/Nodes.h"
#include "Pipeline/Simd.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace ImageEngine {

namespace {

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
            Simd::bilinearRow(source.row(y0), source.row(y0 + 1), offsets.data(), weights.data(),
                              static_cast<float>(fy - floorY), static_cast<std::size_t>(out.rect.w),
                              out.row(y));
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
            Simd::bilinearGatherRow(source.data, static_cast<std::ptrdiff_t>(source.stride), offsets.data(),
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

// The input's edge pixels extended without limit in every direction.
class ClampNode final : public Node {
public:
    explicit ClampNode(const NodePtr& input) : Node(Graphics::Rect::infinite(), {input}) {}

    const Node* passesThrough(const PixelRect& rect) const override {
        return inputs()[0]->bounds().contains(rect) ? inputs()[0].get() : nullptr;
    }

    PixelRect regionOfInterest(std::size_t, const PixelRect& rect) const override {
        const PixelRect& b = inputs()[0]->bounds();
        int x0 = std::clamp(rect.x, b.x, b.maxX() - 1), x1 = std::clamp(rect.maxX() - 1, b.x, b.maxX() - 1);
        int y0 = std::clamp(rect.y, b.y, b.maxY() - 1), y1 = std::clamp(rect.maxY() - 1, b.y, b.maxY() - 1);
        return {x0, y0, x1 - x0 + 1, y1 - y0 + 1};
    }

    void render(const PixelSpan& out, RenderState& state) const override {
        PixelRect sourceRect = regionOfInterest(0, out.rect);
        if (sourceRect == out.rect) {
            state.renderInput(*inputs()[0], out);
            return;
        }
        std::unique_ptr<ScratchPool::Buffer> buffer;
        const PixelSpan source = state.fetchInput(*inputs()[0], sourceRect, buffer);
        // Each row: the edge pixel repeated on the left, the row itself, the edge pixel on the right.
        const int left = std::clamp(sourceRect.x - out.rect.x, 0, out.rect.w);
        const int right = std::clamp(out.rect.maxX() - sourceRect.maxX(), 0, out.rect.w - left);
        const int middle = out.rect.w - left - right;
        for (int y = out.rect.y; y < out.rect.maxY(); ++y) {
            const float* s = source.row(std::clamp(y, sourceRect.y, sourceRect.maxY() - 1));
            float* pixel = out.row(y);
            for (int x = 0; x < left; ++x, pixel += 4)
                std::memcpy(pixel, s, 4 * sizeof(float));
            const int firstColumn =
                std::clamp(out.rect.x, sourceRect.x, sourceRect.maxX() - 1) - sourceRect.x;
            std::memcpy(pixel, s + static_cast<std::size_t>(firstColumn) * 4,
                        static_cast<std::size_t>(middle) * 4 * sizeof(float));
            pixel += static_cast<std::size_t>(middle) * 4;
            const float* last = s + static_cast<std::size_t>(sourceRect.w - 1) * 4;
            for (int x = 0; x < right; ++x, pixel += 4)
                std::memcpy(pixel, last, 4 * sizeof(float));
        }
    }
};

class AffineTransformFilter final : public EngineFilter {
public:
    AffineTransformFilter() : EngineFilter("CIAffineTransform") {}

protected:
    void declareInputs() override {
        declareInput("inputImage", ImagePtr{});
        declareInput("inputTransform", Graphics::AffineTransform::identity());
    }
    ImagePtr build() const override {
        return imageWithNode(
            makeAffineNode(nodeOf(imageInput("inputImage")), transformInput("inputTransform")));
    }
};

class AffineClampFilter final : public EngineFilter {
public:
    AffineClampFilter() : EngineFilter("CIAffineClamp") {}

protected:
    void declareInputs() override {
        declareInput("inputImage", ImagePtr{});
        declareInput("inputTransform", Graphics::AffineTransform::identity());
    }
    ImagePtr build() const override {
        NodePtr input = makeAffineNode(nodeOf(imageInput("inputImage")), transformInput("inputTransform"));
        if (!input)
            return nullptr;
        // Nothing to extend: an infinite image already covers the plane, an empty one stays empty.
        if (input->extent().isInfinite() || input->bounds().isEmpty())
            return imageWithNode(input);
        return imageWithNode(std::make_shared<ClampNode>(input));
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
std::shared_ptr<Filter> makeAffineClampFilter() {
    return makePreparedFilter<AffineClampFilter>();
}

} // namespace ImageEngine
