#include <Foundation/Log.h>
#include <Graphics/ImageContext.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXRecipe.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

class RUXEditManager::ChangeScope {
public:
    explicit ChangeScope(RUXEditManager& manager) : m_manager(manager) { ++m_manager.m_changeDepth; }
    ~ChangeScope() {
        if (--m_manager.m_changeDepth > 0 || !m_manager.m_changed) {
            return;
        }
        m_manager.m_changed = false;
        // A copy: the observer may replace itself.
        if (ChangeObserver observer = m_manager.m_changeObserver) {
            observer(m_manager);
        }
    }
    ChangeScope(const ChangeScope&) = delete;
    ChangeScope& operator=(const ChangeScope&) = delete;

private:
    RUXEditManager& m_manager;
};

namespace {

bool isSideways(Graphics::ImageOrientation orientation) {
    return orientation == Graphics::ImageOrientation::Left ||
           orientation == Graphics::ImageOrientation::Right ||
           orientation == Graphics::ImageOrientation::LeftMirrored ||
           orientation == Graphics::ImageOrientation::RightMirrored;
}

// What resizeImage draws into: the photo's upright size with the shorter side brought down to
// maxSize points (never enlarged), and that size in pixels at the given scale, as the drawing
// context rounds it. Empty for a photo with a zero side.
struct ResizeTarget {
    Graphics::Size points;
    int pixelWidth = 0;
    int pixelHeight = 0;
};

std::optional<ResizeTarget> resizeTarget(const Graphics::BitmapImage& image, double maxSize, double scale) {
    const Graphics::Size size = image.size();
    if (!(size.width > 0 && size.height > 0) || !(maxSize > 0) || !(std::isfinite(scale) && scale > 0)) {
        return std::nullopt;
    }
    // The shorter side comes down to maxSize; nothing is enlarged.
    const double factor = std::min(std::max(maxSize / size.width, maxSize / size.height), 1.0);
    ResizeTarget target;
    target.points = Graphics::Size{size.width * factor, size.height * factor};
    const double w = std::ceil(target.points.width * scale - 1e-9);
    const double h = std::ceil(target.points.height * scale - 1e-9);
    if (!(w >= 1 && h >= 1 && w <= 1e9 && h <= 1e9)) {
        Foundation::log("Resize: cannot make a %g x %g picture at scale %g", target.points.width,
                        target.points.height, scale);
        return std::nullopt;
    }
    target.pixelWidth = static_cast<int>(w);
    target.pixelHeight = static_cast<int>(h);
    return target;
}

// The stored pixel size a decode must reach so that every target pixel has one source pixel or
// more behind it: the target's, turned back to how the photo is stored.
std::pair<int, int> coveringSize(const Graphics::BitmapImage& image, const ResizeTarget& target) {
    if (isSideways(image.orientation())) {
        return {target.pixelHeight, target.pixelWidth};
    }
    return {target.pixelWidth, target.pixelHeight};
}

// Draws pixels (the photo as stored, at full or reduced size) upright into the target.
ImageEngine::ImagePtr drawResized(const Graphics::BitmapImage& image,
                                  std::shared_ptr<const Graphics::Bitmap> pixels, const ResizeTarget& target,
                                  double scale) {
    auto source = Graphics::BitmapImage::create(std::move(pixels), 1.0, image.orientation());
    if (!source) {
        return nullptr;
    }
    auto context = Graphics::ImageContext::create(target.points, Graphics::Opacity::Translucent, scale);
    if (!context) {
        return nullptr;
    }
    context->drawImage(*source, Graphics::Rect(0, 0, target.points.width, target.points.height));
    auto drawn = context->makeImage();
    return drawn ? ImageEngine::Image::createWithBitmap(drawn->bitmap()) : nullptr;
}

// resizeImage at an explicit screen scale: the photo decoded no larger than the target needs.
ImageEngine::ImagePtr resizeAtScale(const std::shared_ptr<const Graphics::BitmapImage>& image, double maxSize,
                                    double scale) {
    if (!image) {
        return nullptr;
    }
    const std::optional<ResizeTarget> target = resizeTarget(*image, maxSize, scale);
    if (!target) {
        return nullptr;
    }
    const auto [w, h] = coveringSize(*image, *target);
    return drawResized(*image, image->bitmapCovering(w, h), *target, scale);
}

} // namespace

