#include "Filters/Nodes.h"

#include <Foundation/Log.h>
#include <ImageEngine/Filter.h>
#include <ImageEngine/FilterNames.h>
#include <unordered_map>

namespace ImageEngine {

namespace {

using Factory = std::shared_ptr<Filter> (*)();

const std::unordered_map<std::string, Factory>& registry() {
    // Never destroyed: the shared pool's threads outlive static destruction when a program returns
    // from main with renders still in flight, and those renders still look filters up.
    static const auto* filters = new std::unordered_map<std::string, Factory>{
        {Filters::exposureAdjust.text, makeExposureAdjustFilter},
        {Filters::gammaAdjust.text, makeGammaAdjustFilter},
        {Filters::colorControls.text, makeColorControlsFilter},
        {Filters::colorCubeWithColorSpace.text, makeColorCubeWithColorSpaceFilter},
        {Filters::overlayBlendMode.text, makeOverlayBlendModeFilter},
        {Filters::blendWithMask.text, makeBlendWithMaskFilter},
        {Filters::sourceOverCompositing.text, makeSourceOverCompositingFilter},
        {Filters::affineTransform.text, makeAffineTransformFilter},
        {Filters::affineClamp.text, makeAffineClampFilter},
        {Filters::crop.text, makeCropFilter},
        {Filters::gaussianBlur.text, makeGaussianBlurFilter},
        {Filters::radialGradient.text, makeRadialGradientFilter},
        {Filters::stretchedMask.text, makeStretchedMaskFilter},
        {Filters::circleBlur.text, makeCircleBlurFilter},
        {Filters::colorMatrix.text, makeColorMatrixFilter},
        {Filters::vibrance.text, makeVibranceFilter},
        {Filters::toneCurve.text, makeToneCurveFilter},
        {Filters::vignette.text, makeVignetteFilter},
        {Filters::highlightsShadows.text, makeHighlightsShadowsFilter},
        {Filters::sharpenLuminance.text, makeSharpenLuminanceFilter},
    };
    return *filters;
}

template <typename T>
T inputOr(const std::map<std::string, FilterValue>& values, const std::string& key, T fallback) {
    auto it = values.find(key);
    if (it == values.end())
        return fallback;
    if (const T* value = std::get_if<T>(&it->second))
        return *value;
    return fallback;
}

} // namespace

std::shared_ptr<Filter> Filter::create(const std::string& name) {
    auto it = registry().find(name);
    if (it == registry().end()) {
        Foundation::log("ImageEngine: no filter named \"%s\"", name.c_str());
        return nullptr;
    }
    return it->second();
}

std::vector<FilterName> Filter::registeredNames() {
    std::vector<FilterName> names;
    for (const auto& entry : registry())
        names.push_back(FilterName{entry.first.c_str()});
    return names;
}

void EngineFilter::prepare() {
    declareInputs();
    m_values = m_defaults;
}

bool isOfKind(const FilterValue& value, InputKind kind) {
    const Vector* vector = std::get_if<Vector>(&value);
    switch (kind) {
    case InputKind::Image:
        return std::holds_alternative<ImagePtr>(value);
    case InputKind::Number:
        return std::holds_alternative<double>(value);
    case InputKind::Point:
        return vector && vector->count == 2;
    case InputKind::Rectangle:
        return vector && vector->count == 4;
    case InputKind::Color:
        return std::holds_alternative<Color>(value);
    case InputKind::Transform:
        return std::holds_alternative<Graphics::AffineTransform>(value);
    case InputKind::Data:
        return std::holds_alternative<Data>(value);
    case InputKind::ColorSpace:
        return std::holds_alternative<Graphics::ColorSpace>(value);
    }
    return false;
}

void Filter::declareInput(InputKey key, InputKind kind, FilterValue defaultValue, InputRange range,
                          const char* meaning) {
    m_defaults[key.text] = defaultValue;
    m_kinds[key.text] = kind;
    m_declarations.push_back({key, kind, std::move(defaultValue), range, meaning});
}

void Filter::setValue(const std::string& key, FilterValue value) {
    auto it = m_defaults.find(key);
    if (it == m_defaults.end()) {
        Foundation::log("ImageEngine: filter %s has no input \"%s\"", m_name.c_str(), key.c_str());
        m_refusedKeys.insert(key);
        return;
    }
    if (std::holds_alternative<std::monostate>(value)) {
        m_values[key] = it->second;
        m_refusedKeys.erase(key);
        return;
    }
    const InputKind kind = m_kinds.at(key);
    if (!isOfKind(value, kind)) {
        // A vector's count is part of its kind: a centre takes two numbers, a rectangle four.
        const Vector* vector = std::get_if<Vector>(&value);
        if (vector && (kind == InputKind::Point || kind == InputKind::Rectangle))
            Foundation::log("ImageEngine: filter %s input \"%s\" takes %d numbers, not %d", m_name.c_str(),
                            key.c_str(), kind == InputKind::Point ? 2 : 4, vector->count);
        else
            Foundation::log("ImageEngine: filter %s input \"%s\" set to a value of the wrong kind",
                            m_name.c_str(), key.c_str());
        m_refusedKeys.insert(key);
        return;
    }
    m_values[key] = std::move(value);
    m_refusedKeys.erase(key);
}

FilterValue Filter::value(const std::string& key) const {
    auto it = m_values.find(key);
    return it == m_values.end() ? FilterValue{} : it->second;
}

ImagePtr Filter::outputImage() const {
    // The refusal was logged when the value was set.
    if (!m_refusedKeys.empty())
        return nullptr;
    return build();
}

ImagePtr Filter::imageInput(InputKey key) const {
    return inputOr<ImagePtr>(m_values, key.text, nullptr);
}
double Filter::numberInput(InputKey key) const {
    return inputOr<double>(m_values, key.text, 0.0);
}
Vector Filter::vectorInput(InputKey key) const {
    return inputOr<Vector>(m_values, key.text, Vector{});
}
Color Filter::colorInput(InputKey key) const {
    return inputOr<Color>(m_values, key.text, Color{});
}
Graphics::AffineTransform Filter::transformInput(InputKey key) const {
    return inputOr<Graphics::AffineTransform>(m_values, key.text, Graphics::AffineTransform::identity());
}
Data Filter::dataInput(InputKey key) const {
    return inputOr<Data>(m_values, key.text, nullptr);
}
Graphics::ColorSpace Filter::colorSpaceInput(InputKey key) const {
    return inputOr<Graphics::ColorSpace>(m_values, key.text, Graphics::ColorSpace::DeviceRGB);
}

} // namespace ImageEngine
