#include <Foundation/Log.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXEngineValues.h>
#include <Transformation/RUXImageMetadata.h>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXCropTransformation)

void RUXCropTransformation::setCropRect(const Graphics::Rect& cropRect, const Graphics::Rect& originalRect,
                                        const RUXImageMetadata& metadata) {
    if (originalRect.origin.x != 0 || originalRect.origin.y != 0) {
        Foundation::log("Original rectangle must start at (0, 0) but starts at (%f, %f)",
                        originalRect.origin.x, originalRect.origin.y);
    }
    // Undo the normalisation, then the rotation and flips. A singular matrix cannot come from
    // quarter turns and mirrors; treat it as no rotation rather than storing garbage.
    auto unnormalize =
        Graphics::AffineTransform::makeTranslation(metadata.translateX(), metadata.translateY());
    auto unrotate =
        metadata.appliedAffineTransform().inverted().value_or(Graphics::AffineTransform::identity());
    Graphics::Rect crop = unrotate.applyToRect(unnormalize.applyToRect(cropRect));
    Graphics::Rect original = unrotate.applyToRect(unnormalize.applyToRect(originalRect));
    std::lock_guard lock(m_mutex);
    m_cropRect = crop;
    m_originalRect = original;
}

ImageEngine::ImagePtr RUXCropTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                             RUXImageMetadata& metadata) {
    if (!image) {
        return nullptr;
    }
    Graphics::Rect crop = cropRect(), original = originalRect();
    if (original.width() == 0 || original.height() == 0 || !RUXIsFinite(original) || !RUXIsFinite(crop)) {
        return image;
    }
    const Graphics::AffineTransform& rotation = metadata.appliedAffineTransform();
    auto unrotate = rotation.inverted().value_or(Graphics::AffineTransform::identity());
    // The size of the image being rendered, in the unrotated frame.
    Graphics::Rect extent = image->extent();
    if (extent.isNull()) {
        return image;
    }
    Graphics::Size size = unrotate.applyToRect(Graphics::Rect(0, 0, extent.width(), extent.height())).size;
    double fx = size.width / original.width(), fy = size.height / original.height();
    Graphics::Rect scaled(crop.origin.x * fx, crop.origin.y * fy, crop.size.width * fx,
                          crop.size.height * fy);
    Graphics::Rect rotated = rotation.applyToRect(scaled);
    return RUXFilterOutput("CICrop", {{RUXFilterKey::image, image},
                                      {RUXFilterKey::rectangle, ImageEngine::Vector::makeWithRect(rotated)}});
}

RUXTransformationPtr RUXCropTransformation::copy() const {
    auto result = std::make_shared<RUXCropTransformation>();
    std::lock_guard lock(m_mutex);
    result->m_cropRect = m_cropRect;
    result->m_originalRect = m_originalRect;
    return result;
}

Graphics::Rect RUXCropTransformation::cropRect() const {
    std::lock_guard lock(m_mutex);
    return m_cropRect;
}
void RUXCropTransformation::setCropRect(const Graphics::Rect& rect) {
    std::lock_guard lock(m_mutex);
    m_cropRect = rect;
}
Graphics::Rect RUXCropTransformation::originalRect() const {
    std::lock_guard lock(m_mutex);
    return m_originalRect;
}
void RUXCropTransformation::setOriginalRect(const Graphics::Rect& rect) {
    std::lock_guard lock(m_mutex);
    m_originalRect = rect;
}
