#pragma once

#include <Foundation/Export.h>
#include <Transformation/RUXImageTransformation.h>
#include <Transformation/RUXTransformationDeclaration.h>
#include <array>
#include <mutex>
#include <optional>

// A chromaticity in CIE 1931 xy.
struct RUXChromaticity {
    double x = 0;
    double y = 0;
};

// The white a photo was lit by, as a colour temperature in kelvin and a tint. With tint 0 the white
// lies on the CIE daylight locus from 4000 K up (the D-illuminant formula, continued past 25000 K)
// and on the Planckian locus below (the Kim et al. cubic-spline fit of the CIE 1931 2° locus). A
// tint T moves it by Duv = −T / 3000 in CIE 1960 uv, across the Planckian locus: positive towards
// magenta, negative towards green. Temperatures are held within 1667 … 100000 K, the fit's reach,
// and a tint that would take the white out of the colours there are (the greenest tints below 4000 K)
// stops at the last white whose every cone response is at least a twentieth of D65's. Any thread.
RUX_API RUXChromaticity RUXWhiteOfTemperature(double temperature, double tint);

// The linear sRGB matrix (row-major) that adapts that white to D65 with the Bradford cone response,
// the white keeping its luminance: a grey lit by the white comes out grey. std::nullopt when the
// numbers give no usable white (not finite, or outside the chromaticity diagram). Any thread.
RUX_API std::optional<std::array<double, 9>> RUXWhiteBalanceMatrix(double temperature, double tint);

// The temperature and tint whose white has the chromaticity of a linear sRGB colour, held within the
// sliders' ranges (2000 … 50000 K, tint −150 … 150): the setting that makes that colour neutral.
// std::nullopt for black, a colour with a negative component or one that is not finite. Any thread.
struct RUXWhiteBalanceSetting {
    double temperature = 0;
    double tint = 0;
};
RUX_API std::optional<RUXWhiteBalanceSetting> RUXWhiteBalanceSettingForColor(double red, double green,
                                                                             double blue);

// White balance: the photo was lit by RUXWhiteOfTemperature(temperature, tint), and the edit adapts
// that white to D65 in linear light. 6504 K with tint 0 is D65 itself and leaves the picture as it
// is. A value that is not finite leaves the image unchanged with one log line per render.
class RUX_API RUXWhiteBalanceTransformation final : public RUXImageTransformation {
    RUX_TRANSFORMATION_CLASS(RUXWhiteBalanceTransformation)
public:
    static constexpr double kNeutralTemperature = 6504;
    static constexpr double kNeutralTint = 0;

    static const RUXTransformationDeclaration& declaration();

    RUXTransformationType type() const override { return declaration().type; }
    double sortOrder() const override { return declaration().sortOrder; }
    ImageEngine::ImagePtr resultFromImage(const ImageEngine::ImagePtr& image,
                                          RUXImageMetadata& metadata) override;
    RUXTransformationPtr copy() const override;

    // Kelvin; 6504 until set. Any thread.
    double temperature() const;
    void setTemperature(double temperature);
    // −150 … 150 on the sliders; 0 until set. Any thread.
    double tint() const;
    void setTint(double tint);
    // Both at once, so that a render never sees one without the other. Any thread.
    RUXWhiteBalanceSetting setting() const;
    void setSetting(RUXWhiteBalanceSetting setting);

private:
    // Guards the two values.
    mutable std::mutex m_mutex;
    RUXWhiteBalanceSetting m_setting{kNeutralTemperature, kNeutralTint};
};
