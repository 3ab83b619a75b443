#include <Manager/RUXImageFilterInterface.h>
#include <Transformation/RUXScalarAdjustments.h>

RUX_DEFINE_TRANSFORMATION_CLASS(RUXBrightnessTransformation)
RUX_DEFINE_TRANSFORMATION_CLASS(RUXSaturationTransformation)
RUX_DEFINE_TRANSFORMATION_CLASS(RUXContrastTransformation)

namespace {
template <class T>
RUXTransformationPtr copyWithValue(const T& source) {
    auto result = std::make_shared<T>();
    result->setValue(source.value());
    return result;
}
} // namespace

ImageEngine::ImagePtr RUXBrightnessTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                   RUXImageMetadata&) {
    return RUXFilterOutput("CIExposureAdjust",
                           {{RUXFilterKey::image, image}, {RUXFilterKey::ev, double(value())}});
}

ImageEngine::ImagePtr RUXSaturationTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                   RUXImageMetadata&) {
    return RUXFilterOutput("CIColorControls",
                           {{RUXFilterKey::image, image}, {RUXFilterKey::saturation, double(value())}});
}

ImageEngine::ImagePtr RUXContrastTransformation::resultFromImage(const ImageEngine::ImagePtr& image,
                                                                 RUXImageMetadata&) {
    // The square is taken in single precision, as the value is stored.
    float v = value();
    float power = v * v;
    return RUXFilterOutput("CIGammaAdjust",
                           {{RUXFilterKey::image, image}, {RUXFilterKey::power, double(power)}});
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
