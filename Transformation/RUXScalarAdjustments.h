#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXImageTransformation.h>
#include <Transformation/RUXTransformationDeclaration.h>
#include <atomic>
#include <string>

// The shared shape of the three one-value colour edits: one float, read once per recipe, so the
// slider screen may move it on the main thread while a preview is built elsewhere.
//
// Any float is stored unchanged and a finite value outside [minValue, maxValue] is applied as it
// is. A value that is not finite (NaN, ±infinity) leaves the image unchanged, with one log line per
// render. Finite values far beyond the range are held where the picture stops changing (±64 stops
// of exposure, a saturation factor of ±10^4, a gamma power of 10^4), so the engine never computes
// with an infinity.
class RUX_API RUXScalarAdjustment : public RUXScalarTransformation {
public:
    float value() const override { return m_value.load(std::memory_order_relaxed); }
    void setValue(float value) override { m_value.store(value, std::memory_order_relaxed); }
    // Never set by the editor; always empty.
    const std::string& name() const { return m_name; }

    // The class's declaration; its first parameter is the value. The slot, sort order and range
    // below are read from it.
    virtual const RUXTransformationDeclaration& transformationDeclaration() const = 0;
    RUXTransformationType type() const override { return transformationDeclaration().type; }
    double sortOrder() const override { return transformationDeclaration().sortOrder; }
    float minValue() const override { return float(valueParameter().minValue); }
    float maxValue() const override { return float(valueParameter().maxValue); }
    float defaultValue() const override { return float(valueParameter().neutralValue); }
    // A new instance of the same class with the same value.
    RUXTransformationPtr copy() const override;

    // The declaration of a one-value edit: its slot, sort order and the "value" parameter with the
    // range, neutral value, unit, flag and help line given, read and written as a float. A slider
    // maps evenly over the range unless mapping says otherwise.
    static RUXTransformationDeclaration declare(const RUXClass& transformationClass,
                                                RUXTransformationType type, double sortOrder, double minValue,
                                                double maxValue, double neutralValue, std::string unit,
                                                std::string flag, std::string help = {},
                                                RUXSliderMapping mapping = RUXSliderMapping::Linear);

protected:
    const RUXParameter& valueParameter() const { return transformationDeclaration().parameters.front(); }

    std::atomic<float> m_value{0};
    std::string m_name;
};

// Declares the members every one-value edit has beside its result: the class descriptor, the
// declaration and a constructor that starts at the neutral value.
#define RUX_SCALAR_ADJUSTMENT(ClassName)                                                                     \
    RUX_TRANSFORMATION_CLASS(ClassName)                                                                      \
public:                                                                                                      \
    static const RUXTransformationDeclaration& declaration();                                                \
    const RUXTransformationDeclaration& transformationDeclaration() const override {                         \
        return declaration();                                                                                \
    }                                                                                                        \
    ClassName() {                                                                                            \
        setValue(defaultValue());                                                                            \
    }                                                                                                        \
    ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image, RUXImageMetadata& metadata)    \
        override;                                                                                            \
                                                                                                             \
private:

// Exposure in stops ("CIExposureAdjust"), -2 … 2, neutral 0.
class RUX_API RUXBrightnessTransformation final : public RUXScalarAdjustment {
    RUX_SCALAR_ADJUSTMENT(RUXBrightnessTransformation)
};

// Saturation scaling ("CIColorControls"), 0 … 2, neutral 1.
class RUX_API RUXSaturationTransformation final : public RUXScalarAdjustment {
    RUX_SCALAR_ADJUSTMENT(RUXSaturationTransformation)
};

// Contrast as a gamma power of value² ("CIGammaAdjust"), 0.5 … 1.5, neutral 1.
class RUX_API RUXContrastTransformation final : public RUXScalarAdjustment {
    RUX_SCALAR_ADJUSTMENT(RUXContrastTransformation)
};
