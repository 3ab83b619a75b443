#include "LookupTableImage.h"

#include <algorithm>
#include <cmath>

namespace ResourceArt {

namespace {

std::uint8_t toByte(double v) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255.0));
}

} // namespace

Raster lookupTableImage(Rgb (*grade)(Rgb)) {
    constexpr int n = kLookupTableSize;
    Raster image(n * n, n);
    for (int blue = 0; blue < n; ++blue) {
        for (int green = 0; green < n; ++green) {
            for (int red = 0; red < n; ++red) {
                const Rgb in{red / double(n - 1), green / double(n - 1), blue / double(n - 1)};
                const Rgb out = grade(in);
                std::uint8_t* p = image.pixel(blue * n + red, green);
                p[0] = toByte(out.r);
                p[1] = toByte(out.g);
                p[2] = toByte(out.b);
                p[3] = 255;
            }
        }
    }
    return image;
}

Raster identityLookupTableImage() {
    return lookupTableImage([](Rgb c) { return c; });
}

} // namespace ResourceArt
