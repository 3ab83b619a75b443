#pragma once

#include "Filters/Nodes.h"

#include <cstddef>
#include <vector>

namespace ImageEngine {

// One row of a per-pixel combination: rewrites the background in place from the foreground (and the
// mask, null for the combinations without one), count pixels of linear premultiplied RGBA.
using CombineRow = void (*)(const float* foreground, const float* mask, float* background, std::size_t count);

// A recipe combining inputs {foreground, background} or {foreground, background, mask} row by row;
// it covers the union of the foreground's and background's extents. nullptr when any input is null.
ImagePtr compositeImage(std::vector<NodePtr> inputs, CombineRow combine);

// A filter named name over Inputs::image (the foreground) and Inputs::backgroundImage whose output is
// compositeImage of the two with combine: what the compositing filters without a mask share.
std::shared_ptr<Filter> makeForegroundOverBackgroundFilter(FilterName name, CombineRow combine);

} // namespace ImageEngine