ImageEngine::ImagePtr RUXEditManager::resizeImage(const std::shared_ptr<const Graphics::BitmapImage>& image,
                                                  double maxSize) {
    return resizeAtScale(image, maxSize, Graphics::mainScreenScale());
}

ImageEngine::ImagePtr RUXEditManager::resizeImage(const std::shared_ptr<const Graphics::BitmapImage>& image,
                                                  double maxSize, double screenScale) {
    return resizeAtScale(image, maxSize, screenScale);
}

ImageEngine::ImagePtr
RUXEditManager::uprightImage(const std::shared_ptr<const Graphics::BitmapImage>& image) {
    if (!image) {
        return nullptr;
    }
    if (image->orientation() == Graphics::ImageOrientation::Up) {
        // Shared with the photo: one full-size copy, which a lazily decoded photo keeps from now on.
        return ImageEngine::Image::createWithBitmap(image->bitmap());
    }
    // Turned through a full-size decode that is dropped once drawn (unless the photo holds one).
    auto pixels = image->bitmapCovering(image->pixelWidth(), image->pixelHeight());
    auto source = Graphics::BitmapImage::create(std::move(pixels), image->scale(), image->orientation());
    if (!source) {
        return nullptr;
    }
    const Graphics::Size size = source->size();
    auto context = Graphics::ImageContext::create(size, Graphics::Opacity::Translucent, image->scale());
    if (!context) {
        return nullptr;
    }
    context->drawImage(*source, Graphics::Rect(0, 0, size.width, size.height));
    auto drawn = context->makeImage();
    return drawn ? ImageEngine::Image::createWithBitmap(drawn->bitmap()) : nullptr;
}

std::shared_ptr<RUXEditManager> RUXEditManager::create(std::shared_ptr<const Graphics::BitmapImage> image) {
    return create(std::move(image), RUXOutputResolution::Limited);
}

std::shared_ptr<RUXEditManager> RUXEditManager::create(std::shared_ptr<const Graphics::BitmapImage> image,
                                                       RUXOutputResolution outputResolution) {
    std::shared_ptr<RUXEditManager> manager(new RUXEditManager);
    const double scale = Graphics::mainScreenScale();
    if (image) {
        // One decode, as small as the larger of the two screen pictures allows, serves both.
        const auto thumbnail = resizeTarget(*image, 44 * scale + 44 * scale, scale);
        const auto lowRes = resizeTarget(*image, 640.0, scale);
        int w = 0, h = 0;
        for (const auto& target : {thumbnail, lowRes}) {
            if (target) {
                const auto [tw, th] = coveringSize(*image, *target);
                w = std::max(w, tw), h = std::max(h, th);
            }
        }
        std::shared_ptr<const Graphics::Bitmap> pixels = w > 0 ? image->bitmapCovering(w, h) : nullptr;
        if (thumbnail) {
            manager->m_thumbnailImage = drawResized(*image, pixels, *thumbnail, scale);
        }
        if (lowRes) {
            manager->m_lowResImage = drawResized(*image, pixels, *lowRes, scale);
        }
    }
    // The output picture waits for its first use (Save): opening for the screens never decodes the
    // photo at full size.
    if (image) {
        manager->m_photoWidth = image->size().width * image->scale();
    }
    manager->m_photo = std::move(image);
    manager->m_outputResolution = outputResolution;
    manager->m_outputScale = scale;
    manager->m_undoManager = Foundation::UndoManager::create();
    manager->m_undoManager->setLevelsOfUndo(100);
    // The normalisation is there from the start and never undone.
    manager->m_transformations.push_back(std::make_shared<RUXNormalizeTransformation>());
    return manager;
}

