// Filters::colorMatrix: each pixel's linear colour multiplied by a 3 × 3 matrix.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Filters/ColorMatrix.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>
// The shared helpers come after foreach_target so that they too are compiled per instruction set.
#include "Pipeline/SimdMath-inl.h"

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {

// m is row-major: the new red is m[0] r + m[1] g + m[2] b.
void colorMatrix(const Simd::Lanes& lanes, const float* m) {
    const D d;
    const V m0 = hn::Set(d, m[0]), m1 = hn::Set(d, m[1]), m2 = hn::Set(d, m[2]), m3 = hn::Set(d, m[3]),
            m4 = hn::Set(d, m[4]), m5 = hn::Set(d, m[5]), m6 = hn::Set(d, m[6]), m7 = hn::Set(d, m[7]),
            m8 = hn::Set(d, m[8]);
    // The product is linear in the colour, so premultiplied values need no division by alpha.
    forEachVector(lanes, [&](std::size_t i) {
        const V r = hn::Load(d, lanes.r + i), g = hn::Load(d, lanes.g + i), b = hn::Load(d, lanes.b + i);
        hn::Store(hn::MulAdd(m0, r, hn::MulAdd(m1, g, hn::Mul(m2, b))), d, lanes.r + i);
        hn::Store(hn::MulAdd(m3, r, hn::MulAdd(m4, g, hn::Mul(m5, b))), d, lanes.g + i);
        hn::Store(hn::MulAdd(m6, r, hn::MulAdd(m7, g, hn::Mul(m8, b))), d, lanes.b + i);
    });
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "Filters/Nodes.h"
#include "Pipeline/PointNode.h"

#include <Foundation/Log.h>
#include <algorithm>
#include <array>
#include <cmath>
#include <cstring>

namespace ImageEngine {

HWY_EXPORT(colorMatrix);

namespace {

constexpr std::size_t kEntries = 9;

class ColorMatrixKernel final : public PointKernel {
public:
    explicit ColorMatrixKernel(const std::array<float, kEntries>& matrix) : m_matrix(matrix) {}
    void apply(const Simd::Lanes& lanes) const override {
        HWY_DYNAMIC_DISPATCH(colorMatrix)(lanes, m_matrix.data());
    }
    bool describe(ContentKey& key) const override {
        key.add(std::span<const float>(m_matrix));
        return true;
    }
    std::optional<std::array<float, kEntries>> colorMatrix() const override { return m_matrix; }

private:
    std::array<float, kEntries> m_matrix;
};

Data identityMatrixData() {
    const float identity[kEntries] = {1, 0, 0, 0, 1, 0, 0, 0, 1};
    auto bytes = std::make_shared<std::vector<std::uint8_t>>(sizeof identity);
    std::memcpy(bytes->data(), identity, sizeof identity);
    return bytes;
}

class ColorMatrixFilter final : public EngineFilter {
public:
    ColorMatrixFilter() : EngineFilter(Filters::colorMatrix) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::image, InputKind::Image, ImagePtr{}, {},
                     "the picture to adjust; nil gives a nil output");
        declareInput(Inputs::colorMatrix, InputKind::Data, identityMatrixData(), {},
                     "nine finite floats, row-major: the linear colour's new red, green and blue as sums "
                     "of the old; alpha is kept. Any other size or a value that is not finite gives a "
                     "nil output");
    }
    ImagePtr build() const override {
        Data data = dataInput(Inputs::colorMatrix);
        std::array<float, kEntries> matrix{};
        if (!data || data->size() != sizeof matrix) {
            Foundation::log("ImageEngine: %s matrix of %zu bytes, %zu expected", name().c_str(),
                            data ? data->size() : std::size_t(0), sizeof matrix);
            return nullptr;
        }
        std::memcpy(matrix.data(), data->data(), sizeof matrix);
        for (float entry : matrix) {
            if (!std::isfinite(entry)) {
                Foundation::log("ImageEngine: %s matrix holds a value that is not finite", name().c_str());
                return nullptr;
            }
        }
        NodePtr input = nodeOf(imageInput(Inputs::image));
        return imageWithNode(appendColorMatrixKernel(input, std::make_shared<ColorMatrixKernel>(matrix)));
    }
};

} // namespace

NodePtr appendColorMatrixKernel(const NodePtr& input, PointKernelPtr kernel) {
    auto chain = std::dynamic_pointer_cast<const PointNode>(input);
    const std::optional<std::array<float, kEntries>> after = kernel ? kernel->colorMatrix() : std::nullopt;
    const std::optional<std::array<float, kEntries>> before =
        chain && !chain->kernels().empty() ? chain->kernels().back()->colorMatrix() : std::nullopt;
    if (!after || !before)
        return appendPointKernel(input, std::move(kernel));
    // The product in double precision, rounded once: a step that scales by a power of two, or by 1,
    // gives the other's matrix exactly.
    std::array<float, kEntries> product{};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) {
            double sum = 0;
            for (int k = 0; k < 3; ++k)
                sum += double((*after)[i * 3 + k]) * double((*before)[k * 3 + j]);
            product[i * 3 + j] = static_cast<float>(sum);
        }
    }
    // A gain beyond single precision (an exposure of hundreds of stops) stays a step of its own.
    auto finite = [](const std::array<float, kEntries>& m) {
        return std::all_of(m.begin(), m.end(), [](float v) { return std::isfinite(v); });
    };
    if (!finite(*after) || !finite(*before) || !finite(product))
        return appendPointKernel(input, std::move(kernel));
    std::vector<PointKernelPtr> kernels = chain->kernels();
    kernels.back() = std::make_shared<ColorMatrixKernel>(product);
    return std::make_shared<PointNode>(chain->inputs()[0], std::move(kernels));
}

std::shared_ptr<Filter> makeColorMatrixFilter() {
    return makePreparedFilter<ColorMatrixFilter>();
}

} // namespace ImageEngine
#endif
