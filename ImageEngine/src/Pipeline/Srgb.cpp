#include "Pipeline/Srgb.h"

#include <algorithm>
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
    for (int a = 0; a < 256; ++a)
        for (int c = 0; c < 256; ++c) {
            // Stored colour above alpha is not a valid premultiplied pixel; treat it as full colour.
            double colour = a == 0 ? 0.0 : std::min(1.0, static_cast<double>(c) / a);
            tables->premultiplied[a][c] = static_cast<float>(srgbDecodeExact(colour) * a / 255.0);
        }
    return tables;
}

} // namespace

const SrgbTables& SrgbTables::get() {
    static const std::unique_ptr<SrgbTables> tables = buildTables();
    return *tables;
}

} // namespace ImageEngine
