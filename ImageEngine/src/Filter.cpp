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

void EngineFilter::prepare() {
    declareInputs();
    m_values = m_defaults;
}

void Filter::declareInput(const std::string& key, FilterValue defaultValue) {
    m_defaults[key] = std::move(defaultValue);
}

void Filter::setValue(const std::string& key, FilterValue value) {
    auto it = m_defaults.find(key);
    if (it == m_defaults.end()) {
        Foundation::log("ImageEngine: filter %s has no input \"%s\"", m_name.c_str(), key.c_str());
        return;
    }
    if (std::holds_alternative<std::monostate>(value)) {
        m_values[key] = it->second;
        return;
    }
    if (value.index() != it->second.index()) {
        Foundation::log("ImageEngine: filter %s input \"%s\" set to a value of the wrong kind",
                        m_name.c_str(), key.c_str());
        return;
    }
    // A vector's count is part of its kind: a centre takes two numbers, a rectangle four.
    const Vector* vector = std::get_if<Vector>(&value);
    if (vector && vector->count != std::get<Vector>(it->second).count) {
        Foundation::log("ImageEngine: filter %s input \"%s\" takes %d numbers, not %d", m_name.c_str(),
                        key.c_str(), std::get<Vector>(it->second).count, vector->count);
        return;
    }
    m_values[key] = std::move(value);
}

FilterValue Filter::value(const std::string& key) const {
    auto it = m_values.find(key);
    return it == m_values.end() ? FilterValue{} : it->second;
}

ImagePtr Filter::outputImage() const {
    return build();
}

ImagePtr Filter::imageInput(const std::string& key) const {
    return inputOr<ImagePtr>(m_values, key, nullptr);
}
double Filter::numberInput(const std::string& key) const {
    return inputOr<double>(m_values, key, 0.0);
}
Vector Filter::vectorInput(const std::string& key) const {
    return inputOr<Vector>(m_values, key, Vector{});
}
Color Filter::colorInput(const std::string& key) const {
    return inputOr<Color>(m_values, key, Color{});
}
Graphics::AffineTransform Filter::transformInput(const std::string& key) const {
    return inputOr<Graphics::AffineTransform>(m_values, key, Graphics::AffineTransform::identity());
}
Data Filter::dataInput(const std::string& key) const {
    return inputOr<Data>(m_values, key, nullptr);
}
Graphics::ColorSpace Filter::colorSpaceInput(const std::string& key) const {
    return inputOr<Graphics::ColorSpace>(m_values, key, Graphics::ColorSpace::DeviceRGB);
}

} // namespace ImageEngine
