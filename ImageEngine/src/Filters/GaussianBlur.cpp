// "CIGaussianBlur": separable Gaussian convolution, transparent outside the input.
#include "Filters/Nodes.h"
#include "Pipeline/Simd.h"

#include <cmath>
#include <vector>

namespace ImageEngine {

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
            Simd::symmetricConvolve(sources.data(), w, taps, middle.row(y), floats);
        }
        // Vertical pass into the output: tap k is row y − reach + k.
        for (int y = rect.y; y < rect.maxY(); ++y) {
            for (int k = 0; k < taps; ++k)
                sources[static_cast<std::size_t>(k)] = middle.row(y - m_reach + k);
            Simd::symmetricConvolve(sources.data(), w, taps, out.row(y), floats);
        }
    }

private:
    int m_reach;
    std::vector<float> m_weights;
};

class GaussianBlurFilter final : public EngineFilter {
public:
    GaussianBlurFilter() : EngineFilter("CIGaussianBlur") {}

protected:
    void declareInputs() override {
        declareInput("inputImage", ImagePtr{});
        declareInput("inputRadius", 10.0);
    }
    ImagePtr build() const override {
        NodePtr input = nodeOf(imageInput("inputImage"));
        if (!input)
            return nullptr;
        double sigma = numberInput("inputRadius");
        // Below a hundredth of a pixel no tap but the centre carries weight.
        if (!(sigma > 0.01))
            return imageWithNode(input);
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
        return imageWithNode(std::make_shared<GaussianBlurNode>(input, sigma, reach, std::move(weights)));
    }
};

} // namespace

std::shared_ptr<Filter> makeGaussianBlurFilter() {
    return makePreparedFilter<GaussianBlurFilter>();
}

} // namespace ImageEngine
