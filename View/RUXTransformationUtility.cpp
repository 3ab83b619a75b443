#include <Transformation/RUXTransformationRegistry.h>
#include <View/RUXSlider.h>
#include <View/RUXTransformationUtility.h>

namespace {

// The declared "value" parameter of a registered class; nullptr for a class of the host's own
// that was not registered, which the slider spreads evenly over its range.
const RUXParameter* declaredValue(const RUXImageTransformation& transformation) {
    const RUXTransformationDeclaration* declaration =
        RUXTransformationRegistry::declarationOf(transformation.transformationClass());
    return declaration ? declaration->parameter("value") : nullptr;
}

} // namespace

double RUXScalarTransformationValueFromSlider(const RUXSlider& slider,
                                              const RUXScalarTransformation& transformation) {
    const double range = slider.maxValue() - slider.minValue();
    if (range == 0) {
        return transformation.minValue();
    }
    const double t = (slider.currentValue() - slider.minValue()) / range;
    if (const RUXParameter* value = declaredValue(transformation)) {
        return RUXValueAtSliderFraction(*value, t);
    }
    // The span is taken in the transformation's own single precision, as its range is stored.
    const float span = transformation.maxValue() - transformation.minValue();
    return t * double(span) + double(transformation.minValue());
}

double RUXSliderFractionOfScalarTransformation(const RUXScalarTransformation& transformation) {
    if (const RUXParameter* value = declaredValue(transformation)) {
        return RUXSliderFractionOfValue(*value, transformation.value());
    }
    const float min = transformation.minValue(), max = transformation.maxValue();
    return double((transformation.value() - min) / (max - min));
}
