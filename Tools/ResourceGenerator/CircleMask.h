#pragma once

#include "Raster.h"

namespace ResourceArt {

// Point size of the circle blur's mask image. The blur stretches it into a rectangle 1000 points larger
// than this on each axis, centred on the sharp spot.
constexpr int kCircleMaskPointSize = 100;

// The mask at the given pixel scale (1, 2 or 3): a black disc, fully black to 30 % of the width from
// the centre, fading smoothly to white by 48 %, so the image's own border is white and leaves no seam
// against the white around it. Black keeps the photo sharp, white lets the blur through.
Raster circleMaskImage(int scale);

} // namespace ResourceArt
