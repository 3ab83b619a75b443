#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXImageMetadata.h>
#include <Transformation/RUXNormalizeTransformation.h>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXNormalizeTransformation)

ImageEngine::ImagePtr RUXNormalizeTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                  RUXImageMetadata& metadata) {
    if (!image) {
        return nullptr;
    }
    Graphics::Rect extent = image->extent();
    // An empty image has a null extent at infinity; leave the record's neutral offset then.
    double x0 = extent.isNull() ? 0 : extent.origin.x;
    double y0 = extent.isNull() ? 0 : extent.origin.y;
    metadata.setTranslateX(x0);
    metadata.setTranslateY(y0);
    return RUXFilterOutput("CIAffineTransform",
                           {{RUXFilterKey::image, image},
                            {RUXFilterKey::transform, Graphics::AffineTransform::makeTranslation(-x0, -y0)}});
}