const ImageEngine::ImagePtr& RUXEditManager::fullImage() const {
    std::call_once(m_fullImageOnce, [this] {
        m_fullImage = m_outputResolution == RUXOutputResolution::Original
                          ? uprightImage(m_photo)
                          : resizeAtScale(m_photo, 1024.0, m_outputScale);
        m_photo.reset();
    });
    return m_fullImage;
}

RUXTransformationList RUXEditManager::transformations() const {
    std::lock_guard lock(m_mutex);
    return m_transformations;
}

bool RUXEditManager::transformationComparator(const RUXTransformationPtr& a, const RUXTransformationPtr& b) {
    double sa = a ? a->sortOrder() : 0.0, sb = b ? b->sortOrder() : 0.0;
    return sa < sb;
}

void RUXEditManager::commitTransformation(const RUXTransformationPtr& t) {
    if (t) {
        setTransformationForType(t, t->type());
    }
}

void RUXEditManager::setTransformationForType(const RUXTransformationPtr& t, RUXTransformationType type) {
    if (t && t->type() != type) {
        // Two entries of one type would break the one-per-slot rule that undo relies on.
        Foundation::log("A %s (type %lld) cannot fill the slot of type %lld", t->transformationClass().name,
                        static_cast<long long>(t->type()), static_cast<long long>(type));
        return;
    }
    ChangeScope scope(*this);
    m_changed = true;
    RUXTransformationPtr old = getTransformationWithType(type);
    // One step of its own, whatever else this event registers.
    m_undoManager->setGroupsByEvent(false);
    m_undoManager->beginUndoGrouping();
    m_undoManager->registerUndo(shared_from_this(), [old, type](RUXEditManager& manager) {
        manager.setTransformationForType(old, type);
    });
    m_undoManager->endUndoGrouping();
    m_undoManager->setGroupsByEvent(true);

    auto affectsThumbnails = [](const RUXTransformationPtr& x) {
        return x && x->isAppliedToThumbnail().value_or(false);
    };
    // The displaced objects die outside the lock.
    RUXTransformationList removed;
    RUXRenderFormulaPtr droppedFormula;
    std::lock_guard lock(m_mutex);
    bool found = false;
    for (std::size_t i = 0; i < m_transformations.size();) {
        if (m_transformations[i]->type() != type) {
            ++i;
            continue;
        }
        found = true;
        removed.push_back(m_transformations[i]);
        if (t) {
            m_transformations[i] = t;
            ++i;
        } else {
            m_transformations.erase(m_transformations.begin() + std::ptrdiff_t(i));
        }
    }
    if (t && !found) {
        m_transformations.push_back(t);
    }
    std::stable_sort(m_transformations.begin(), m_transformations.end(), transformationComparator);
    bool resetCache = t ? affectsThumbnails(t) && t->type() != RUXTransformationTypeFilter
                        : std::any_of(removed.begin(), removed.end(), affectsThumbnails);
    if (resetCache) {
        m_thumbnailCache.removeAllObjects();
    }
    droppedFormula = std::move(m_committedImage);
}

