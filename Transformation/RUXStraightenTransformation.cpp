#include <Foundation/Log.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXEngineValues.h>
#include <Transformation/RUXStraightenTransformation.h>
#include <algorithm>
#include <cmath>
#include <numbers>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXStraightenTransformation)

namespace {

// The levelled picture reads the photo's edge pixels at most half a pixel (after the zoom's
// shrinking, less) beyond its extent; a margin of two pixels of clamped edge covers every bilinear
// tap, so no transparent pixel from outside the photo is ever blended in.
constexpr double kClampMargin = 2;

} // namespace

// Degrees in 0.1° steps about a level horizon; the slider's centre is 0.
const RUXTransformationDeclaration& RUXStraightenTransformation::declaration() {
    static const RUXTransformationDeclaration d = [] {
        RUXTransformationDeclaration d = declare(
            classDescriptor(), RUXTransformationTypeWithCode(8), -0.5, -45, 45, 0, "degrees", "--straighten",
            "levels the picture: DEG degrees counter-clockwise (-45..45), enlarged to fill its frame.",
            RUXSliderMapping::Centred);
        d.family = RUXEditFamily::Geometry;
        d.recipeVersion = 2;
        d.parameters.front().flagValue = std::string("DEG");
        d.parameters.front().step = 0.1;
        return d;
    }();
    return d;
}

double RUXStraightenTransformation::zoomForSize(const Graphics::Size& size, double degrees) {
    const double w = size.width, h = size.height;
    if (!(w > 0) || !(h > 0) || !std::isfinite(degrees)) {
        return 1;
    }
    const double theta = std::abs(degrees) * std::numbers::pi / 180;
    const double c = std::abs(std::cos(theta)), s = std::abs(std::sin(theta));
    return std::max((w * c + h * s) / w, (w * s + h * c) / h);
}

Graphics::AffineTransform RUXStraightenTransformation::matrixForExtent(const Graphics::Rect& extent,
                                                                       double degrees) {
    const double cx = extent.midX(), cy = extent.midY();
    const double zoom = zoomForSize(extent.size, degrees);
    const double theta = degrees * std::numbers::pi / 180;
    // Centre to the origin, enlarge, turn, centre back.
    Graphics::AffineTransform m = Graphics::AffineTransform::makeTranslation(-cx, -cy);
    m = Graphics::AffineTransform::concat(m, Graphics::AffineTransform::makeScale(zoom, zoom));
    const double s = std::sin(theta), c = std::cos(theta);
    m = Graphics::AffineTransform::concat(m, {c, s, -s, c, 0, 0});
    return Graphics::AffineTransform::concat(m, Graphics::AffineTransform::makeTranslation(cx, cy));
}

ImageEngine::ImagePtr RUXStraightenTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                   RUXImageMetadata&) {
    const float degrees = value();
    if (!image || degrees == 0) {
        return image;
    }
    if (!std::isfinite(degrees)) {
        Foundation::log("Straighten angle %f is not a finite number; the picture is left as it is",
                        double(degrees));
        return image;
    }
    const Graphics::Rect extent = image->extent();
    if (extent.isNull() || extent.isInfinite() || !(extent.width() > 0) || !(extent.height() > 0)) {
        return image;
    }
    // The photo's edges extended a little, so that the taps of the pixels at the frame's corners,
    // which lie just inside the photo, blend only the photo's own pixels.
    const Graphics::Rect margin(extent.origin.x - kClampMargin, extent.origin.y - kClampMargin,
                                extent.width() + 2 * kClampMargin, extent.height() + 2 * kClampMargin);
    auto clamped = RUXFilterOutput(
        RUXFilterName::affineClamp,
        {{RUXFilterKey::image, image}, {RUXFilterKey::transform, Graphics::AffineTransform::identity()}});
    auto bordered = RUXFilterOutput(RUXFilterName::crop,
                                    {{RUXFilterKey::image, clamped},
                                     {RUXFilterKey::rectangle, ImageEngine::Vector::makeWithRect(margin)}});
    auto turned = RUXFilterOutput(RUXFilterName::affineTransform,
                                  {{RUXFilterKey::image, bordered},
                                   {RUXFilterKey::transform, matrixForExtent(extent, double(degrees))}});
    // The same frame as the photo: the picture keeps its size, so the crop and the turns after it
    // see the extent they would see without the edit.
    return RUXFilterOutput(RUXFilterName::crop,
                           {{RUXFilterKey::image, turned},
                            {RUXFilterKey::rectangle, ImageEngine::Vector::makeWithRect(extent)}});
}
