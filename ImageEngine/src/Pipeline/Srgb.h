#pragma once

#include <cstdint>

namespace ImageEngine {

// sRGB transfer function through tables built once per process (never pow per pixel).
struct SrgbTables {
    // 8-bit encoded value → linear.
    float decode8[256];
    // premultiplied[a][c]: linear premultiplied value of the 8-bit premultiplied sRGB pair (c, a).
    float premultiplied[256][256];
    // Linear 0…1 in steps of 1/65535 → encoded byte, correctly rounded.
    std::uint8_t encode16[65536];
    // Float curves on a 4096-step grid, linearly interpolated (below the linear toe they are exact).
    float encodeCurve[4098];
    float decodeCurve[4098];

    static const SrgbTables& get();
};

constexpr int kCurveSteps = 4096;

// Linear → encoded, for any float: exact in the toe, interpolated above, the analytic curve beyond 1
// (for values pushed past white), sign kept for negatives.
float srgbEncode(float linear);
// Encoded → linear, the same way.
float srgbDecode(float encoded);

// The exact functions, used to build the tables and by the tests.
double srgbEncodeExact(double linear);
double srgbDecodeExact(double encoded);

inline float curveLookup(const float* curve, float v) {
    float position = v * kCurveSteps;
    int i = static_cast<int>(position);
    float f = position - static_cast<float>(i);
    return curve[i] + (curve[i + 1] - curve[i]) * f;
}

// srgbEncode and srgbDecode with the tables at hand, for loops that fetch them once.
inline float srgbEncodeWith(const SrgbTables& tables, float linear) {
    float magnitude = linear < 0 ? -linear : linear;
    // NaN goes the exact way too: as a table index it would read far outside the table.
    if (!(magnitude < 1.0f))
        return srgbEncode(linear);
    float encoded = magnitude <= 0.0031308f ? 12.92f * magnitude : curveLookup(tables.encodeCurve, magnitude);
    return linear < 0 ? -encoded : encoded;
}
inline float srgbDecodeWith(const SrgbTables& tables, float encoded) {
    float magnitude = encoded < 0 ? -encoded : encoded;
    if (!(magnitude < 1.0f))
        return srgbDecode(encoded);
    float linear =
        magnitude <= 0.04045f ? magnitude * (1.0f / 12.92f) : curveLookup(tables.decodeCurve, magnitude);
    return encoded < 0 ? -linear : linear;
}

} // namespace ImageEngine
