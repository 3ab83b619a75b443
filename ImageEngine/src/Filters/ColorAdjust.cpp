// "CIExposureAdjust", "CIGammaAdjust" and "CIColorControls": one-value colour steps.
#include "Filters/Nodes.h"
#include "Pipeline/FastMath.h"
#include "Pipeline/PointNode.h"

#include <cmath>

namespace ImageEngine {

namespace {

class ExposureKernel final : public PointKernel {
public:
    explicit ExposureKernel(float ev) : m_gain(std::exp2(ev)) {}
    void apply(float* p, std::size_t count) const override {
        // Scaling premultiplied colour scales the straight colour alike; alpha stays.
        for (std::size_t i = 0; i < count; ++i, p += 4) {
            p[0] *= m_gain;
            p[1] *= m_gain;
            p[2] *= m_gain;
        }
    }

private:
    float m_gain;
};

class GammaKernel final : public PointKernel {
public:
    explicit GammaKernel(float power) : m_power(power) {}
    void apply(float* p, std::size_t count) const override {
        for (std::size_t i = 0; i < count; ++i, p += 4) {
            float alpha = p[3];
            if (alpha <= 0.0f)
                continue;
            float inverse = 1.0f / alpha;
            for (int c = 0; c < 3; ++c) {
                float v = p[c] * inverse;
                float magnitude = fastPow(v, m_power);
                p[c] = (v < 0 ? -magnitude : magnitude) * alpha;
            }
        }
    }

private:
    float m_power;
};

class ColorControlsKernel final : public PointKernel {
public:
    ColorControlsKernel(float saturation, float brightness, float contrast)
        : m_saturation(saturation), m_brightness(brightness), m_contrast(contrast) {}
    void apply(float* p, std::size_t count) const override {
        for (std::size_t i = 0; i < count; ++i, p += 4) {
            float alpha = p[3];
            if (alpha <= 0.0f)
                continue;
            // Brightness and contrast act on straight colour; saturation alone would not care.
            float inverse = 1.0f / alpha;
            float r = p[0] * inverse, g = p[1] * inverse, b = p[2] * inverse;
            float luma = 0.2125f * r + 0.7154f * g + 0.0721f * b;
            float rgb[3] = {r, g, b};
            for (int c = 0; c < 3; ++c) {
                float v = luma + (rgb[c] - luma) * m_saturation + m_brightness;
                v = (v - 0.5f) * m_contrast + 0.5f;
                p[c] = v * alpha;
            }
        }
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
