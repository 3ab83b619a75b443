#pragma once

namespace ImageEngine {

// sRGB decoding of stored grey bytes through a table built once per process (never pow per pixel).
// Colour bytes are decoded by a rational fit of the curve in the vector kernels (Simd::decodeRgba8),
// which needs no per-lane look-ups.
struct SrgbTables {
    // 8-bit encoded value → linear.
    float decode8[256];

    static const SrgbTables& get();
};

// The exact transfer functions, sign kept for negatives: used to build the tables, to convert the
// filters' colour inputs, and by the tests.
double srgbEncodeExact(double linear);
double srgbDecodeExact(double encoded);

} // namespace ImageEngine
