#pragma once

#include "ColorGrade.h"
#include "Raster.h"

namespace ResourceArt {

// Cube size of every look: 33 steps per channel.
constexpr int kLookupTableSize = 33;

// The lookup-table image of a grade: one row of 33 tiles of 33 × 33 pixels (1089 × 33). Tile t holds
// blue step t; inside a tile the column is the red step and the row (from the top) the green step.
// Each opaque pixel is the grade of the input colour (r, g, b) / 32, rounded to 8 bits.
Raster lookupTableImage(Rgb (*grade)(Rgb));

// The table that changes nothing, for checking the layout end to end.
Raster identityLookupTableImage();

} // namespace ResourceArt
