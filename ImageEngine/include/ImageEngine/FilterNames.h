#pragma once

#include <Foundation/Export.h>

namespace ImageEngine {

// A filter's name and an input's key as types of their own. Callers name them through the constants
// below (Filters::exposureAdjust, Inputs::ev), so a misspelt name does not compile and a filter's name
// cannot stand where an input's key belongs. The texts are the names Filter::create and
// Filter::setValue take.
struct FilterName {
    const char* text;
};
struct InputKey {
    const char* text;
};

namespace Filters {
inline constexpr FilterName exposureAdjust{"CIExposureAdjust"};
inline constexpr FilterName gammaAdjust{"CIGammaAdjust"};
inline constexpr FilterName colorControls{"CIColorControls"};
inline constexpr FilterName colorCubeWithColorSpace{"CIColorCubeWithColorSpace"};
inline constexpr FilterName overlayBlendMode{"CIOverlayBlendMode"};
inline constexpr FilterName blendWithMask{"CIBlendWithMask"};
inline constexpr FilterName sourceOverCompositing{"CISourceOverCompositing"};
inline constexpr FilterName affineTransform{"CIAffineTransform"};
inline constexpr FilterName affineClamp{"CIAffineClamp"};
inline constexpr FilterName crop{"CICrop"};
inline constexpr FilterName gaussianBlur{"CIGaussianBlur"};
inline constexpr FilterName radialGradient{"CIRadialGradient"};
// The circle blur's operations: a picture stretched into a rectangle as a grey mask, and the blur of a
// picture painted back sharp through such a mask.
inline constexpr FilterName stretchedMask{"RUXStretchedMask"};
inline constexpr FilterName circleBlur{"RUXCircleBlur"};
// A 3 × 3 matrix on the linear colour (the white balance), and the saturation change weighted
// towards muted colours.
inline constexpr FilterName colorMatrix{"RUXColorMatrix"};
inline constexpr FilterName vibrance{"RUXVibrance"};
// A monotone curve on encoded values, and a fall-off towards the corners of a frame.
inline constexpr FilterName toneCurve{"RUXToneCurve"};
inline constexpr FilterName vignette{"RUXVignette"};
// Tones above and below middle grey moved through an edge-aware mask of the luminance.
inline constexpr FilterName highlightsShadows{"RUXHighlightsShadows"};
// An unsharp mask of the luminance, the colour's ratios kept.
inline constexpr FilterName sharpenLuminance{"RUXSharpenLuminance"};
} // namespace Filters

namespace Inputs {
inline constexpr InputKey image{"inputImage"};
inline constexpr InputKey backgroundImage{"inputBackgroundImage"};
inline constexpr InputKey maskImage{"inputMaskImage"};
inline constexpr InputKey transform{"inputTransform"};
inline constexpr InputKey rectangle{"inputRectangle"};
inline constexpr InputKey ev{"inputEV"};
inline constexpr InputKey power{"inputPower"};
inline constexpr InputKey saturation{"inputSaturation"};
inline constexpr InputKey brightness{"inputBrightness"};
inline constexpr InputKey contrast{"inputContrast"};
inline constexpr InputKey cubeDimension{"inputCubeDimension"};
inline constexpr InputKey cubeData{"inputCubeData"};
inline constexpr InputKey colorSpace{"inputColorSpace"};
inline constexpr InputKey radius{"inputRadius"};
inline constexpr InputKey radius0{"inputRadius0"};
inline constexpr InputKey radius1{"inputRadius1"};
inline constexpr InputKey center{"inputCenter"};
inline constexpr InputKey color0{"inputColor0"};
inline constexpr InputKey color1{"inputColor1"};
inline constexpr InputKey kernelSize{"inputKernelSize"};
inline constexpr InputKey colorMatrix{"inputColorMatrix"};
inline constexpr InputKey amount{"inputAmount"};
inline constexpr InputKey curvePoints{"inputCurvePoints"};
inline constexpr InputKey midpoint{"inputMidpoint"};
inline constexpr InputKey feather{"inputFeather"};
inline constexpr InputKey highlights{"inputHighlights"};
inline constexpr InputKey shadows{"inputShadows"};
} // namespace Inputs

} // namespace ImageEngine
