#include "Pipeline/PointNode.h"

#include "Filters/Nodes.h"

#include <algorithm>

namespace ImageEngine {

namespace {

std::vector<NodePtr> inputsOf(const NodePtr& input, const std::vector<PointKernelPtr>& kernels) {
    std::vector<NodePtr> inputs{input};
    for (const PointKernelPtr& kernel : kernels)
        if (auto* side = dynamic_cast<const SideInputKernel*>(kernel.get()))
            inputs.push_back(side->sideInput());
    return inputs;
}

} // namespace

PointNode::PointNode(NodePtr input, std::vector<PointKernelPtr> kernels)
    : Node(input->extent(), inputsOf(input, kernels)), m_kernels(std::move(kernels)) {
    for (const PointKernelPtr& kernel : m_kernels)
        m_sideKernels.push_back(dynamic_cast<const SideInputKernel*>(kernel.get()));
}

PixelRect PointNode::regionOfInterest(std::size_t index, const PixelRect& rect) const {
    if (index == 0)
        return rect;
    std::size_t input = 0;
    for (const SideInputKernel* side : m_sideKernels)
        if (side && ++input == index)
            return side->sideRegion(rect);
    return {};
}

void PointNode::render(const PixelSpan& out, RenderState& state) const {
    // Each side input over what this rect reads of it: usually a view of pixels computed once for
    // the whole render.
    std::vector<std::unique_ptr<ScratchPool::Buffer>> holders, prepared;
    std::vector<PixelSpan> sides;
    if (inputs().size() > 1) {
        holders.resize(inputs().size());
        prepared.resize(m_kernels.size());
        sides.resize(m_kernels.size());
    }
    for (std::size_t k = 0, input = 1; input < inputs().size(); ++k) {
        if (m_sideKernels[k]) {
            const PixelSpan side =
                state.fetchInput(*inputs()[input], m_sideKernels[k]->sideRegion(out.rect), holders[input]);
            sides[k] = m_sideKernels[k]->prepareSide(out.rect, side, state.scratch(), prepared[k]);
            ++input;
        }
    }
    alignas(64) float r[Simd::kRunPixels], g[Simd::kRunPixels], b[Simd::kRunPixels], a[Simd::kRunPixels];
    auto applyKernels = [&](const Simd::Lanes& lanes) {
        for (std::size_t k = 0; k < m_kernels.size(); ++k) {
            if (m_sideKernels[k])
                m_sideKernels[k]->applyWithSide(lanes, sides[k]);
            else
                m_kernels[k]->apply(lanes);
        }
    };
    const Node& source = *inputs()[0];
    // A bitmap read by this chain alone is decoded straight into the lanes: no tile of floats is
    // written and read again.
    if (state.rendersAnew(source, out.rect) &&
        forEachSourceRun(
            source, out.rect, Simd::kRunPixels,
            [&](int y, std::size_t start, std::size_t count, const std::uint8_t* bytes, bool opaque) {
                const Simd::Lanes lanes{r, g, b, a, count, out.rect.x + static_cast<int>(start), y};
                Simd::decodeRgba8Lanes(bytes, opaque, lanes);
                applyKernels(lanes);
                Simd::interleave(lanes, out.row(y) + start * 4);
            })) {
        return;
    }
    // Read from a kept input where it lies; anything else is rendered into out and worked in place.
    const PixelSpan* held = state.heldPixels(source, out.rect);
    if (!held)
        state.renderInput(source, out);
    const PixelSpan& in = held ? *held : out;
    const std::size_t width = static_cast<std::size_t>(out.rect.w);
    for (int y = out.rect.y; y < out.rect.maxY(); ++y) {
        float* row = out.row(y);
        for (std::size_t start = 0; start < width; start += Simd::kRunPixels) {
            const Simd::Lanes lanes{
                r, g, b, a, std::min(Simd::kRunPixels, width - start), out.rect.x + static_cast<int>(start),
                y};
            Simd::deinterleave(in.at(out.rect.x, y) + start * 4, lanes.count, lanes);
            applyKernels(lanes);
            Simd::interleave(lanes, row + start * 4);
        }
    }
}

bool PointNode::describe(ContentKey& key) const {
    key.add(m_kernels.size());
    for (const PointKernelPtr& kernel : m_kernels) {
        key.addType(typeid(*kernel));
        if (!kernel->describe(key))
            return false;
    }
    return true;
}

NodePtr appendPointKernel(const NodePtr& input, PointKernelPtr kernel) {
    if (!input)
        return nullptr;
    if (auto chain = std::dynamic_pointer_cast<const PointNode>(input)) {
        std::vector<PointKernelPtr> kernels = chain->kernels();
        kernels.push_back(std::move(kernel));
        return std::make_shared<PointNode>(chain->inputs()[0], std::move(kernels));
    }
    return std::make_shared<PointNode>(input, std::vector<PointKernelPtr>{std::move(kernel)});
}

} // namespace ImageEngine
