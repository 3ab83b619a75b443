// "CIOverlayBlendMode", "CIBlendWithMask" and "CISourceOverCompositing": per-pixel combinations of
// a foreground with a background (and, for the masked blend, a mask).
#include "Filters/Nodes.h"
#include "Pipeline/Simd.h"

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
        state.renderInput(*inputs()[1], out);
        std::unique_ptr<ScratchPool::Buffer> foregroundBuffer, maskBuffer;
        const PixelSpan foreground = state.fetchInput(*inputs()[0], rect, foregroundBuffer);
        PixelSpan mask;
        if (m_combine == Combine::BlendWithMask)
            mask = state.fetchInput(*inputs()[2], rect, maskBuffer);
        const std::size_t width = static_cast<std::size_t>(rect.w);
        for (int y = rect.y; y < rect.maxY(); ++y) {
            float* b = out.row(y);
            const float* s = foreground.row(y);
            switch (m_combine) {
            case Combine::Overlay:
                Simd::overlayRow(s, b, width);
                break;
            case Combine::BlendWithMask:
                Simd::blendWithMaskRow(s, mask.row(y), b, width);
                break;
            case Combine::SourceOver:
                Simd::sourceOverRow(s, b, width);
                break;
            }
        }
    }

private:
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
