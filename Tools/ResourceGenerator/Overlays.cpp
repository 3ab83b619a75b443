#include "Overlays.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace ResourceArt {

namespace {

// A reproducible noise source, so that regenerating the bundle gives byte-identical files.
double hashUnit(std::uint32_t x, std::uint32_t y, std::uint32_t seed) {
    std::uint32_t h = x * 0x8da6b343u ^ y * 0xd8163841u ^ seed * 0xcb1ab31fu;
    h ^= h >> 16;
    h *= 0x7feb352du;
    h ^= h >> 15;
    h *= 0x846ca68bu;
    h ^= h >> 16;
    return (h >> 8) / double(1u << 24);
}

double smoothstep(double edge0, double edge1, double x) {
    const double t = std::clamp((x - edge0) / (edge1 - edge0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

} // namespace

const std::vector<VignetteStyle>& vignetteStyles() {
    static const std::vector<VignetteStyle> styles = {
        // Pastel look: a light, wide, slightly warm fall-off.
        {"overlay_caprice_darkcorner", 0.4, 0.55, 1.4, 2.0, {0.9, 1.0, 1.1}},
        // Instant film: the dark, squarish corners of a small camera's lens.
        {"overlay_instant_darkcorner", 0.5, 0.7, 1.8, 3.2, {0.95, 1.0, 1.05}},
        // A neutral, medium vignette that frames the subject.
        {"overlay_pro_darkcorner", 0.4, 0.55, 1.5, 2.0, {1.0, 1.0, 1.0}},
        // Strong and round for the black-and-white look.
        {"overlay_tokyo_darkcorner", 0.3, 0.75, 1.6, 2.0, {1.0, 1.0, 1.0}},
        // Tight corners that leave most of the frame vivid.
        {"overlay_vivid_darkcorner", 0.55, 0.6, 2.0, 2.6, {1.05, 1.0, 0.95}},
    };
    return styles;
}

int neutralOverlayLevel() {
    int best = 0;
    for (int level = 1; level < 256; ++level) {
        if (std::abs(linearFromSrgb(level / 255.0) - 0.5) < std::abs(linearFromSrgb(best / 255.0) - 0.5))
            best = level;
    }
    return best;
}

Raster vignetteImage(const VignetteStyle& style, int size) {
    Raster image(size, size);
    const int neutral = neutralOverlayLevel();
    const double tint[3] = {style.tint.r, style.tint.g, style.tint.b};
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            // Normalised distance from the centre through a superellipse, 1 at the corners.
            const double u = std::abs((x + 0.5) / size * 2.0 - 1.0);
            const double v = std::abs((y + 0.5) / size * 2.0 - 1.0);
            const double p = style.squareness;
            const double d = std::pow((std::pow(u, p) + std::pow(v, p)) / 2.0, 1.0 / p);
            const double ramp = std::pow(smoothstep(style.innerRadius, 1.0, d), style.falloff);
            std::uint8_t* pixel = image.pixel(x, y);
            pixel[3] = 255;
            // One noise value for all three channels: grain in brightness only, never in colour.
            const double noise = hashUnit(x, y, 0) + hashUnit(x, y, 1) - 1.0;
            for (int channel = 0; channel < 3; ++channel) {
                if (ramp <= 0.0) {
                    pixel[channel] = static_cast<std::uint8_t>(neutral);
                    continue;
                }
                const double linear = 0.5 * (1.0 - std::min(1.0, style.strength * tint[channel]) * ramp);
                const double level = srgbFromLinear(linear) * 255.0 + noise;
                pixel[channel] = static_cast<std::uint8_t>(std::clamp(std::lround(level), 0L, 255L));
            }
        }
    }
    return image;
}

} // namespace ResourceArt
