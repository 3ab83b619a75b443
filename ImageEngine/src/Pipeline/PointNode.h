#pragma once

#include "Pipeline/Node.h"
#include "Pipeline/Simd.h"

#include <array>
#include <memory>
#include <optional>
#include <vector>

namespace ImageEngine {

// A per-pixel colour step on linear premultiplied RGBA floats.
class PointKernel {
public:
    virtual ~PointKernel() = default;
    // Rewrites one run of pixels in place; lanes.x and lanes.y say where the run lies.
    virtual void apply(const Simd::Lanes& lanes) const = 0;
    // Writes the step's numbers into key (see Node::describe); false when it cannot.
    virtual bool describe(ContentKey& key) const {
        (void)key;
        return false;
    }
    // The row-major 3 × 3 matrix that a step doing nothing but multiplying the linear colour by one
    // applies, so that neighbouring such steps can run as their product; nullopt for any other step.
    virtual std::optional<std::array<float, 9>> colorMatrix() const { return std::nullopt; }
    // For a step that maps red, green and blue alike through a curve on their encoded values: the
    // curve's encoded output as sixteen cubics in the square root of the straight linear input (the
    // layout of ToneCurve::encodedSegmentCubics), so that a next step that encodes its input anyway
    // can take the curve's place and skip both transfer functions; nullptr for any other step, or where
    // the cubics cannot follow the curve closely enough.
    virtual const float* encodedCurveCubics() const { return nullptr; }
};

using PointKernelPtr = std::shared_ptr<const PointKernel>;

// A per-pixel step that also reads a second picture (a map of local statistics, say) around each
// pixel's position.
class SideInputKernel : public PointKernel {
public:
    // The second picture.
    virtual const NodePtr& sideInput() const = 0;
    // The part of it that the pixels of rect read.
    virtual PixelRect sideRegion(const PixelRect& rect) const = 0;
    // What the runs of rect read instead of side (which covers sideRegion(rect)): side itself, or what
    // the step works out from it once for the whole rect rather than in every run, in a layout of
    // its own, in memory that holder keeps.
    virtual PixelSpan prepareSide(const PixelRect& rect, const PixelSpan& side, ScratchPool& scratch,
                                  std::unique_ptr<ScratchPool::Buffer>& holder) const {
        (void)rect;
        (void)scratch;
        (void)holder;
        return side;
    }
    // Rewrites one run of pixels in place, reading what prepareSide gave for a rect holding the run.
    virtual void applyWithSide(const Simd::Lanes& lanes, const PixelSpan& side) const = 0;

private:
    // The chain always gives this step its second picture.
    void apply(const Simd::Lanes&) const final {}
};

// A chain of per-pixel steps over one input, run in one pass: each run of pixels is split into
// colour lanes once, goes through every step while it is in the first-level cache, and is joined
// again. The side inputs of its steps are further inputs of the node, after the first.
class PointNode final : public Node {
public:
    PointNode(NodePtr input, std::vector<PointKernelPtr> kernels);
    const std::vector<PointKernelPtr>& kernels() const { return m_kernels; }
    PixelRect regionOfInterest(std::size_t index, const PixelRect& rect) const override;
    void render(const PixelSpan& out, RenderState& state) const override;
    bool describe(ContentKey& key) const override;

private:
    std::vector<PointKernelPtr> m_kernels;
    // Per kernel, the step with a side input (its input index is its place here plus 1), or nullptr.
    std::vector<const SideInputKernel*> m_sideKernels;
};

// The input followed by kernel; a chain already ending in per-pixel steps is extended rather than
// nested, so the whole chain stays one pass. nullptr for a null input.
NodePtr appendPointKernel(const NodePtr& input, PointKernelPtr kernel);

} // namespace ImageEngine
