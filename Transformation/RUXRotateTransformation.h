#pragma once

#include <Foundation/Export.h>
#include <Graphics/AffineTransform.h>
#include <Transformation/RUXImageTransformation.h>
#include <Transformation/RUXTransformationDeclaration.h>
#include <mutex>

// The quarter turns and mirror flips the user applied, folded into one matrix. Each request acts
// first, in the frame of the unrotated source; the two sign fields translate a request made on
// the displayed picture into that frame (after a flip a turn runs the other way, after a turn a
// mirror crosses the other axis).
class RUX_API RUXRotateTransformation final : public RUXImageTransformation {
    RUX_TRANSFORMATION_CLASS(RUXRotateTransformation)
public:
    // Its parameters, slot and sort order, said once.
    static const RUXTransformationDeclaration& declaration();
    RUXTransformationType type() const override { return declaration().type; }
    double sortOrder() const override { return declaration().sortOrder; }
    std::optional<bool> isAppliedToThumbnail() const override { return true; }

    // Main thread (the rotate screen); no rendering.
    void rotateClockwise90Degrees();
    void rotateCounterClockwise90Degrees();
    void flipHorizontal();
    void flipVertical();

    // Applies the matrix about the origin and records it (replacing what the record held). A matrix
    // with no inverse (singular, or not finite), which only setTransformMatrix can make, leaves the
    // image unchanged and records the identity, with one log line.
    ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image,
                                          RUXImageMetadata& metadata) override;
    RUXTransformationPtr copy() const override;

    Graphics::AffineTransform transformMatrix() const;
    void setTransformMatrix(const Graphics::AffineTransform& matrix);
    int flipDirection() const;
    void setFlipDirection(int direction);
    int rotateDirection() const;
    void setRotateDirection(int direction);

private:
    void rotate(double angle);
    void flip(double sx, double sy);

    mutable std::mutex m_mutex;
    // All guarded by m_mutex.
    int m_flipDirection = 1;
    int m_rotateDirection = 1;
    Graphics::AffineTransform m_transformMatrix = Graphics::AffineTransform::identity();
};
