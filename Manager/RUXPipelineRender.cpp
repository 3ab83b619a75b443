#include <Foundation/Log.h>
#include <Manager/RUXEditManager.h>
#include <Manager/RUXImageRenderer.h>
#include <Manager/RUXPipelineRender.h>
#include <Manager/RUXRecipe.h>
#include <Transformation/RUXFilters.h>
#include <Transformation/RUXNormalizeTransformation.h>
#include <algorithm>
#include <cmath>

std::optional<RUXRenderResolution> RUXRenderResolutionNamed(std::string_view name) {
    if (name == "original") {
        return RUXRenderResolution::Original;
    }
    if (name == "full") {
        return RUXRenderResolution::Full;
    }
    if (name == "screen") {
        return RUXRenderResolution::Screen;
    }
    if (name == "thumbnail") {
        return RUXRenderResolution::Thumbnail;
    }
    return std::nullopt;
}

std::shared_ptr<RUXPipelineEdit> RUXPipelineEdit::create(std::shared_ptr<const Graphics::BitmapImage> photo,
                                                         double screenScale, int maxThreads) {
    std::shared_ptr<RUXPipelineEdit> edit(new RUXPipelineEdit);
    edit->m_photo = std::move(photo);
    edit->m_screenScale = std::isfinite(screenScale) && screenScale > 0 ? screenScale : 0;
    ImageEngine::Context::RenderOptions options;
    options.maxThreads = std::max(0, maxThreads);
    edit->m_context = ImageEngine::Context::create(options);
    edit->m_transformations.push_back(std::make_shared<RUXNormalizeTransformation>());
    return edit;
}

const ImageEngine::ImagePtr& RUXPipelineEdit::imageAt(RUXRenderResolution resolution) const {
    const auto index = std::size_t(resolution);
    if (!m_resized[index]) {
        m_resized[index] = true;
        // The sizes the edit manager makes at this scale: thumbnails 88 points, the screen 640, Save
        // 1024 on the shorter side, or the photo's own pixels.
        if (m_screenScale > 0) {
            switch (resolution) {
            case RUXRenderResolution::Original:
                m_images[index] = RUXEditManager::uprightImage(m_photo);
                break;
            case RUXRenderResolution::Full:
                m_images[index] = RUXEditManager::resizeImage(m_photo, 1024.0, m_screenScale);
                break;
            case RUXRenderResolution::Screen:
                m_images[index] = RUXEditManager::resizeImage(m_photo, 640.0, m_screenScale);
                break;
            case RUXRenderResolution::Thumbnail:
                m_images[index] = RUXEditManager::resizeImage(
                    m_photo, 44 * m_screenScale + 44 * m_screenScale, m_screenScale);
                break;
            }
        }
    }
    return m_images[index];
}

void RUXPipelineEdit::commitTransformation(const RUXTransformationPtr& t) {
    if (!t) {
        return;
    }
    auto slot = std::find_if(m_transformations.begin(), m_transformations.end(),
                             [&](const RUXTransformationPtr& entry) { return entry->type() == t->type(); });
    if (slot != m_transformations.end()) {
        *slot = t;
    } else {
        m_transformations.push_back(t);
    }
    std::stable_sort(m_transformations.begin(), m_transformations.end(),
                     RUXEditManager::transformationComparator);
}

bool RUXPipelineEdit::applyRecipe(const RUXRecipe& recipe) {
    RUXTransformationList list;
    list.push_back(std::make_shared<RUXNormalizeTransformation>());
    for (const auto& t : recipe.transformations()) {
        list.push_back(t);
    }
    std::stable_sort(list.begin(), list.end(), RUXEditManager::transformationComparator);
    m_transformations = std::move(list);
    return true;
}

RUXTransformationPtr RUXPipelineEdit::committedTransformationWithType(RUXTransformationType type) const {
    for (const auto& t : m_transformations) {
        if (t->type() == type) {
            return t;
        }
    }
    return nullptr;
}

RUXTransformationPtr
RUXPipelineEdit::getOrCreateTransformationWithClass(const RUXClass& transformationClass) const {
    for (const auto& t : m_transformations) {
        if (&t->transformationClass() == &transformationClass) {
            return t->copy();
        }
    }
    return transformationClass.create();
}

