// "CIAffineTransform" and "CIAffineClamp": resampling through a matrix, and edge extension.
#include "Filters/Nodes.h"

#include <cmath>

namespace ImageEngine {

namespace {

// True when every output pixel centre maps onto an input pixel centre: quarter turns, mirrors and
// whole-pixel moves, which are then plain copies.
bool mapsPixelCentresOntoCentres(const Graphics::AffineTransform& t) {
    auto unit = [](double v) { return v == 0 || v == 1 || v == -1; };
    if (!unit(t.a) || !unit(t.b) || !unit(t.c) || !unit(t.d) || std::abs(t.determinant()) != 1)
        return false;
    return t.tx == std::floor(t.tx) && t.ty == std::floor(t.ty);
}

class AffineNode final : public Node {
public:
    AffineNode(const NodePtr& input, const Graphics::AffineTransform& transform,
               const Graphics::AffineTransform& inverse)
        : Node(transform.applyToRect(input->extent()), {input}), m_inverse(inverse),
          m_exact(mapsPixelCentresOntoCentres(transform)) {}

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
        ScratchPool::Buffer buffer(state.scratch(), static_cast<std::size_t>(sourceRect.w) *
                                                        static_cast<std::size_t>(sourceRect.h) * 4);
        PixelSpan source = buffer.span(sourceRect);
        state.renderInput(*inputs()[0], source);
        const Graphics::AffineTransform& m = m_inverse;
        for (int y = out.rect.y; y < out.rect.maxY(); ++y) {
            float* pixel = out.row(y);
            // Source position of this row's first pixel centre, then a constant step per pixel.
            double cy = y + 0.5, cx = out.rect.x + 0.5;
            double qx = m.a * cx + m.c * cy + m.tx, qy = m.b * cx + m.d * cy + m.ty;
            for (int x = 0; x < out.rect.w; ++x, pixel += 4, qx += m.a, qy += m.b) {
                if (m_exact) {
                    int sx = static_cast<int>(std::floor(qx)), sy = static_cast<int>(std::floor(qy));
                    const float* s = source.at(sx, sy);
                    pixel[0] = s[0];
                    pixel[1] = s[1];
                    pixel[2] = s[2];
                    pixel[3] = s[3];
                    continue;
                }
                sample(source, qx - 0.5, qy - 0.5, pixel);
            }
        }
    }

private:
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
};

// The input's edge pixels extended without limit in every direction.
class ClampNode final : public Node {
public:
    explicit ClampNode(const NodePtr& input) : Node(Graphics::Rect::infinite(), {input}) {}

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
        ScratchPool::Buffer buffer(state.scratch(), static_cast<std::size_t>(sourceRect.w) *
                                                        static_cast<std::size_t>(sourceRect.h) * 4);
        PixelSpan source = buffer.span(sourceRect);
        state.renderInput(*inputs()[0], source);
        for (int y = out.rect.y; y < out.rect.maxY(); ++y) {
            int sy = std::clamp(y, sourceRect.y, sourceRect.maxY() - 1);
            float* pixel = out.row(y);
            for (int x = out.rect.x; x < out.rect.maxX(); ++x, pixel += 4) {
                const float* s = source.at(std::clamp(x, sourceRect.x, sourceRect.maxX() - 1), sy);
                pixel[0] = s[0];
                pixel[1] = s[1];
                pixel[2] = s[2];
                pixel[3] = s[3];
            }
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

NodePtr makeAffineNode(const NodePtr& input, const Graphics::AffineTransform& transform) {
    if (!input)
        return nullptr;
    if (transform.isIdentity())
        return input;
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
