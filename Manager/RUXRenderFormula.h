#pragma once

#include <Foundation/Export.h>
#include <Graphics/BitmapImage.h>
#include <Transformation/RUXImageMetadata.h>
#include <Transformation/RUXImageTransformation.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

using RUXTransformationList = std::vector<RUXTransformationPtr>;

enum class RUXPreviewMode : std::int64_t {
    // Transformations of exactly the preview class give their quick result.
    Quick = 0,
    // Every transformation gives its full result; so does any code but 0.
    HighQuality = 1,
};
inline constexpr RUXPreviewMode RUXPreviewModeQuick = RUXPreviewMode::Quick;
inline constexpr RUXPreviewMode RUXPreviewModeHighQuality = RUXPreviewMode::HighQuality;

// One render request: a source image, its own copy of a transformation list (the same objects,
// not copies of them) and a preview mode. The result, the metadata record and the rendered bitmap
// are each made once, even when several threads ask at the same time; a formula is otherwise an
// immutable value and may be shared freely.
class RUX_API RUXRenderFormula {
public:
    // A formula over originalImage with its own copy of the list. Never nullptr; the caller owns
    // it. Any thread.
    static std::shared_ptr<RUXRenderFormula> create(ImageEngine::ImagePtr originalImage,
                                                    RUXTransformationList transformations,
                                                    RUXPreviewMode previewMode = RUXPreviewModeHighQuality,
                                                    const RUXClass* previewTransformationClass = nullptr,
                                                    double screenScale = 0);
    // A formula with no list at all: its result is the source image itself.
    static std::shared_ptr<RUXRenderFormula>
    createWithoutTransformations(ImageEngine::ImagePtr originalImage);

    const ImageEngine::ImagePtr& originalImage() const { return m_originalImage; }
    // nullptr for a formula made without a list.
    const RUXTransformationList* transformations() const {
        return m_hasTransformations ? &m_transformations : nullptr;
    }
    RUXPreviewMode previewMode() const { return m_previewMode; }
    const RUXClass* previewTransformationClass() const { return m_previewTransformationClass; }
    // The screen scale handed to the transformations through the record; 0: the main screen's.
    double screenScale() const { return m_screenScale; }
    // The source's pixels per pixel of the photo's own size, handed to the transformations through
    // the record; 1 unless set. Set it before the formula is first processed or shared.
    double resolutionScale() const { return m_resolutionScale; }
    void setResolutionScale(double scale) { m_resolutionScale = scale; }

    // The folded recipe, computed at the first call; the source image when there is no list
    // (then no record is made). May be nullptr when a transformation answered none. Any thread.
    ImageEngine::ImagePtr resultantImage();
    // The record the transformations filled in, processing the formula first if needed (also for
    // a formula without a list, which then yields the default record). Never nullptr. Any thread.
    std::shared_ptr<const RUXImageMetadata> metadata();
    // Recomputes result and record from scratch. Any thread.
    void processFormula();

    // The bitmap the renderer made from the result, or nullptr until then. Any thread.
    std::shared_ptr<const Graphics::BitmapImage> renderedImage() const;
    void setRenderedImage(std::shared_ptr<const Graphics::BitmapImage> image);
    // The stored bitmap, or the one render makes now and stores; render runs at most once per
    // formula however many threads arrive together (the others wait and share its bitmap). A
    // nullptr answer is not stored, so a later call tries again. Any thread.
    std::shared_ptr<const Graphics::BitmapImage> ensureRenderedImage(
        const std::function<std::shared_ptr<const Graphics::BitmapImage>(RUXRenderFormula&)>& render);

private:
    RUXRenderFormula() = default;
    // Caller holds m_mutex.
    void processLocked();
    ImageEngine::ImagePtr fold(RUXImageMetadata& metadata, bool quick) const;

    ImageEngine::ImagePtr m_originalImage;
    RUXTransformationList m_transformations;
    bool m_hasTransformations = false;
    RUXPreviewMode m_previewMode = RUXPreviewModeHighQuality;
    const RUXClass* m_previewTransformationClass = nullptr;
    double m_screenScale = 0;
    double m_resolutionScale = 1;

    mutable std::mutex m_mutex;
    // Guarded by m_mutex.
    bool m_processed = false;
    std::shared_ptr<RUXImageMetadata> m_metadata;
    ImageEngine::ImagePtr m_resultantImage;
    std::shared_ptr<const Graphics::BitmapImage> m_renderedImage;

    // Held while the bitmap is made, so that a second thread waits for the first one's bitmap.
    std::mutex m_renderMutex;
};

using RUXRenderFormulaPtr = std::shared_ptr<RUXRenderFormula>;
