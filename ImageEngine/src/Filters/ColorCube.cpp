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
        : m_dimension(dimension), m_table(std::move(table)), m_encoded(encoded) {
        // Looks are nearly always opaque; their alpha then needs no division.
        m_opaque = true;
        for (std::size_t i = 3; i < m_table.size(); i += 4)
            m_opaque = m_opaque && m_table[i] == 1.0f;
    }

    void apply(const Simd::Lanes& lanes) const override {
        Simd::colorCube(lanes, {m_table.data(), m_dimension, m_opaque, m_encoded});
    }

private:
    int m_dimension;
    std::vector<float> m_table;
    bool m_encoded;
    bool m_opaque;
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