bool RUXEditManager::commitTransformations(const RUXTransformationList& transformations) {
    std::vector<RUXTransformationType> types;
    for (const auto& t : transformations) {
        if (!t || t->type() == RUXTransformationTypeNormalize ||
            std::find(types.begin(), types.end(), t->type()) != types.end()) {
            Foundation::log("A list with %s cannot be committed; the committed list is unchanged",
                            !t ? "an empty entry"
                            : t->type() == RUXTransformationTypeNormalize
                                ? "a normalisation"
                                : "two transformations of one type");
            return false;
        }
        types.push_back(t->type());
    }
    ChangeScope scope(*this);
    // Each slot set registers its own way back; the outer group makes them one step, undone together.
    m_undoManager->setGroupsByEvent(false);
    m_undoManager->beginUndoGrouping();
    // Every slot either list holds but the normalisation's: the built-in edits' and any added class's.
    std::vector<RUXTransformationType> slots{RUXTransformationTypeBlur,     RUXTransformationTypeBrightness,
                                             RUXTransformationTypeContrast, RUXTransformationTypeSaturation,
                                             RUXTransformationTypeFilter,   RUXTransformationTypeRotate,
                                             RUXTransformationTypeCrop};
    for (const RUXTransformationList& list : {transformations, this->transformations()}) {
        for (const auto& t : list) {
            if (t->type() != RUXTransformationTypeNormalize &&
                std::find(slots.begin(), slots.end(), t->type()) == slots.end()) {
                slots.push_back(t->type());
            }
        }
    }
    for (RUXTransformationType type : slots) {
        auto wanted = std::find_if(transformations.begin(), transformations.end(),
                                   [type](const RUXTransformationPtr& t) { return t->type() == type; });
        RUXTransformationPtr next = wanted != transformations.end() ? *wanted : nullptr;
        if (next != getTransformationWithType(type)) {
            setTransformationForType(next, type);
        }
    }
    m_undoManager->endUndoGrouping();
    m_undoManager->setGroupsByEvent(true);
    return true;
}

std::shared_ptr<const RUXRecipe> RUXEditManager::recipe() const {
    return RUXRecipe::createWithTransformations(transformations());
}

bool RUXEditManager::applyRecipe(const RUXRecipe& recipe) {
    return commitTransformations(recipe.transformations());
}

bool RUXEditManager::canUndo() const {
    return m_undoManager->canUndo();
}
bool RUXEditManager::canRedo() const {
    return m_undoManager->canRedo();
}
void RUXEditManager::undo() {
    ChangeScope scope(*this);
    m_undoManager->undo();
}
void RUXEditManager::redo() {
    ChangeScope scope(*this);
    m_undoManager->redo();
}

RUXTransformationPtr RUXEditManager::findTypeLocked(RUXTransformationType type) const {
    for (const auto& t : m_transformations) {
        if (t->type() == type) {
            return t;
        }
    }
    return nullptr;
}

RUXTransformationPtr RUXEditManager::getTransformationWithClass(const RUXClass& transformationClass) const {
    std::lock_guard lock(m_mutex);
    for (const auto& t : m_transformations) {
        if (&t->transformationClass() == &transformationClass) {
            return t;
        }
    }
    return nullptr;
}

RUXTransformationPtr RUXEditManager::getTransformationWithType(RUXTransformationType type) const {
    std::lock_guard lock(m_mutex);
    return findTypeLocked(type);
}

RUXTransformationPtr RUXEditManager::committedTransformationWithType(RUXTransformationType type) const {
    return getTransformationWithType(type);
}

RUXTransformationPtr
RUXEditManager::getOrCreateTransformationWithClass(const RUXClass& transformationClass) const {
    if (auto committed = getTransformationWithClass(transformationClass)) {
        return committed->copy();
    }
    return transformationClass.create();
}

RUXTransformationList RUXEditManager::includingLocked(const RUXTransformationPtr& t) const {
    RUXTransformationList result;
    result.reserve(m_transformations.size() + 1);
    bool placed = false;
    for (const auto& entry : m_transformations) {
        if (t && entry->type() == t->type()) {
            result.push_back(t);
            placed = true;
        } else {
            result.push_back(entry);
        }
    }
    if (t && !placed) {
        result.push_back(t);
    }
    std::stable_sort(result.begin(), result.end(), transformationComparator);
    return result;
}

RUXTransformationList
RUXEditManager::transformationsIncludingNewTransformation(const RUXTransformationPtr& t) const {
    std::lock_guard lock(m_mutex);
    return includingLocked(t);
}

RUXRenderFormulaPtr RUXEditManager::scaledToPhoto(RUXRenderFormulaPtr formula) const {
    const ImageEngine::ImagePtr& source = formula->originalImage();
    if (source && m_photoWidth > 0 && !source->extent().isNull() && !source->extent().isInfinite()) {
        formula->setResolutionScale(source->extent().width() / m_photoWidth);
    }
    return formula;
}

