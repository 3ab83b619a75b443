#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXImageTransformation.h>
#include <Transformation/RUXTransformationDeclaration.h>
#include <atomic>

// Highlights and shadows: lifts (positive) or lowers (negative) the tones above middle grey and
// below it, each −1 … 1, neutral 0, with the other side nearly left alone. A pixel moves by the tone
// of its neighbourhood (an edge-aware mask of the luminance whose size is a fixed fraction of the
// picture's, so the three resolutions agree), so an edge gets no halo and two tones along a ramp
// never change places. Colour ratios are kept.
//
// Both zero leave the picture as it is, to the byte. Values beyond ±1 are held at ±1; a value that
// is not finite leaves the picture unchanged, with one log line per render.
class RUX_API RUXHighlightsShadowsTransformation final : public RUXImageTransformation {
    RUX_TRANSFORMATION_CLASS(RUXHighlightsShadowsTransformation)
public:
    // The neighbourhood's standard deviation, as a fraction of the picture's longer side.
    static constexpr double kRadiusFraction = 0.005;

    static const RUXTransformationDeclaration& declaration();
    RUXTransformationType type() const override { return declaration().type; }
    double sortOrder() const override { return declaration().sortOrder; }

    float highlights() const { return m_highlights.load(std::memory_order_relaxed); }
    void setHighlights(float value) { m_highlights.store(value, std::memory_order_relaxed); }
    float shadows() const { return m_shadows.load(std::memory_order_relaxed); }
    void setShadows(float value) { m_shadows.store(value, std::memory_order_relaxed); }

    ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image,
                                          RUXImageMetadata& metadata) override;
    RUXTransformationPtr copy() const override;

private:
    std::atomic<float> m_highlights{0};
    std::atomic<float> m_shadows{0};
};
