// "CIColorCubeWithColorSpace": a three-dimensional colour look-up table applied in a given space.
#include "Filters/Nodes.h"
#include "Pipeline/PointNode.h"
#include "Pipeline/Srgb.h"

#include <Foundation/Log.h>
#include <algorithm>
#include <cmath>
#include <cstring>

namespace ImageEngine {

namespace {

class ColorCubeKernel final : public PointKernel {
public:
    ColorCubeKernel(int dimension, std::vector<float> table, bool encoded)
        : m_dimension(dimension), m_table(std::move(table)), m_encoded(encoded) {}

    void apply(float* p, std::size_t count) const override {
        const SrgbTables& tables = SrgbTables::get();
        const float scale = static_cast<float>(m_dimension - 1);
        const std::size_t strideG = static_cast<std::size_t>(m_dimension) * 4;
        const std::size_t strideB = strideG * static_cast<std::size_t>(m_dimension);
        for (std::size_t i = 0; i < count; ++i, p += 4) {
            float alpha = p[3];
            if (alpha <= 0.0f) {
                p[0] = p[1] = p[2] = p[3] = 0.0f;
                continue;
            }
            // Straight colour in the table's space, clamped to the table's domain.
            float inverse = 1.0f / alpha;
            float position[3];
            int base[3];
            float fraction[3];
            for (int c = 0; c < 3; ++c) {
                float v = p[c] * inverse;
                if (m_encoded)
                    v = srgbEncodeWith(tables, v);
                position[c] = std::clamp(v, 0.0f, 1.0f) * scale;
                base[c] = std::min(static_cast<int>(position[c]), m_dimension - 2);
                fraction[c] = position[c] - static_cast<float>(base[c]);
            }
            // Trilinear interpolation between the eight surrounding entries.
            const float* corner = m_table.data() + static_cast<std::size_t>(base[0]) * 4 +
                                  static_cast<std::size_t>(base[1]) * strideG +
                                  static_cast<std::size_t>(base[2]) * strideB;
            float result[4];
            for (int c = 0; c < 4; ++c) {
                float c00 = corner[c] + (corner[4 + c] - corner[c]) * fraction[0];
                float c10 =
                    corner[strideG + c] + (corner[strideG + 4 + c] - corner[strideG + c]) * fraction[0];
                float c01 =
                    corner[strideB + c] + (corner[strideB + 4 + c] - corner[strideB + c]) * fraction[0];
                float c11 = corner[strideB + strideG + c] +
                            (corner[strideB + strideG + 4 + c] - corner[strideB + strideG + c]) * fraction[0];
                float c0 = c00 + (c10 - c00) * fraction[1];
                float c1 = c01 + (c11 - c01) * fraction[1];
                result[c] = c0 + (c1 - c0) * fraction[2];
            }
            // The table holds premultiplied colour: back to straight, to linear, then premultiply by
            // both the table's and the pixel's alpha.
            float tableAlpha = result[3];
            float outAlpha = tableAlpha * alpha;
            float straight = tableAlpha > 0.0f ? 1.0f / tableAlpha : 0.0f;
            for (int c = 0; c < 3; ++c) {
                float v = result[c] * straight;
                if (m_encoded)
                    v = srgbDecodeWith(tables, v);
                p[c] = v * outAlpha;
            }
            p[3] = outAlpha;
        }
    }

private:
    int m_dimension;
    std::vector<float> m_table;
    bool m_encoded;
};

class ColorCubeWithColorSpaceFilter final : public EngineFilter {
public:
    ColorCubeWithColorSpaceFilter() : EngineFilter("CIColorCubeWithColorSpace") {}

protected:
    void declareInputs() override {
        declareInput("inputImage", ImagePtr{});
        declareInput("inputCubeDimension", 2.0);
        declareInput("inputCubeData", Data{});
        declareInput("inputColorSpace", Graphics::ColorSpace::DeviceRGB);
    }
    ImagePtr build() const override {
        NodePtr input = nodeOf(imageInput("inputImage"));
        if (!input)
            return nullptr;
        double dimensionValue = numberInput("inputCubeDimension");
        if (!(dimensionValue >= 2 && dimensionValue <= 64) || dimensionValue != std::floor(dimensionValue)) {
            Foundation::log("ImageEngine: CIColorCubeWithColorSpace dimension %g outside 2...64",
                            dimensionValue);
            return nullptr;
        }
        const int dimension = static_cast<int>(dimensionValue);
        const std::size_t entries = static_cast<std::size_t>(dimension) * dimension * dimension * 4;
        Data data = dataInput("inputCubeData");
        if (!data || data->size() != entries * sizeof(float)) {
            Foundation::log("ImageEngine: CIColorCubeWithColorSpace data of %zu bytes, %zu expected",
                            data ? data->size() : 0, entries * sizeof(float));
            return nullptr;
        }
        std::vector<float> table(entries);
        std::memcpy(table.data(), data->data(), entries * sizeof(float));
        // A table for linear colour needs no conversion; every other space is taken as sRGB-encoded.
        bool encoded = colorSpaceInput("inputColorSpace") != Graphics::ColorSpace::LinearSRGB;
        return imageWithNode(appendPointKernel(
            input, std::make_shared<ColorCubeKernel>(dimension, std::move(table), encoded)));
    }
};

} // namespace

std::shared_ptr<Filter> makeColorCubeWithColorSpaceFilter() {
    return makePreparedFilter<ColorCubeWithColorSpaceFilter>();
}

} // namespace ImageEngine
