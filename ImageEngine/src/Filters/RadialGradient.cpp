// "CIRadialGradient": two colours blended by the distance to a centre; infinite.
#include "Filters/Nodes.h"
#include "Pipeline/Simd.h"
#include "Pipeline/Srgb.h"

#include <cmath>

namespace ImageEngine {

namespace {

// Straight linear colour and alpha of a filter colour.
void setLinearColor(const Color& c, float* out) {
    out[0] = static_cast<float>(srgbDecodeExact(c.red));
    out[1] = static_cast<float>(srgbDecodeExact(c.green));
    out[2] = static_cast<float>(srgbDecodeExact(c.blue));
    out[3] = static_cast<float>(std::clamp(c.alpha, 0.0, 1.0));
}

class RadialGradientNode final : public Node {
public:
    explicit RadialGradientNode(const Simd::RadialGradient& gradient)
        : Node(Graphics::Rect::infinite()), m_gradient(gradient) {}

    void render(const PixelSpan& out, RenderState&) const override {
        for (int y = out.rect.y; y < out.rect.maxY(); ++y)
            Simd::radialGradientRow(m_gradient, out.rect.x, y, static_cast<std::size_t>(out.rect.w),
                                    out.row(y));
    }

private:
    Simd::RadialGradient m_gradient;
};

class RadialGradientFilter final : public EngineFilter {
public:
    RadialGradientFilter() : EngineFilter("CIRadialGradient") {}

protected:
    void declareInputs() override {
        declareInput("inputCenter", Vector::make(150, 150));
        declareInput("inputRadius0", 5.0);
        declareInput("inputRadius1", 100.0);
        declareInput("inputColor0", Color{1, 1, 1, 1});
        declareInput("inputColor1", Color{0, 0, 0, 1});
    }
    ImagePtr build() const override {
        Vector centre = vectorInput("inputCenter");
        Simd::RadialGradient gradient{};
        gradient.centreX = static_cast<float>(centre.values[0]);
        gradient.centreY = static_cast<float>(centre.values[1]);
        gradient.radius0 = static_cast<float>(numberInput("inputRadius0"));
        gradient.radius1 = static_cast<float>(numberInput("inputRadius1"));
        setLinearColor(colorInput("inputColor0"), gradient.color0);
        setLinearColor(colorInput("inputColor1"), gradient.color1);
        return imageWithNode(std::make_shared<RadialGradientNode>(gradient));
    }
};

} // namespace

std::shared_ptr<Filter> makeRadialGradientFilter() {
    return makePreparedFilter<RadialGradientFilter>();
}

} // namespace ImageEngine
