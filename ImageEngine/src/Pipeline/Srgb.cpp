#include "Pipeline/Srgb.h"

#include "Pipeline/FastMath.h"

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
    for (int i = 0; i < 65536; ++i)
        tables->encode16[i] = static_cast<std::uint8_t>(std::lround(srgbEncodeExact(i / 65535.0) * 255.0));
    for (int i = 0; i <= kCurveSteps + 1; ++i) {
        double v = static_cast<double>(i) / kCurveSteps;
        tables->encodeCurve[i] = static_cast<float>(srgbEncodeExact(v));
        tables->decodeCurve[i] = static_cast<float>(srgbDecodeExact(v));
    }
    return tables;
}

} // namespace

const SrgbTables& SrgbTables::get() {
    static const std::unique_ptr<SrgbTables> tables = buildTables();
    return *tables;
}

float srgbEncode(float linear) {
    float magnitude = std::abs(linear);
    float encoded;
    if (magnitude <= 0.0031308f)
        encoded = 12.92f * magnitude;
    else if (magnitude < 1.0f)
        encoded = curveLookup(SrgbTables::get().encodeCurve, magnitude);
    else
        encoded = 1.055f * fastPow(magnitude, 1.0f / 2.4f) - 0.055f;
    return linear < 0 ? -encoded : encoded;
}

float srgbDecode(float encoded) {
    float magnitude = std::abs(encoded);
    float linear;
    if (magnitude <= 0.04045f)
        linear = magnitude * (1.0f / 12.92f);
    else if (magnitude < 1.0f)
        linear = curveLookup(SrgbTables::get().decodeCurve, magnitude);
    else
        linear = fastPow((magnitude + 0.055f) * (1.0f / 1.055f), 2.4f);
    return encoded < 0 ? -linear : linear;
}

} // namespace ImageEngine
