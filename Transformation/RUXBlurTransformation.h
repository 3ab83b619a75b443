#pragma once

#include <Transformation/RUXImageTransformation.h>
#include <mutex>

// The focus blur: a sharp circle around a point, a soft ring, and a lightly blurred rest. The
// point is in unit coordinates from the top-left; both radii follow the image width and scale.
class RUXBlurTransformation final : public RUXPositionalTransformation {
    RUX_TRANSFORMATION_CLASS(RUXBlurTransformation)
public:
    // Where the sharp region sits for an image of a given size, in image coordinates (y up).
    struct Geometry {
        Graphics::Point center;
        double innerRadius = 0;
        double outerRadius = 0;
    };
    static constexpr double kBlurRadius = 2.5;

    RUXTransformationType type() const override { return RUXTransformationTypeBlur; }
    double sortOrder() const override { return 100.0; }

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
    // Green 1 inside the inner circle falling to 0 at the outer one, cropped to the extent.
    ImageEngine::ImagePtr createRadialMaskForImage(const ImageEngine::ImagePtr& image) const;

private:
    mutable std::mutex m_mutex;
    // Both guarded by m_mutex.
    double m_scale = 1.0;
    Graphics::Point m_point{0.5, 0.5};
};
