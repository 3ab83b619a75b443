#pragma once

#include <Foundation/Export.h>
#include <ImageEngine/Filter.h>
#include <initializer_list>
#include <utility>

// The engine's named filters as the editor uses them: one filter built by name, its inputs set by
// key, and its output taken. nullptr when the name is unknown or an input the filter needs is
// missing (so nullptr flows through a chain). Any thread; the caller owns the result.
RUX_API ImageEngine::ImagePtr
RUXFilterOutput(const char* name,
                std::initializer_list<std::pair<const char*, ImageEngine::FilterValue>> inputs);

// The input keys the editor sets.
namespace RUXFilterKey {
inline constexpr const char* image = "inputImage";
inline constexpr const char* backgroundImage = "inputBackgroundImage";
inline constexpr const char* maskImage = "inputMaskImage";
inline constexpr const char* transform = "inputTransform";
inline constexpr const char* rectangle = "inputRectangle";
inline constexpr const char* ev = "inputEV";
inline constexpr const char* power = "inputPower";
inline constexpr const char* saturation = "inputSaturation";
inline constexpr const char* cubeDimension = "inputCubeDimension";
inline constexpr const char* cubeData = "inputCubeData";
inline constexpr const char* colorSpace = "inputColorSpace";
inline constexpr const char* radius = "inputRadius";
inline constexpr const char* radius0 = "inputRadius0";
inline constexpr const char* radius1 = "inputRadius1";
inline constexpr const char* center = "inputCenter";
inline constexpr const char* color0 = "inputColor0";
inline constexpr const char* color1 = "inputColor1";
} // namespace RUXFilterKey
