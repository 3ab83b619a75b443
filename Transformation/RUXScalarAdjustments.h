#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXImageTransformation.h>
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

protected:
    std::atomic<float> m_value{0};
    std::string m_name;
};

// Exposure in stops ("CIExposureAdjust"), -2 … 2, neutral 0.
class RUX_API RUXBrightnessTransformation final : public RUXScalarAdjustment {
    RUX_TRANSFORMATION_CLASS(RUXBrightnessTransformation)
public:
    RUXBrightnessTransformation() { setValue(defaultValue()); }
    RUXTransformationType type() const override { return RUXTransformationTypeBrightness; }
    double sortOrder() const override { return 1.0; }
    float minValue() const override { return -2.0f; }
    float maxValue() const override { return 2.0f; }
    float defaultValue() const override { return 0.0f; }
    ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image,
                                          RUXImageMetadata& metadata) override;
    RUXTransformationPtr copy() const override;
};

// Saturation scaling ("CIColorControls"), 0 … 2, neutral 1.
class RUX_API RUXSaturationTransformation final : public RUXScalarAdjustment {
    RUX_TRANSFORMATION_CLASS(RUXSaturationTransformation)
public:
    RUXSaturationTransformation() { setValue(defaultValue()); }
    RUXTransformationType type() const override { return RUXTransformationTypeSaturation; }
    double sortOrder() const override { return 1.1; }
    float minValue() const override { return 0.0f; }
    float maxValue() const override { return 2.0f; }
    float defaultValue() const override { return 1.0f; }
    ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image,
                                          RUXImageMetadata& metadata) override;
    RUXTransformationPtr copy() const override;
};

// Contrast as a gamma power of value² ("CIGammaAdjust"), 0.5 … 1.5, neutral 1.
class RUX_API RUXContrastTransformation final : public RUXScalarAdjustment {
    RUX_TRANSFORMATION_CLASS(RUXContrastTransformation)
public:
    RUXContrastTransformation() { setValue(defaultValue()); }
    RUXTransformationType type() const override { return RUXTransformationTypeContrast; }
    double sortOrder() const override { return 1.2; }
    float minValue() const override { return 0.5f; }
    float maxValue() const override { return 1.5f; }
    float defaultValue() const override { return 1.0f; }
    ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image,
                                          RUXImageMetadata& metadata) override;
    RUXTransformationPtr copy() const override;
};
