#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXImageMetadata.h>
#include <Transformation/RUXNormalizeTransformation.h>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXNormalizeTransformation)

// Every list holds the normalisation and no recipe writes it.
const RUXTransformationDeclaration& RUXNormalizeTransformation::declaration() {
    static const RUXTransformationDeclaration d = [] {
        RUXTransformationDeclaration d;
        d.transformationClass = &classDescriptor();
        d.type = RUXTransformationTypeNormalize;
        d.sortOrder = 0.99;
        d.family = RUXEditFamily::Geometry;
        d.recorded = false;
        return d;
    }();
    return d;
}

ImageEngine::ImagePtr RUXNormalizeTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                  RUXImageMetadata& metadata) {
    if (!image) {
        return nullptr;
    }
    Graphics::Rect extent = image->extent();
    // An empty image has a null extent at infinity, and an unbounded one has no origin to move
    // to; both keep the record's neutral offset.
    const bool anchored = !extent.isNull() && !extent.isInfinite();
    double x0 = anchored ? extent.origin.x : 0;
    double y0 = anchored ? extent.origin.y : 0;
    metadata.setTranslateX(x0);
    metadata.setTranslateY(y0);
    return RUXFilterOutput(RUXFilterName::affineTransform,
                           {{RUXFilterKey::image, image},
                            {RUXFilterKey::transform, Graphics::AffineTransform::makeTranslation(-x0, -y0)}});
}
