// "CIOverlayBlendMode", "CIBlendWithMask" and "CISourceOverCompositing": per-pixel combinations of
// a foreground with a background (and, for the masked blend, a mask).
#include "Filters/Nodes.h"

#include <cmath>

namespace ImageEngine {

namespace {

enum class Combine { Overlay, BlendWithMask, SourceOver };

class CompositeNode final : public Node {
public:
    CompositeNode(Combine combine, const std::vector<NodePtr>& inputs)
        : Node(inputs[0]->extent().unionWith(inputs[1]->extent()), inputs), m_combine(combine) {}

    void render(const PixelSpan& out, RenderState& state) const override {
        // The background lands in the output; foreground (and mask) go to scratch tiles.
        const PixelRect& rect = out.rect;
        const std::size_t floats = static_cast<std::size_t>(rect.w) * static_cast<std::size_t>(rect.h) * 4;
        state.renderInput(*inputs()[1], out);
        ScratchPool::Buffer foregroundBuffer(state.scratch(), floats);
        PixelSpan foreground = foregroundBuffer.span(rect);
        state.renderInput(*inputs()[0], foreground);
        std::unique_ptr<ScratchPool::Buffer> maskBuffer;
        PixelSpan mask;
        if (m_combine == Combine::BlendWithMask) {
            maskBuffer = std::make_unique<ScratchPool::Buffer>(state.scratch(), floats);
            mask = maskBuffer->span(rect);
            state.renderInput(*inputs()[2], mask);
        }
        for (int y = rect.y; y < rect.maxY(); ++y) {
            float* b = out.row(y);
            const float* s = foreground.row(y);
            const float* m = mask.data ? mask.row(y) : nullptr;
            switch (m_combine) {
            case Combine::Overlay:
                overlayRow(s, b, rect.w);
                break;
            case Combine::BlendWithMask:
                blendRow(s, m, b, rect.w);
                break;
            case Combine::SourceOver:
                sourceOverRow(s, b, rect.w);
                break;
            }
        }
    }

private:
    static void overlayRow(const float* s, float* b, int width) {
        for (int i = 0; i < width; ++i, s += 4, b += 4) {
            float as = s[3], ab = b[3];
            float inverseS = as > 0 ? 1.0f / as : 0.0f, inverseB = ab > 0 ? 1.0f / ab : 0.0f;
            for (int c = 0; c < 3; ++c) {
                // Separable overlay of straight colours, then composited by coverage.
                float sc = s[c] * inverseS, bc = b[c] * inverseB;
                float blended = bc <= 0.5f ? 2.0f * sc * bc : 1.0f - 2.0f * (1.0f - sc) * (1.0f - bc);
                b[c] = (1.0f - ab) * s[c] + (1.0f - as) * b[c] + as * ab * blended;
            }
            b[3] = as + ab - as * ab;
        }
    }
    static void blendRow(const float* s, const float* m, float* b, int width) {
        for (int i = 0; i < width; ++i, s += 4, b += 4, m += 4) {
            float t = m[1];
            for (int c = 0; c < 4; ++c)
                b[c] += (s[c] - b[c]) * t;
        }
    }
    static void sourceOverRow(const float* s, float* b, int width) {
        for (int i = 0; i < width; ++i, s += 4, b += 4) {
            float keep = 1.0f - s[3];
            for (int c = 0; c < 4; ++c)
                b[c] = s[c] + b[c] * keep;
        }
    }

    Combine m_combine;
};

template <Combine kind>
class CompositeFilter final : public EngineFilter {
public:
    CompositeFilter()
        : EngineFilter(kind == Combine::Overlay         ? "CIOverlayBlendMode"
                       : kind == Combine::BlendWithMask ? "CIBlendWithMask"
                                                        : "CISourceOverCompositing") {}

protected:
    void declareInputs() override {
        declareInput("inputImage", ImagePtr{});
        declareInput("inputBackgroundImage", ImagePtr{});
        if (kind == Combine::BlendWithMask)
            declareInput("inputMaskImage", ImagePtr{});
    }
    ImagePtr build() const override {
        std::vector<NodePtr> inputs{nodeOf(imageInput("inputImage")),
                                    nodeOf(imageInput("inputBackgroundImage"))};
        if (kind == Combine::BlendWithMask)
            inputs.push_back(nodeOf(imageInput("inputMaskImage")));
        for (const NodePtr& input : inputs)
            if (!input)
                return nullptr;
        return imageWithNode(std::make_shared<CompositeNode>(kind, std::move(inputs)));
    }
};

} // namespace

std::shared_ptr<Filter> makeOverlayBlendModeFilter() {
    return makePreparedFilter<CompositeFilter<Combine::Overlay>>();
}
std::shared_ptr<Filter> makeBlendWithMaskFilter() {
    return makePreparedFilter<CompositeFilter<Combine::BlendWithMask>>();
}
std::shared_ptr<Filter> makeSourceOverCompositingFilter() {
    return makePreparedFilter<CompositeFilter<Combine::SourceOver>>();
}

} // namespace ImageEngine
