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

template <class T>
RUXTransformationPtr copyWithValue(const T& source) {
    auto result = std::make_shared<T>();
    result->setValue(source.value());
    return result;
}
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
        "CIExposureAdjust",
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
        "CIColorControls",
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
    return RUXFilterOutput("CIGammaAdjust", {{RUXFilterKey::image, image},
                                             {RUXFilterKey::power, std::min(double(power), kLargestPower)}});
}

RUXTransformationPtr RUXBrightnessTransformation::copy() const {
    return copyWithValue(*this);
}
RUXTransformationPtr RUXSaturationTransformation::copy() const {
    return copyWithValue(*this);
}
RUXTransformationPtr RUXContrastTransformation::copy() const {
    return copyWithValue(*this);
}
