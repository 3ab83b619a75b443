#pragma once

namespace ImageEngine {

// sRGB decoding of stored bytes through tables built once per process (never pow per pixel).
struct SrgbTables {
    // 8-bit encoded value → linear.
    float decode8[256];
    // premultiplied[a][c]: linear premultiplied value of the 8-bit premultiplied sRGB pair (c, a).
    // Row 255 is decode8, which lets opaque and translucent pixels share one look-up.
    float premultiplied[256][256];

    static const SrgbTables& get();
};

// The exact transfer functions, sign kept for negatives: used to build the tables, to convert the
// filters' colour inputs, and by the tests.
double srgbEncodeExact(double linear);
double srgbDecodeExact(double encoded);

} // namespace ImageEngine
