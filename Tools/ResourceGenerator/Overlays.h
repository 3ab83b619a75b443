#pragma once

#include "ColorGrade.h"
#include "Raster.h"

#include <string>
#include <vector>

namespace ResourceArt {

// A dark-corner overlay for the overlay blend. The blend runs in linear light, where an overlay value of
// 0.5 leaves the photo unchanged and a value v below it scales the photo by 2v; so the centre is the
// neutral value and the corners fall to 0.5 × (1 − strength × tint).
struct VignetteStyle {
    std::string name;
    double innerRadius; // the darkening starts at this normalised distance (corner = 1)
    double strength;    // darkening at the corner: 0 none, 1 black
    double falloff;     // exponent on the ramp: above 1 keeps the darkening in the corners
    double squareness;  // 2 round; larger values hug the frame's edges, like a lens hood
    Rgb tint;           // per-channel share of the darkening, so corners can cool or warm a little
};

// The five overlays, one per overlay look. Any thread may call it.
const std::vector<VignetteStyle>& vignetteStyles();

// The overlay as an opaque square image, sRGB-encoded like every PNG of the bundle. The smooth ramp is
// dithered (triangular noise of one level) so that it shows no bands when stretched to a full-size
// photo; where no darkening is wanted the pixel is exactly the encoded neutral value, with no noise.
Raster vignetteImage(const VignetteStyle& style, int size);

// The 8-bit sRGB value whose linear value lies closest to 0.5.
int neutralOverlayLevel();

} // namespace ResourceArt
