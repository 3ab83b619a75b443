// The node behind the compositing filters: the background is rendered straight into the output and
// the foreground (and mask) into scratch tiles, so each filter supplies only its row kernel.
#include "Filters/CompositeNode.h"

#include "Pipeline/PointNode.h"

namespace ImageEngine {

namespace {

class CompositeNode final : public Node {
public:
    CompositeNode(std::vector<NodePtr> inputs, CombineRow combine)
        : Node(inputs[0]->extent().unionWith(inputs[1]->extent()), inputs), m_combine(combine) {}

    bool describe(ContentKey& key) const override {
        key.add(static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(m_combine)));
        return true;
    }

    void render(const PixelSpan& out, RenderState& state) const override {
        const PixelRect& rect = out.rect;
        state.renderInput(*inputs()[1], out);
        std::unique_ptr<ScratchPool::Buffer> foregroundBuffer, maskBuffer;
        const PixelSpan foreground = state.fetchInput(*inputs()[0], rect, foregroundBuffer);
        const bool masked = inputs().size() > 2;
        PixelSpan mask;
        if (masked)
            mask = state.fetchInput(*inputs()[2], rect, maskBuffer);
        const std::size_t width = static_cast<std::size_t>(rect.w);
        for (int y = rect.y; y < rect.maxY(); ++y)
            m_combine(foreground.row(y), masked ? mask.row(y) : nullptr, out.row(y), width);
    }

private:
    CombineRow m_combine;
};

} // namespace

namespace {

class ForegroundOverBackgroundFilter final : public EngineFilter {
public:
    ForegroundOverBackgroundFilter(FilterName name, CombineRow combine, CombineStep step)
        : EngineFilter(name), m_combine(combine), m_step(step) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::image, InputKind::Image, ImagePtr{}, {},
                     "the picture on top; nil gives a nil output");
        declareInput(Inputs::backgroundImage, InputKind::Image, ImagePtr{}, {},
                     "the picture underneath; nil gives a nil output");
    }
    ImagePtr build() const override {
        NodePtr foreground = nodeOf(imageInput(Inputs::image));
        NodePtr background = nodeOf(imageInput(Inputs::backgroundImage));
        // The chain keeps the background's extent, which must then be the union of the two.
        if (m_step && foreground && background && background->extent().containsRect(foreground->extent()))
            return imageWithNode(appendPointKernel(background, m_step(foreground)));
        return compositeImage({foreground, background}, m_combine);
    }

private:
    CombineRow m_combine;
    CombineStep m_step;
};

} // namespace

std::shared_ptr<Filter> makeForegroundOverBackgroundFilter(FilterName name, CombineRow combine,
                                                           CombineStep step) {
    auto filter = std::make_shared<ForegroundOverBackgroundFilter>(name, combine, step);
    filter->prepare();
    return filter;
}

ImagePtr compositeImage(std::vector<NodePtr> inputs, CombineRow combine) {
    for (const NodePtr& input : inputs)
        if (!input)
            return nullptr;
    return imageWithNode(std::make_shared<CompositeNode>(std::move(inputs), combine));
}

} // namespace ImageEngine
