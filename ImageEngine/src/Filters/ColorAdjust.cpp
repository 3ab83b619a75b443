// "CIExposureAdjust", "CIGammaAdjust" and "CIColorControls": one-value colour steps.
#include "Filters/Nodes.h"
#include "Pipeline/PointNode.h"

#include <cmath>

namespace ImageEngine {

namespace {

class ExposureKernel final : public PointKernel {
public:
    explicit ExposureKernel(float ev) : m_gain(std::exp2(ev)) {}
    void apply(const Simd::Lanes& lanes) const override { Simd::exposure(lanes, m_gain); }

private:
    float m_gain;
};

class GammaKernel final : public PointKernel {
public:
    explicit GammaKernel(float power) : m_power(power) {}
    void apply(const Simd::Lanes& lanes) const override { Simd::gamma(lanes, m_power); }

private:
    float m_power;
};

class ColorControlsKernel final : public PointKernel {
public:
    ColorControlsKernel(float saturation, float brightness, float contrast)
        : m_saturation(saturation), m_brightness(brightness), m_contrast(contrast) {}
    void apply(const Simd::Lanes& lanes) const override {
        Simd::colorControls(lanes, m_saturation, m_brightness, m_contrast);
    }

private:
    float m_saturation, m_brightness, m_contrast;
};

class ExposureAdjustFilter final : public EngineFilter {
public:
    ExposureAdjustFilter() : EngineFilter("CIExposureAdjust") {}

protected:
    void declareInputs() override {
        declareInput("inputImage", ImagePtr{});
        declareInput("inputEV", 0.0);
    }
    ImagePtr build() const override {
        NodePtr input = nodeOf(imageInput("inputImage"));
        return imageWithNode(appendPointKernel(
            input, std::make_shared<ExposureKernel>(static_cast<float>(numberInput("inputEV")))));
    }
};

class GammaAdjustFilter final : public EngineFilter {
public:
    GammaAdjustFilter() : EngineFilter("CIGammaAdjust") {}

protected:
    void declareInputs() override {
        declareInput("inputImage", ImagePtr{});
        declareInput("inputPower", 1.0);
    }
    ImagePtr build() const override {
        NodePtr input = nodeOf(imageInput("inputImage"));
        return imageWithNode(appendPointKernel(
            input, std::make_shared<GammaKernel>(static_cast<float>(numberInput("inputPower")))));
    }
};

class ColorControlsFilter final : public EngineFilter {
public:
    ColorControlsFilter() : EngineFilter("CIColorControls") {}

protected:
    void declareInputs() override {
        declareInput("inputImage", ImagePtr{});
        declareInput("inputSaturation", 1.0);
        declareInput("inputBrightness", 0.0);
        declareInput("inputContrast", 1.0);
    }
    ImagePtr build() const override {
        NodePtr input = nodeOf(imageInput("inputImage"));
        auto kernel =
            std::make_shared<ColorControlsKernel>(static_cast<float>(numberInput("inputSaturation")),
                                                  static_cast<float>(numberInput("inputBrightness")),
                                                  static_cast<float>(numberInput("inputContrast")));
        return imageWithNode(appendPointKernel(input, std::move(kernel)));
    }
};

} // namespace

std::shared_ptr<Filter> makeExposureAdjustFilter() {
    return makePreparedFilter<ExposureAdjustFilter>();
}
std::shared_ptr<Filter> makeGammaAdjustFilter() {
    return makePreparedFilter<GammaAdjustFilter>();
}
std::shared_ptr<Filter> makeColorControlsFilter() {
    return makePreparedFilter<ColorControlsFilter>();
}

} // namespace ImageEngine