RUXRenderFormulaPtr RUXEditManager::committedImage() {
    std::lock_guard lock(m_mutex);
    if (!m_committedImage) {
        m_committedImage = scaledToPhoto(RUXRenderFormula::create(m_lowResImage, m_transformations));
    }
    return m_committedImage;
}

RUXRenderFormulaPtr RUXEditManager::resultantImage() const {
    return scaledToPhoto(RUXRenderFormula::create(fullImage(), transformations()));
}

RUXRenderFormulaPtr RUXEditManager::originalImage() const {
    return scaledToPhoto(RUXRenderFormula::createWithoutTransformations(fullImage()));
}

RUXRenderFormulaPtr RUXEditManager::previewImageWithTransformation(const RUXTransformationPtr& t) const {
    return scaledToPhoto(RUXRenderFormula::create(m_lowResImage, transformationsIncludingNewTransformation(t),
                                                  RUXPreviewModeQuick,
                                                  t ? &t->transformationClass() : nullptr));
}

RUXRenderFormulaPtr
RUXEditManager::highQualityPreviewImageWithTransformation(const RUXTransformationPtr& t) const {
    return highQualityPreviewForImage(m_lowResImage, t);
}

RUXRenderFormulaPtr RUXEditManager::highQualityPreviewForImage(const ImageEngine::ImagePtr& image,
                                                               const RUXTransformationPtr& t) const {
    return scaledToPhoto(RUXRenderFormula::create(image, transformationsIncludingNewTransformation(t),
                                                  RUXPreviewModeHighQuality,
                                                  t ? &t->transformationClass() : nullptr));
}

RUXRenderFormulaPtr RUXEditManager::thumbnailPreviewImageWithTransformation(const RUXTransformationPtr& t) {
    // Looked up and filled under the list lock, so two tasks for one look share one formula and
    // a formula built from a list that a geometric change has since replaced is never stored
    // after the change emptied the cache.
    std::lock_guard lock(m_mutex);
    if (auto cached = m_thumbnailCache.objectForKey(t)) {
        return cached;
    }
    RUXTransformationList reduced;
    for (const auto& entry : includingLocked(t)) {
        if (entry->isAppliedToThumbnail().value_or(false) || entry->type() == RUXTransformationTypeFilter) {
            reduced.push_back(entry);
        }
    }
    auto formula = scaledToPhoto(RUXRenderFormula::create(m_thumbnailImage, std::move(reduced)));
    m_thumbnailCache.setObject(t, formula);
    return formula;
}

RUXRenderFormulaPtr
RUXEditManager::imageWithAllTransformationsExcept(const RUXClass& transformationClass) const {
    RUXTransformationList kept;
    for (const auto& entry : transformations()) {
        if (&entry->transformationClass() != &transformationClass) {
            kept.push_back(entry);
        }
    }
    return scaledToPhoto(RUXRenderFormula::create(m_lowResImage, std::move(kept)));
}

RUXRenderFormulaPtr
RUXEditManager::imageWithTransformationClasses(const std::vector<const RUXClass*>& classes) const {
    return imageWithBaseImage(m_lowResImage, classes);
}

RUXRenderFormulaPtr RUXEditManager::imageWithBaseImage(const ImageEngine::ImagePtr& image,
                                                       const std::vector<const RUXClass*>& classes) const {
    RUXTransformationList kept;
    for (const auto& entry : transformations()) {
        if (std::find(classes.begin(), classes.end(), &entry->transformationClass()) != classes.end()) {
            kept.push_back(entry);
        }
    }
    return scaledToPhoto(RUXRenderFormula::create(image, std::move(kept)));
}

void RUXEditManager::resetThumbnailCache() {
    std::lock_guard lock(m_mutex);
    m_thumbnailCache.removeAllObjects();
}
