#include <Foundation/Log.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXVibranceTransformation.h>
#include <algorithm>
#include <cmath>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXVibranceTransformation)

namespace {
// Far past the point where a muted colour's chroma is pushed beyond the ends of the range; beyond it
// the products could overflow single precision.
constexpr double kLargestAmount = 1e4;
} // namespace

const RUXTransformationDeclaration& RUXVibranceTransformation::declaration() {
    static const RUXTransformationDeclaration d = [] {
        RUXTransformationDeclaration d =
            declare(classDescriptor(), RUXTransformationTypeWithCode(12), 1.3, -1, 1, 0, "amount",
                    "--vibrance", "takes -1..1: more or less colour, mostly for the muted colours.");
        // Documents of version 1 may not hold it.
        d.recipeVersion = 2;
        return d;
    }();
    return d;
}

ImageEngine::ImagePtr RUXVibranceTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                 RUXImageMetadata&) {
    const float v = value();
    if (!std::isfinite(v)) {
        Foundation::log("Vibrance value %f is not a finite number; the adjustment is skipped", double(v));
        return image;
    }
    if (v == 0.0f) {
        return image;
    }
    return RUXFilterOutput(RUXFilterName::vibrance,
                           {{RUXFilterKey::image, image},
                            {RUXFilterKey::amount, std::clamp(double(v), -kLargestAmount, kLargestAmount)}});
}
