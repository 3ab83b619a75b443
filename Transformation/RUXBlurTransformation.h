#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXImageTransformation.h>
#include <Transformation/RUXTransformationDeclaration.h>
#include <mutex>

// The focus blur: a sharp circle around a point, a soft ring, and a lightly blurred rest. The
// point is in unit coordinates from the top-left; both radii follow the image width and scale.
//
// Nothing clamps the point or the scale. A point outside 0 … 1 puts the centre off the picture; a
// scale of 0 makes both radii 0, so the full result is blurred everywhere and the quick one veiled
// everywhere; a negative scale makes both radii negative, which the gradient reads as inside
// everywhere, so both results leave the picture as it was. Huge values are held at ±1e30 before
// they reach the engine. A point or scale that is not finite places no region: both results are
// the input image itself.
class RUX_API RUXBlurTransformation final : public RUXPositionalTransformation {
    RUX_TRANSFORMATION_CLASS(RUXBlurTransformation)
public:
    // Where the sharp region sits for an image of a given size, in image coordinates (y up).
    struct Geometry {
        Graphics::Point center;
        double innerRadius = 0;
        double outerRadius = 0;
        // False when the point or the scale is not a finite number: there is no region to place.
        bool isPlaced = true;
    };
    static constexpr double kBlurRadius = 2.5;

    // Its parameters, slot and sort order, said once.
    static const RUXTransformationDeclaration& declaration();
    RUXTransformationType type() const override { return declaration().type; }
    double sortOrder() const override { return declaration().sortOrder; }

    Graphics::Point point() const override;
    void setPoint(Graphics::Point point) override;
    double scale() const override;
    void setScale(double scale) override;

    // The geometry for an image extent (which starts at the origin). Any thread.
    Geometry geometryForExtent(const Graphics::Rect& extent) const;

    // Sharp over blurred through the radial mask.
    ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image,
                                          RUXImageMetadata& metadata) override;
    // The photo with white at 85 % laid over the out-of-focus area; no blur is computed.
    ImageEngine::ImagePtr quickResultFromImage(const ImageEngine::ImagePtr& image,
                                               RUXImageMetadata& metadata) override;
    RUXTransformationPtr copy() const override;

    // The uniformly blurred copy, edge-clamped so the border does not darken, cropped to the extent.
    static ImageEngine::ImagePtr blurredImageWithSource(const ImageEngine::ImagePtr& image);
    // Green 1 inside the inner circle falling to 0 at the outer one, cropped to the extent;
    // nullptr for a nullptr image or a point or scale that is not finite.
    ImageEngine::ImagePtr createRadialMaskForImage(const ImageEngine::ImagePtr& image) const;

private:
    mutable std::mutex m_mutex;
    // Both guarded by m_mutex.
    double m_scale = 1.0;
    Graphics::Point m_point{0.5, 0.5};
};
