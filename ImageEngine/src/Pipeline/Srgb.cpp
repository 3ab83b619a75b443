#include "Pipeline/Srgb.h"

#include <cmath>
#include <memory>

namespace ImageEngine {

double srgbEncodeExact(double linear) {
    double magnitude = std::abs(linear);
    double encoded =
        magnitude <= 0.0031308 ? 12.92 * magnitude : 1.055 * std::pow(magnitude, 1 / 2.4) - 0.055;
    return linear < 0 ? -encoded : encoded;
}

double srgbDecodeExact(double encoded) {
    double magnitude = std::abs(encoded);
    double linear = magnitude <= 0.04045 ? magnitude / 12.92 : std::pow((magnitude + 0.055) / 1.055, 2.4);
    return encoded < 0 ? -linear : linear;
}

namespace {

std::unique_ptr<SrgbTables> buildTables() {
    auto tables = std::make_unique<SrgbTables>();
    for (int c = 0; c < 256; ++c)
        tables->decode8[c] = static_cast<float>(srgbDecodeExact(c / 255.0));
    return tables;
}

} // namespace

const SrgbTables& SrgbTables::get() {
    static const std::unique_ptr<SrgbTables> tables = buildTables();
    return *tables;
}

} // namespace ImageEngine
