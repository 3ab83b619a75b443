#include "CircleMask.h"

#include <algorithm>
#include <cmath>

namespace ResourceArt {

Raster circleMaskImage(int scale) {
    const int size = kCircleMaskPointSize * scale;
    Raster image(size, size);
    constexpr double sharpRadius = 0.30;
    constexpr double blurRadius = 0.48;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            const double dx = (x + 0.5) / size - 0.5;
            const double dy = (y + 0.5) / size - 0.5;
            const double t =
                std::clamp((std::hypot(dx, dy) - sharpRadius) / (blurRadius - sharpRadius), 0.0, 1.0);
            // Smootherstep: its flat ends hide where the disc starts to soften and where it meets white.
            const double level = t * t * t * (t * (t * 6.0 - 15.0) + 10.0);
            std::uint8_t* p = image.pixel(x, y);
            p[0] = p[1] = p[2] = static_cast<std::uint8_t>(std::lround(level * 255.0));
            p[3] = 255;
        }
    }
    return image;
}

} // namespace ResourceArt
