#include <Foundation/Log.h>
#include <Graphics/ImageContext.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXRecipe.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <algorithm>
#include <cmath>

ImageEngine::ImagePtr RUXEditManager::resizeImage(const std::shared_ptr<const Graphics::BitmapImage>& image,
                                                  double maxSize) {
    return resizeImage(image, maxSize, Graphics::mainScreenScale());
}

ImageEngine::ImagePtr RUXEditManager::resizeImage(const std::shared_ptr<const Graphics::BitmapImage>& image,
                                                  double maxSize, double screenScale) {
    if (!(std::isfinite(screenScale) && screenScale > 0)) {
        return nullptr;
    }
    if (!image || !image->bitmap()) {
        return nullptr;
    }
    const Graphics::Size size = image->size();
    if (!(size.width > 0 && size.height > 0) || !(maxSize > 0)) {
        return nullptr;
    }
    // The shorter side comes down to maxSize; nothing is enlarged.
    const double factor = std::min(std::max(maxSize / size.width, maxSize / size.height), 1.0);
    const Graphics::Size target{size.width * factor, size.height * factor};
    auto context = Graphics::ImageContext::create(target, Graphics::Opacity::Translucent, screenScale);
    if (!context) {
        return nullptr;
    }
    context->drawImage(*image, Graphics::Rect(0, 0, target.width, target.height));
    auto drawn = context->makeImage();
    return drawn ? ImageEngine::Image::createWithBitmap(drawn->bitmap()) : nullptr;
}

ImageEngine::ImagePtr
RUXEditManager::uprightImage(const std::shared_ptr<const Graphics::BitmapImage>& image) {
    if (!image || !image->bitmap()) {
        return nullptr;
    }
    if (image->orientation() == Graphics::ImageOrientation::Up) {
        return ImageEngine::Image::createWithBitmap(image->bitmap());
    }
    const Graphics::Size size = image->size();
    auto context = Graphics::ImageContext::create(size, Graphics::Opacity::Translucent, image->scale());
    if (!context) {
        return nullptr;
    }
    context->drawImage(*image, Graphics::Rect(0, 0, size.width, size.height));
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
    manager->m_thumbnailImage = resizeImage(image, 44 * scale + 44 * scale);
    manager->m_lowResImage = resizeImage(image, 640.0);
    manager->m_fullImage =
        outputResolution == RUXOutputResolution::Original ? uprightImage(image) : resizeImage(image, 1024.0);
    manager->m_undoManager = Foundation::UndoManager::create();
    manager->m_undoManager->setLevelsOfUndo(100);
    // The normalisation is there from the start and never undone.
    manager->m_transformations.push_back(std::make_shared<RUXNormalizeTransformation>());
    return manager;
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
        return x && x->respondsToIsAppliedToThumbnail() && x->isAppliedToThumbnail();
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
    // Each slot set registers its own way back; the outer group makes them one step, undone together.
    m_undoManager->setGroupsByEvent(false);
    m_undoManager->beginUndoGrouping();
    for (RUXTransformationType type :
         {RUXTransformationTypeBlur, RUXTransformationTypeBrightness, RUXTransformationTypeContrast,
          RUXTransformationTypeSaturation, RUXTransformationTypeFilter, RUXTransformationTypeRotate,
          RUXTransformationTypeCrop}) {
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
    m_undoManager->undo();
}
void RUXEditManager::redo() {
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

RUXRenderFormulaPtr RUXEditManager::committedImage() {
    std::lock_guard lock(m_mutex);
    if (!m_committedImage) {
        m_committedImage = RUXRenderFormula::create(m_lowResImage, m_transformations);
    }
    return m_committedImage;
}

RUXRenderFormulaPtr RUXEditManager::resultantImage() const {
    return RUXRenderFormula::create(m_fullImage, transformations());
}

RUXRenderFormulaPtr RUXEditManager::originalImage() const {
    return RUXRenderFormula::createWithoutTransformations(m_fullImage);
}

RUXRenderFormulaPtr RUXEditManager::previewImageWithTransformation(const RUXTransformationPtr& t) const {
    return RUXRenderFormula::create(m_lowResImage, transformationsIncludingNewTransformation(t),
                                    RUXPreviewModeQuick, t ? &t->transformationClass() : nullptr);
}

RUXRenderFormulaPtr
RUXEditManager::highQualityPreviewImageWithTransformation(const RUXTransformationPtr& t) const {
    return highQualityPreviewForImage(m_lowResImage, t);
}

RUXRenderFormulaPtr RUXEditManager::highQualityPreviewForImage(const ImageEngine::ImagePtr& image,
                                                               const RUXTransformationPtr& t) const {
    return RUXRenderFormula::create(image, transformationsIncludingNewTransformation(t),
                                    RUXPreviewModeHighQuality, t ? &t->transformationClass() : nullptr);
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
        if ((entry->respondsToIsAppliedToThumbnail() && entry->isAppliedToThumbnail()) ||
            entry->type() == RUXTransformationTypeFilter) {
            reduced.push_back(entry);
        }
    }
    auto formula = RUXRenderFormula::create(m_thumbnailImage, std::move(reduced));
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
    return RUXRenderFormula::create(m_lowResImage, std::move(kept));
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
    return RUXRenderFormula::create(image, std::move(kept));
}

void RUXEditManager::resetThumbnailCache() {
    std::lock_guard lock(m_mutex);
    m_thumbnailCache.removeAllObjects();
}
