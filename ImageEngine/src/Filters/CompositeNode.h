#pragma once

#include "Filters/Nodes.h"

#include <cstddef>
#include <vector>

namespace ImageEngine {

class PointKernel;

// One row of a per-pixel combination: rewrites the background in place from the foreground (and the
// mask, null for the combinations without one), count pixels of linear premultiplied RGBA.
using CombineRow = void (*)(const float* foreground, const float* mask, float* background, std::size_t count);

// A recipe combining inputs {foreground, background} or {foreground, background, mask} row by row;
// it covers the union of the foreground's and background's extents. nullptr when any input is null.
ImagePtr compositeImage(std::vector<NodePtr> inputs, CombineRow combine);

// The same combination as a per-pixel step of the background's chain that reads the foreground as its
// side input, for a combination that has one.
using CombineStep = std::shared_ptr<const PointKernel> (*)(NodePtr foreground);

// A filter named name over Inputs::image (the foreground) and Inputs::backgroundImage whose output is
// compositeImage of the two with combine: what the compositing filters without a mask share. Given
// step, a foreground lying within the background's extent is combined by that step at the end of the
// background's chain instead, so the per-pixel steps around it run in one pass.
std::shared_ptr<Filter> makeForegroundOverBackgroundFilter(FilterName name, CombineRow combine,
                                                           CombineStep step = nullptr);

} // namespace ImageEngine
