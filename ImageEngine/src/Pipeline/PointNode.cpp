#include "Pipeline/PointNode.h"

#include <algorithm>

namespace ImageEngine {

PointNode::PointNode(NodePtr input, std::vector<PointKernelPtr> kernels)
    : Node(input->extent(), {input}), m_kernels(std::move(kernels)) {}

void PointNode::render(const PixelSpan& out, RenderState& state) const {
    state.renderInput(*inputs()[0], out);
    alignas(64) float r[Simd::kRunPixels], g[Simd::kRunPixels], b[Simd::kRunPixels], a[Simd::kRunPixels];
    const std::size_t width = static_cast<std::size_t>(out.rect.w);
    for (int y = out.rect.y; y < out.rect.maxY(); ++y) {
        float* row = out.row(y);
        for (std::size_t start = 0; start < width; start += Simd::kRunPixels) {
            const Simd::Lanes lanes{r, g, b, a, std::min(Simd::kRunPixels, width - start)};
            Simd::deinterleave(row + start * 4, lanes.count, lanes);
            for (const PointKernelPtr& kernel : m_kernels)
                kernel->apply(lanes);
            Simd::interleave(lanes, row + start * 4);
        }
    }
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
