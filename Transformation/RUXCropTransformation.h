#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXImageTransformation.h>
#include <Transformation/RUXTransformationDeclaration.h>
#include <mutex>

// The framing chosen on the crop screen, kept in the frame of the unrotated source together with
// the size of that frame, so that one crop serves every resolution and turns with later rotations.
class RUX_API RUXCropTransformation final : public RUXImageTransformation {
    RUX_TRANSFORMATION_CLASS(RUXCropTransformation)
public:
    // Its parameters, slot and sort order, said once.
    static const RUXTransformationDeclaration& declaration();
    RUXTransformationType type() const override { return declaration().type; }
    double sortOrder() const override { return declaration().sortOrder; }
    std::optional<bool> isAppliedToThumbnail() const override { return true; }

    // cropRect and originalRect are in the normalised, y-up coordinates of the picture the user
    // framed; metadata is the record of the render that made that picture. Stores both mapped
    // back into the unrotated source frame. originalRect should start at (0, 0); if it does not,
    // one line is logged and the rectangles are used as given. Main thread.
    void setCropRect(const Graphics::Rect& cropRect, const Graphics::Rect& originalRect,
                     const RUXImageMetadata& metadata);

    // Crops to the stored framing rescaled to the image being rendered and mapped through the
    // render's rotation. Nothing is clamped: a framing that reaches past the picture keeps the part
    // inside it (also when it is too large to rescale in double precision), and one wholly outside
    // leaves an empty image (which renders to nullptr). An instance whose originalRect has a zero
    // side, or whose rectangles are not finite, has no framing and leaves the image unchanged
    // (rather than dividing by zero or cropping to NaN).
    ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image,
                                          RUXImageMetadata& metadata) override;
    RUXTransformationPtr copy() const override;

    Graphics::Rect cropRect() const;
    void setCropRect(const Graphics::Rect& rect);
    Graphics::Rect originalRect() const;
    void setOriginalRect(const Graphics::Rect& rect);

private:
    mutable std::mutex m_mutex;
    // Both guarded by m_mutex.
    Graphics::Rect m_cropRect;
    Graphics::Rect m_originalRect;
};
