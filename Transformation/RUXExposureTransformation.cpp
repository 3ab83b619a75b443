#include <Foundation/Log.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXExposureTransformation.h>
#include <algorithm>
#include <cmath>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXExposureTransformation)

namespace {
// 2^64 takes every non-black level past white, as the brightness edit holds it.
constexpr double kLargestEV = 64;
} // namespace

const RUXTransformationDeclaration& RUXExposureTransformation::declaration() {
    static const RUXTransformationDeclaration d = [] {
        RUXTransformationDeclaration d =
            declare(classDescriptor(), RUXTransformationTypeWithCode(10), 0.992, -5, 5, 0, "stops",
                    "--exposure", "takes stops, -5..5: the linear colour is scaled by 2^EV.");
        // Documents of version 1 may not hold it.
        d.recipeVersion = 2;
        return d;
    }();
    return d;
}

ImageEngine::ImagePtr RUXExposureTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                 RUXImageMetadata&) {
    const float v = value();
    if (!std::isfinite(v)) {
        Foundation::log("Exposure value %f is not a finite number; the adjustment is skipped", double(v));
        return image;
    }
    if (v == 0.0f) {
        return image;
    }
    return RUXFilterOutput(
        RUXFilterName::exposureAdjust,
        {{RUXFilterKey::image, image}, {RUXFilterKey::ev, std::clamp(double(v), -kLargestEV, kLargestEV)}});
}