std::shared_ptr<const RUXRecipe> RUXPipelineEdit::recipe() const {
    return RUXRecipe::createWithTransformations(m_transformations);
}

RUXRenderFormulaPtr RUXPipelineEdit::formula(RUXRenderResolution resolution) const {
    const ImageEngine::ImagePtr& image = imageAt(resolution);
    if (!image) {
        return nullptr;
    }
    // Edits measured in the photo's own pixels scale with the picture's width.
    auto scaled = [&](RUXRenderFormulaPtr formula) {
        const double photoWidth = m_photo ? m_photo->size().width * m_photo->scale() : 0;
        if (photoWidth > 0 && !image->extent().isNull() && !image->extent().isInfinite()) {
            formula->setResolutionScale(image->extent().width() / photoWidth);
        }
        return formula;
    };
    if (resolution != RUXRenderResolution::Thumbnail) {
        return scaled(RUXRenderFormula::create(image, m_transformations, RUXPreviewModeHighQuality, nullptr,
                                               m_screenScale));
    }
    // The filter strip's thumbnail: the geometry and the look, nothing else.
    RUXTransformationPtr look = committedTransformationWithType(RUXTransformationTypeFilter);
    RUXTransformationList withLook = m_transformations;
    if (!look) {
        withLook.push_back(RUXFilterIdentity::classDescriptor().create());
        std::stable_sort(withLook.begin(), withLook.end(), RUXEditManager::transformationComparator);
    }
    RUXTransformationList reduced;
    for (const auto& entry : withLook) {
        if (entry->isAppliedToThumbnail().value_or(false) || entry->type() == RUXTransformationTypeFilter) {
            reduced.push_back(entry);
        }
    }
    return scaled(RUXRenderFormula::create(image, std::move(reduced), RUXPreviewModeHighQuality, nullptr,
                                           m_screenScale));
}

RUXRenderFormulaPtr
RUXPipelineEdit::imageWithTransformationClasses(const std::vector<const RUXClass*>& classes) const {
    const ImageEngine::ImagePtr& image = imageAt(RUXRenderResolution::Screen);
    if (!image) {
        return nullptr;
    }
    RUXTransformationList kept;
    for (const auto& entry : m_transformations) {
        if (std::find(classes.begin(), classes.end(), &entry->transformationClass()) != classes.end()) {
            kept.push_back(entry);
        }
    }
    return RUXRenderFormula::create(image, std::move(kept), RUXPreviewModeHighQuality, nullptr,
                                    m_screenScale);
}

std::shared_ptr<const Graphics::BitmapImage>
RUXPipelineEdit::renderedImage(const RUXRenderFormulaPtr& formula) const {
    return RUXRenderedImageOfFormula(formula, *m_context);
}

std::shared_ptr<const Graphics::BitmapImage> RUXPipelineEdit::render(RUXRenderResolution resolution) const {
    return renderedImage(formula(resolution));
}

std::shared_ptr<const Graphics::BitmapImage>
RUXRenderRecipe(const std::shared_ptr<const Graphics::BitmapImage>& photo, const RUXRecipe& recipe,
                RUXRenderResolution resolution, double screenScale, int maxThreads, std::string* error) {
    auto fail = [error](const char* sentence) -> std::shared_ptr<const Graphics::BitmapImage> {
        Foundation::log("%s", sentence);
        if (error) {
            *error = sentence;
        }
        return nullptr;
    };
    // The stored size is known without decoding: a lazily decoded photo is decoded only as far as the
    // resolution needs.
    if (!photo || photo->pixelWidth() < 1 || photo->pixelHeight() < 1) {
        return fail("the photo has no pixels");
    }
    if (!(std::isfinite(screenScale) && screenScale > 0)) {
        return fail("the screen scale is not a positive number");
    }
    auto edit = RUXPipelineEdit::create(photo, screenScale, maxThreads);
    edit->applyRecipe(recipe);
    auto rendered = edit->render(resolution);
    return rendered ? rendered : fail("the edited picture could not be rendered");
}
