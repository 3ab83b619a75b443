// Filters::gaussianBlur: a Gaussian convolution, separable into a horizontal and a vertical pass.
// Outside its extent the input is transparent, so edges fade; the output reaches 3 × radius (rounded
// up) beyond the input on every side.
#undef HWY_TARGET_INCLUDE
#define HWY_TARGET_INCLUDE "Filters/GaussianBlur.cpp"
#include <hwy/foreach_target.h> // IWYU pragma: keep
#include <hwy/highway.h>

HWY_BEFORE_NAMESPACE();
namespace ImageEngine::HWY_NAMESPACE {
namespace hn = hwy::HWY_NAMESPACE;

// dst[i] = Σ weights[k] × sources[k][i] for i < count floats, for a kernel symmetric about its
// middle tap (taps odd): the passes in both directions.
void symmetricConvolve(const float* const* sources, const float* weights, int taps, float* dst,
                       std::size_t count) {
    const hn::ScalableTag<float> d;
    const std::size_t n = hn::Lanes(d);
    const int middle = taps / 2;
    const float* centre = sources[middle];
    // Two vectors per step keep both multiply-add pipes busy; mirrored taps share one weight, so
    // each pair costs one add and one multiply-add.
    std::size_t i = 0;
    for (; i + 2 * n <= count; i += 2 * n) {
        const auto w = hn::Set(d, weights[middle]);
        auto first = hn::Mul(hn::LoadU(d, centre + i), w);
        auto second = hn::Mul(hn::LoadU(d, centre + i + n), w);
        for (int k = 0; k < middle; ++k) {
            const float* low = sources[k];
            const float* high = sources[taps - 1 - k];
            const auto wk = hn::Set(d, weights[k]);
            first = hn::MulAdd(hn::Add(hn::LoadU(d, low + i), hn::LoadU(d, high + i)), wk, first);
            second = hn::MulAdd(hn::Add(hn::LoadU(d, low + i + n), hn::LoadU(d, high + i + n)), wk, second);
        }
        hn::StoreU(first, d, dst + i);
        hn::StoreU(second, d, dst + i + n);
    }
    // The rest one lane at a time with the same operations, so a pixel's value never depends on
    // where a tile's edge puts it.
    const hn::CappedTag<float, 1> d1;
    for (; i < count; ++i) {
        auto sum = hn::Mul(hn::LoadU(d1, centre + i), hn::Set(d1, weights[middle]));
        for (int k = 0; k < middle; ++k)
            sum = hn::MulAdd(hn::Add(hn::LoadU(d1, sources[k] + i), hn::LoadU(d1, sources[taps - 1 - k] + i)),
                             hn::Set(d1, weights[k]), sum);
        hn::StoreU(sum, d1, dst + i);
    }
}

} // namespace ImageEngine::HWY_NAMESPACE
HWY_AFTER_NAMESPACE();

#if HWY_ONCE
#include "Filters/Nodes.h"

#include <cmath>
#include <vector>

namespace ImageEngine {

HWY_EXPORT(symmetricConvolve);

namespace {

class GaussianBlurNode final : public Node {
public:
    GaussianBlurNode(const NodePtr& input, double sigma, int reach, std::vector<float> weights)
        : Node(input->extent().isInfinite() ? input->extent() : input->extent().insetBy(-reach, -reach),
               {input}),
          m_reach(reach), m_weights(std::move(weights)) {
        (void)sigma;
    }

    PixelRect regionOfInterest(std::size_t, const PixelRect& rect) const override {
        return rect.grownBy(m_reach);
    }

    bool describe(ContentKey& key) const override {
        key.add(m_reach);
        key.add(std::span<const float>(m_weights));
        return true;
    }

    void render(const PixelSpan& out, RenderState& state) const override {
        const PixelRect& rect = out.rect;
        PixelRect sourceRect = rect.grownBy(m_reach);
        std::unique_ptr<ScratchPool::Buffer> sourceBuffer;
        const PixelSpan source = state.fetchInput(*inputs()[0], sourceRect, sourceBuffer);
        // Horizontal pass over every source row the vertical pass needs.
        PixelRect middleRect{rect.x, sourceRect.y, rect.w, sourceRect.h};
        ScratchPool::Buffer middleBuffer(state.scratch(), static_cast<std::size_t>(middleRect.w) *
                                                              static_cast<std::size_t>(middleRect.h) * 4);
        PixelSpan middle = middleBuffer.span(middleRect);
        const int taps = 2 * m_reach + 1;
        const float* w = m_weights.data();
        std::vector<const float*> sources(static_cast<std::size_t>(taps));
        const std::size_t floats = static_cast<std::size_t>(rect.w) * 4;
        for (int y = middleRect.y; y < middleRect.maxY(); ++y) {
            // Tap k of an output pixel is k pixels to the right in the source row.
            const float* s = source.row(y);
            for (int k = 0; k < taps; ++k)
                sources[static_cast<std::size_t>(k)] = s + k * 4;
            HWY_DYNAMIC_DISPATCH(symmetricConvolve)(sources.data(), w, taps, middle.row(y), floats);
        }
        // Vertical pass into the output: tap k is row y − reach + k.
        for (int y = rect.y; y < rect.maxY(); ++y) {
            for (int k = 0; k < taps; ++k)
                sources[static_cast<std::size_t>(k)] = middle.row(y - m_reach + k);
            HWY_DYNAMIC_DISPATCH(symmetricConvolve)(sources.data(), w, taps, out.row(y), floats);
        }
    }

private:
    int m_reach;
    std::vector<float> m_weights;
};

class GaussianBlurFilter final : public EngineFilter {
public:
    GaussianBlurFilter() : EngineFilter(Filters::gaussianBlur) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::image, InputKind::Image, ImagePtr{}, {},
                     "the picture to blur; nil gives a nil output");
        declareInput(Inputs::radius, InputKind::Number, 10.0, {0.01, 100},
                     "the standard deviation in pixels; at or below 0.01 the input is returned as it is, "
                     "above 100 the blur is that of 100 (capped so that a tile's margin stays small)");
    }
    ImagePtr build() const override {
        return imageWithNode(
            makeGaussianBlurNode(nodeOf(imageInput(Inputs::image)), numberInput(Inputs::radius)));
    }
};

} // namespace

NodePtr makeGaussianBlurNode(const NodePtr& input, double sigma) {
    if (!input)
        return nullptr;
    // Below a hundredth of a pixel no tap but the centre carries weight.
    if (!(sigma > 0.01))
        return input;
    // Beyond a few hundred pixels the kernel is flat over any tile; cap it so that tiles stay small.
    sigma = std::min(sigma, 100.0);
    // Three standard deviations hold all but 0.3 % of the weight: below one 8-bit step.
    int reach = static_cast<int>(std::ceil(3 * sigma));
    std::vector<float> weights(2 * reach + 1);
    double total = 0;
    for (int k = -reach; k <= reach; ++k)
        total += std::exp(-(k * k) / (2 * sigma * sigma));
    for (int k = -reach; k <= reach; ++k)
        weights[k + reach] = static_cast<float>(std::exp(-(k * k) / (2 * sigma * sigma)) / total);
    return std::make_shared<GaussianBlurNode>(input, sigma, reach, std::move(weights));
}

std::shared_ptr<Filter> makeGaussianBlurFilter() {
    return makePreparedFilter<GaussianBlurFilter>();
}

} // namespace ImageEngine
#endif
