#include <Manager/RUXRenderFormula.h>
#include <Transformation/RUXTransformationRegistry.h>

namespace {

// The edits that move, turn or cut the picture without changing its colours.
bool isGeometry(const RUXImageTransformation& transformation) {
    if (transformation.type() == RUXTransformationTypeRotate ||
        transformation.type() == RUXTransformationTypeCrop) {
        return true;
    }
    const RUXTransformationDeclaration* declaration =
        RUXTransformationRegistry::declarationOf(transformation.transformationClass());
    return declaration && declaration->family == RUXEditFamily::Geometry;
}

} // namespace

std::shared_ptr<RUXRenderFormula> RUXRenderFormula::create(ImageEngine::ImagePtr originalImage,
                                                           RUXTransformationList transformations,
                                                           RUXPreviewMode previewMode,
                                                           const RUXClass* previewTransformationClass,
                                                           double screenScale) {
    std::shared_ptr<RUXRenderFormula> formula(new RUXRenderFormula);
    formula->m_originalImage = std::move(originalImage);
    formula->m_transformations = std::move(transformations);
    formula->m_hasTransformations = true;
    formula->m_previewMode = previewMode;
    formula->m_previewTransformationClass = previewTransformationClass;
    formula->m_screenScale = screenScale;
    return formula;
}

std::shared_ptr<RUXRenderFormula>
RUXRenderFormula::createWithoutTransformations(ImageEngine::ImagePtr originalImage) {
    std::shared_ptr<RUXRenderFormula> formula(new RUXRenderFormula);
    formula->m_originalImage = std::move(originalImage);
    return formula;
}

ImageEngine::ImagePtr RUXRenderFormula::fold(RUXImageMetadata& metadata, bool quick) const {
    ImageEngine::ImagePtr image = m_originalImage;
    for (const auto& transformation : m_transformations) {
        if (!transformation) {
            continue;
        }
        const bool previewed = &transformation->transformationClass() == m_previewTransformationClass;
        // Everything below the edit a slider moves stays the same from one step to the next, so the
        // renderer keeps it. Not below a turn, a crop or a straightening: their pictures are mostly
        // the photo's bytes copied, cheaper than kept floats read back, and a straightening's slanted
        // reads through a picture of kept floats miss the cache on nearly every row.
        if (previewed && image && !isGeometry(*transformation)) {
            image = image->imageByKeepingPixels();
        }
        // Exact class: a subclass of the preview class gives its full result.
        if (quick && previewed) {
            image = transformation->quickResultFromImage(image, metadata);
        } else {
            image = transformation->resultFromImage(image, metadata);
        }
    }
    return image;
}

void RUXRenderFormula::processLocked() {
    auto metadata = std::make_shared<RUXImageMetadata>();
    metadata->setScreenScale(m_screenScale);
    metadata->setResolutionScale(m_resolutionScale);
    m_resultantImage = fold(*metadata, m_previewMode == RUXPreviewModeQuick);
    m_metadata = std::move(metadata);
    m_processed = true;
}

void RUXRenderFormula::processFormula() {
    std::lock_guard lock(m_mutex);
    processLocked();
}

ImageEngine::ImagePtr RUXRenderFormula::resultantImage() {
    if (!m_hasTransformations) {
        return m_originalImage;
    }
    std::lock_guard lock(m_mutex);
    if (!m_processed) {
        processLocked();
    }
    return m_resultantImage;
}

std::shared_ptr<const RUXImageMetadata> RUXRenderFormula::metadata() {
    std::lock_guard lock(m_mutex);
    if (!m_metadata) {
        processLocked();
    }
    return m_metadata;
}

std::shared_ptr<const Graphics::BitmapImage> RUXRenderFormula::renderedImage() const {
    std::lock_guard lock(m_mutex);
    return m_renderedImage;
}

void RUXRenderFormula::setRenderedImage(std::shared_ptr<const Graphics::BitmapImage> image) {
    std::lock_guard lock(m_mutex);
    m_renderedImage = std::move(image);
}

std::shared_ptr<const Graphics::BitmapImage> RUXRenderFormula::ensureRenderedImage(
    const std::function<std::shared_ptr<const Graphics::BitmapImage>(RUXRenderFormula&)>& render) {
    if (auto image = renderedImage()) {
        return image;
    }
    std::lock_guard renderLock(m_renderMutex);
    if (auto image = renderedImage()) {
        return image;
    }
    auto image = render(*this);
    if (image) {
        setRenderedImage(image);
    }
    return image;
}
