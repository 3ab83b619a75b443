// Filters::affineClamp: the input mapped through a matrix, its edge pixels then extended without limit.
// The output covers the whole plane (an empty input stays empty). The blurs read through it so that
// a picture's border does not darken.
#include "Filters/Nodes.h"

#include <algorithm>
#include <cstring>

namespace ImageEngine {

namespace {

// The input's edge pixels extended without limit in every direction.
class ClampNode final : public Node {
public:
    explicit ClampNode(const NodePtr& input) : Node(Graphics::Rect::infinite(), {input}) {}

    bool describe(ContentKey&) const override { return true; }

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

class AffineClampFilter final : public EngineFilter {
public:
    AffineClampFilter() : EngineFilter(Filters::affineClamp) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::image, InputKind::Image, ImagePtr{}, {},
                     "the picture to extend; nil gives a nil output");
        declareInput(Inputs::transform, InputKind::Transform, Graphics::AffineTransform::identity(), {},
                     "applied first, as by Filters::affineTransform; the identity clamps the picture itself "
                     "to its edges");
    }
    ImagePtr build() const override {
        return imageWithNode(makeEdgeClampNode(
            makeAffineNode(nodeOf(imageInput(Inputs::image)), transformInput(Inputs::transform))));
    }
};

} // namespace

NodePtr makeEdgeClampNode(const NodePtr& input) {
    if (!input)
        return nullptr;
    // Nothing to extend: an infinite image already covers the plane, an empty one stays empty.
    if (input->extent().isInfinite() || input->bounds().isEmpty())
        return input;
    return std::make_shared<ClampNode>(input);
}

std::shared_ptr<Filter> makeAffineClampFilter() {
    return makePreparedFilter<AffineClampFilter>();
}

} // namespace ImageEngine
