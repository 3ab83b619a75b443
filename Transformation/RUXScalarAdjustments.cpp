#include <Foundation/Log.h>
#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXScalarAdjustments.h>
#include <algorithm>
#include <cmath>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXBrightnessTransformation)
RUX_DEFINE_TRANSFORMATION_CLASS(RUXSaturationTransformation)
RUX_DEFINE_TRANSFORMATION_CLASS(RUXContrastTransformation)

namespace {

constexpr double kLargestEV = 64;
constexpr double kLargestSaturation = 1e4;
constexpr double kLargestPower = 1e4;

// A value that is not a number has no meaning to apply; say so once per render and skip the edit.
bool isUsable(float value, const char* what) {
    if (std::isfinite(value)) {
        return true;
    }
    Foundation::log("%s value %f is not a finite number; the adjustment is skipped", what, double(value));
    return false;
}

} // namespace

ImageEngine::ImagePtr RUXBrightnessTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                   RUXImageMetadata&) {
    float v = value();
    if (!isUsable(v, "Brightness")) {
        return image;
    }
    // 2^64 already takes every non-black level past white (and 2^-64 every level to black), so
    // holding the value there changes no pixel while keeping 2^EV finite in single precision.
    return RUXFilterOutput(
        RUXFilterName::exposureAdjust,
        {{RUXFilterKey::image, image}, {RUXFilterKey::ev, std::clamp(double(v), -kLargestEV, kLargestEV)}});
}

ImageEngine::ImagePtr RUXSaturationTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                   RUXImageMetadata&) {
    float v = value();
    if (!isUsable(v, "Saturation")) {
        return image;
    }
    // Any colour difference of one level is pushed past the ends of the range long before this
    // factor; beyond it the product could overflow single precision.
    return RUXFilterOutput(
        RUXFilterName::colorControls,
        {{RUXFilterKey::image, image},
         {RUXFilterKey::saturation, std::clamp(double(v), -kLargestSaturation, kLargestSaturation)}});
}

ImageEngine::ImagePtr RUXContrastTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                 RUXImageMetadata&) {
    float v = value();
    if (!isUsable(v, "Contrast")) {
        return image;
    }
    // The square is taken in single precision, as the value is stored. A power of 10^4 already
    // takes every level below white to black; an infinite one would turn white's 0 × ∞ into NaN.
    float power = v * v;
    return RUXFilterOutput(
        RUXFilterName::gammaAdjust,
        {{RUXFilterKey::image, image}, {RUXFilterKey::power, std::min(double(power), kLargestPower)}});
}

RUXTransformationPtr RUXScalarAdjustment::copy() const {
    auto result = std::static_pointer_cast<RUXScalarAdjustment>(transformationClass().create());
    result->setValue(value());
    return result;
}

RUXTransformationDeclaration
RUXScalarAdjustment::declare(const RUXClass& transformationClass, RUXTransformationType type,
                             double sortOrder, double minValue, double maxValue, double neutralValue,
                             std::string unit, std::string flag, std::string help, RUXSliderMapping mapping) {
    RUXParameter value;
    value.key = std::string("value");
    value.kind = RUXParameterKind::Scalar;
    value.minValue = minValue;
    value.maxValue = maxValue;
    value.neutralValue = neutralValue;
    value.unit = std::move(unit);
    value.mapping = mapping;
    value.flag = std::move(flag);
    value.flagValue = std::string("V");
    value.flagTakes = std::string("a number");
    value.help = std::move(help);
    value.get = [](const RUXImageTransformation& t) -> std::optional<RUXParameterValue> {
        return RUXParameterValue{{double(static_cast<const RUXScalarAdjustment&>(t).value())}, {}};
    };
    value.set = [](RUXImageTransformation& t, const RUXParameterValue& v) {
        static_cast<RUXScalarAdjustment&>(t).setValue(float(v.numbers.at(0)));
    };
    // A finite double beyond single precision would be stored as an infinity.
    value.check = [](const RUXParameterValue& v) -> std::string {
        return std::isfinite(float(v.numbers.at(0))) ? "" : "is too large";
    };
    RUXTransformationDeclaration declaration;
    declaration.transformationClass = &transformationClass;
    declaration.type = type;
    declaration.sortOrder = sortOrder;
    declaration.family = RUXEditFamily::Colour;
    declaration.parameters.push_back(std::move(value));
    return declaration;
}

const RUXTransformationDeclaration& RUXBrightnessTransformation::declaration() {
    static const RUXTransformationDeclaration d =
        declare(classDescriptor(), RUXTransformationTypeBrightness, 1.0, -2, 2, 0, "stops", "--brightness");
    return d;
}

const RUXTransformationDeclaration& RUXSaturationTransformation::declaration() {
    static const RUXTransformationDeclaration d =
        declare(classDescriptor(), RUXTransformationTypeSaturation, 1.1, 0, 2, 1, "factor", "--saturation");
    return d;
}

const RUXTransformationDeclaration& RUXContrastTransformation::declaration() {
    static const RUXTransformationDeclaration d =
        declare(classDescriptor(), RUXTransformationTypeContrast, 1.2, 0.5, 1.5, 1, "square root of a power",
                "--contrast");
    return d;
}
