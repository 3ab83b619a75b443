#pragma once

#include "Pipeline/Node.h"
#include "Pipeline/Simd.h"

#include <memory>
#include <vector>

namespace ImageEngine {

// A per-pixel colour step on linear premultiplied RGBA floats.
class PointKernel {
public:
    virtual ~PointKernel() = default;
    // Rewrites one run of pixels in place.
    virtual void apply(const Simd::Lanes& lanes) const = 0;
};

using PointKernelPtr = std::shared_ptr<const PointKernel>;

// A chain of per-pixel steps over one input, run in one pass: each run of pixels is split into
// colour lanes once, goes through every step while it is in the first-level cache, and is joined
// again.
class PointNode final : public Node {
public:
    PointNode(NodePtr input, std::vector<PointKernelPtr> kernels);
    const std::vector<PointKernelPtr>& kernels() const { return m_kernels; }
    void render(const PixelSpan& out, RenderState& state) const override;

private:
    std::vector<PointKernelPtr> m_kernels;
};

// The input followed by kernel; a chain already ending in per-pixel steps is extended rather than
// nested, so the whole chain stays one pass. nullptr for a null input.
NodePtr appendPointKernel(const NodePtr& input, PointKernelPtr kernel);

} // namespace ImageEngine
