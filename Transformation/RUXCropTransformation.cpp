#include <Foundation/Log.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXCropTransformation.h>
#include <Transformation/RUXEngineValues.h>
#include <Transformation/RUXImageMetadata.h>
#include <cmath>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXCropTransformation)

// The framing is written in fractions of the unturned photo (origin at its bottom-left, y up), so
// it holds at every resolution and under later turns. The flag --crop is given on the picture the
// crop screen frames, which only rux-render can render, so it stays with rux-render.
const RUXTransformationDeclaration& RUXCropTransformation::declaration() {
    static const RUXTransformationDeclaration d = [] {
        RUXTransformationDeclaration d;
        d.transformationClass = &classDescriptor();
        d.type = RUXTransformationTypeCrop;
        d.sortOrder = 0.1;
        d.family = RUXEditFamily::Geometry;
        RUXParameter rect;
        rect.key = std::string("rect");
        rect.kind = RUXParameterKind::Rectangle;
        rect.minValue = 0;
        rect.maxValue = 1;
        rect.unit = std::string("fractions of the unturned photo, y up");
        rect.get = [](const RUXImageTransformation& t) -> std::optional<RUXParameterValue> {
            const auto& crop = static_cast<const RUXCropTransformation&>(t);
            const Graphics::Rect original = crop.originalRect();
            const Graphics::Rect framing = crop.cropRect().standardized();
            // The render scales the framing by the picture over the original size, about the
            // origin; dividing by that size once here gives the same proportions at every
            // resolution.
            const Graphics::Rect r(framing.origin.x / original.width(), framing.origin.y / original.height(),
                                   framing.size.width / original.width(),
                                   framing.size.height / original.height());
            if (original.width() == 0 || original.height() == 0 || !RUXIsFinite(r) || !(r.size.width > 0) ||
                !(r.size.height > 0)) {
                // Such a crop leaves pictures unchanged, which no entry says as well.
                return std::nullopt;
            }
            return RUXParameterValue{{r.origin.x, r.origin.y, r.size.width, r.size.height}, {}};
        };
        rect.set = [](RUXImageTransformation& t, const RUXParameterValue& v) {
            auto& crop = static_cast<RUXCropTransformation&>(t);
            const auto& r = v.numbers;
            crop.setCropRect(Graphics::Rect(r.at(0), r.at(1), r.at(2), r.at(3)));
            crop.setOriginalRect(Graphics::Rect(0, 0, 1, 1));
        };
        rect.check = [](const RUXParameterValue& v) -> std::string {
            return v.numbers.at(2) > 0 && v.numbers.at(3) > 0 ? "" : "must have a positive width and height";
        };
        d.parameters.push_back(std::move(rect));
        return d;
    }();
    return d;
}

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
    if (!std::isfinite(fx) || !std::isfinite(fy)) {
        // An original rectangle too small to divide by gives no proportions to keep.
        return image;
    }
    Graphics::Rect scaled(crop.origin.x * fx, crop.origin.y * fy, crop.size.width * fx,
                          crop.size.height * fy);
    if (!RUXIsFinite(scaled)) {
        // A finite framing so large that rescaling it overflowed: rescale its edges one by one,
        // each held where it lies off every picture anyway.
        auto edge = [](double v, double factor) { return RUXEngineValue(v * factor); };
        const Graphics::Rect framing = crop.standardized();
        const double x0 = edge(framing.origin.x, fx), y0 = edge(framing.origin.y, fy);
        const double x1 = edge(framing.origin.x + framing.size.width, fx);
        const double y1 = edge(framing.origin.y + framing.size.height, fy);
        scaled = Graphics::Rect(x0, y0, x1 - x0, y1 - y0);
        if (!RUXIsFinite(scaled)) {
            return image;
        }
    }
    Graphics::Rect rotated = RUXEngineRect(rotation.applyToRect(scaled));
    return RUXFilterOutput(RUXFilterName::crop,
                           {{RUXFilterKey::image, image},
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
