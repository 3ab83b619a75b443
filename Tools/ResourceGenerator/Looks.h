#pragma once

#include "ColorGrade.h"

#include <string>
#include <vector>

namespace ResourceArt {

// One look of the filter strip: the grade its lookup table encodes, and its overlay if it has one.
struct Look {
    std::string tableName;   // resource name of the lookup table, e.g. "lut_vivid_map"
    std::string displayName; // what the sample configuration calls it; empty for the look it does not offer
    std::string overlayName; // resource name of its dark-corner overlay, empty for none
    Rgb (*grade)(Rgb);       // sRGB-encoded input colour to sRGB-encoded output colour
};

// The fourteen looks, in the order of their resource names. Any thread may call it; the table is static.
const std::vector<Look>& looks();

} // namespace ResourceArt
