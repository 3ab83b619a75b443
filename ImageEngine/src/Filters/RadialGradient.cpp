// "CIRadialGradient": two colours blended by the distance to a centre; infinite.
#include "Filters/Nodes.h"
#include "Pipeline/Srgb.h"

#include <cmath>

namespace ImageEngine {

namespace {

struct LinearColor {
    float r, g, b, a;
};

LinearColor linearColor(const Color& c) {
    return {static_cast<float>(srgbDecodeExact(c.red)), static_cast<float>(srgbDecodeExact(c.green)),
            static_cast<float>(srgbDecodeExact(c.blue)), static_cast<float>(std::clamp(c.alpha, 0.0, 1.0))};
}

class RadialGradientNode final : public Node {
public:
    RadialGradientNode(Graphics::Point centre, double radius0, double radius1, LinearColor c0, LinearColor c1)
        : Node(Graphics::Rect::infinite()), m_centre(centre), m_radius0(radius0), m_radius1(radius1),
          m_c0(c0), m_c1(c1) {}

    void render(const PixelSpan& out, RenderState&) const override {
        const bool step = m_radius0 == m_radius1;
        const double span = m_radius1 - m_radius0;
        for (int y = out.rect.y; y < out.rect.maxY(); ++y) {
            float* p = out.row(y);
            double dy = y + 0.5 - m_centre.y;
            for (int x = out.rect.x; x < out.rect.maxX(); ++x, p += 4) {
                double dx = x + 0.5 - m_centre.x;
                double d = std::sqrt(dx * dx + dy * dy);
                // With the radii swapped, t runs backwards: colour 1 inside r1, colour 0 beyond r0.
                float t = step ? (d < m_radius0 ? 0.0f : 1.0f)
                               : static_cast<float>(std::clamp((d - m_radius0) / span, 0.0, 1.0));
                float alpha = m_c0.a + (m_c1.a - m_c0.a) * t;
                p[0] = (m_c0.r + (m_c1.r - m_c0.r) * t) * alpha;
                p[1] = (m_c0.g + (m_c1.g - m_c0.g) * t) * alpha;
                p[2] = (m_c0.b + (m_c1.b - m_c0.b) * t) * alpha;
                p[3] = alpha;
            }
        }
    }

private:
    Graphics::Point m_centre;
    double m_radius0, m_radius1;
    LinearColor m_c0, m_c1;
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
        return imageWithNode(std::make_shared<RadialGradientNode>(
            Graphics::Point{centre.values[0], centre.values[1]}, numberInput("inputRadius0"),
            numberInput("inputRadius1"), linearColor(colorInput("inputColor0")),
            linearColor(colorInput("inputColor1"))));
    }
};

} // namespace

std::shared_ptr<Filter> makeRadialGradientFilter() {
    return makePreparedFilter<RadialGradientFilter>();
}

} // namespace ImageEngine
