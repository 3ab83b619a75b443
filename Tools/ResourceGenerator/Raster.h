#pragma once

#include <cstdint>
#include <vector>

namespace ResourceArt {

// The generator's pixel buffer before it becomes a PNG: RGBA8, straight (not premultiplied) alpha,
// tightly packed rows, top row first.
struct Raster {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgba;

    Raster(int w, int h) : width(w), height(h), rgba(static_cast<std::size_t>(w) * h * 4, 0) {}
    std::uint8_t* pixel(int x, int y) { return rgba.data() + (static_cast<std::size_t>(y) * width + x) * 4; }
    const std::uint8_t* pixel(int x, int y) const {
        return rgba.data() + (static_cast<std::size_t>(y) * width + x) * 4;
    }
};

// sRGB transfer functions, for the parts of the bundle that are meant in linear light.
double linearFromSrgb(double encoded);
double srgbFromLinear(double linear);

} // namespace ResourceArt
