#pragma once

#include <Foundation/Export.h>
#include <Graphics/Geometry.h>
#include <ImageEngine/ToneCurve.h>
#include <Transformation/RUXImageTransformation.h>
#include <Transformation/RUXTransformationDeclaration.h>
#include <mutex>
#include <vector>

// A tone curve on the encoded value of red, green and blue alike, through the control points given
// (x the value in, y the value out, both 0 … 1), as a monotone cubic that never overshoots. The ends
// (0, 0) and (1, 1) hold where no point is given at x = 0 or x = 1.
//
// The points are stored as given; the curve holds coordinates to 0 … 1 and drops points that are
// not finite. No points, or only points on the diagonal, leave the picture as it was: the result is
// the input image itself. Colour beyond 0 … 1 (an exposure pushed past white) is held to the
// curve's ends.
class RUX_API RUXToneCurveTransformation final : public RUXImageTransformation {
    RUX_TRANSFORMATION_CLASS(RUXToneCurveTransformation)
public:
    // Its parameter, slot and sort order, said once.
    static const RUXTransformationDeclaration& declaration();
    RUXTransformationType type() const override { return declaration().type; }
    double sortOrder() const override { return declaration().sortOrder; }

    // The control points, in the order given. Any thread.
    std::vector<Graphics::Point> points() const;
    void setPoints(std::vector<Graphics::Point> points);
    // The curve the points make. Any thread.
    ImageEngine::ToneCurve curve() const;

    ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image,
                                          RUXImageMetadata& metadata) override;
    RUXTransformationPtr copy() const override;

private:
    mutable std::mutex m_mutex;
    // Guarded by m_mutex.
    std::vector<Graphics::Point> m_points;
};
