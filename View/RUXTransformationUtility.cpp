#include <View/RUXSlider.h>
#include <View/RUXTransformationUtility.h>

double RUXScalarTransformationValueFromSlider(const RUXSlider& slider,
                                              const RUXScalarTransformation& transformation) {
    const double range = slider.maxValue() - slider.minValue();
    if (range == 0) {
        return transformation.minValue();
    }
    const double t = (slider.currentValue() - slider.minValue()) / range;
    // The span is taken in the transformation's own single precision, as its range is stored.
    const float span = transformation.maxValue() - transformation.minValue();
    return t * double(span) + double(transformation.minValue());
}
