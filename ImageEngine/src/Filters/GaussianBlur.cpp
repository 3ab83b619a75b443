// "CIGaussianBlur": separable Gaussian convolution, transparent outside the input.
#include "Filters/Nodes.h"

#include <cmath>

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
        ScratchPool::Buffer sourceBuffer(state.scratch(), static_cast<std::size_t>(sourceRect.w) *
                                                              static_cast<std::size_t>(sourceRect.h) * 4);
        PixelSpan source = sourceBuffer.span(sourceRect);
        state.renderInput(*inputs()[0], source);
        // Horizontal pass over every source row the vertical pass needs.
        PixelRect middleRect{rect.x, sourceRect.y, rect.w, sourceRect.h};
        ScratchPool::Buffer middleBuffer(state.scratch(), static_cast<std::size_t>(middleRect.w) *
                                                              static_cast<std::size_t>(middleRect.h) * 4);
        PixelSpan middle = middleBuffer.span(middleRect);
        const int taps = 2 * m_reach + 1;
        const float* w = m_weights.data();
        for (int y = middleRect.y; y < middleRect.maxY(); ++y) {
            const float* s = source.row(y);
            float* d = middle.row(y);
            // One multiply-add sweep per tap, so the compiler keeps the row in vector registers.
            const int n = rect.w * 4;
            for (int i = 0; i < n; ++i)
                d[i] = s[i] * w[0];
            for (int k = 1; k < taps; ++k) {
                const float* shifted = s + k * 4;
                const float weight = w[k];
                for (int i = 0; i < n; ++i)
                    d[i] += shifted[i] * weight;
            }
        }
        // Vertical pass into the output.
        for (int y = rect.y; y < rect.maxY(); ++y) {
            float* d = out.row(y);
            for (int i = 0; i < rect.w * 4; ++i)
                d[i] = 0.0f;
            for (int k = 0; k < taps; ++k) {
                const float* s = middle.row(y - m_reach + k);
                float weight = w[k];
                for (int i = 0; i < rect.w * 4; ++i)
                    d[i] += s[i] * weight;
            }
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
