#pragma once

#include <Foundation/Export.h>
#include <ImageEngine/Filter.h>
#include <ImageEngine/FilterNames.h>
#include <initializer_list>
#include <utility>

// The engine's named filters as the editor uses them: one filter built by name, its inputs set by
// key, and its output taken. nullptr when an input the filter needs is missing (so nullptr flows
// through a chain). Names and keys are the engine's typed constants (RUXFilterName::exposureAdjust,
// RUXFilterKey::ev). Any thread; the caller owns the result.
RUX_API ImageEngine::ImagePtr
RUXFilterOutput(ImageEngine::FilterName name,
                std::initializer_list<std::pair<ImageEngine::InputKey, ImageEngine::FilterValue>> inputs);

// The pixel rectangle a render of extent covers: edges within a millionth of a whole pixel are
// snapped to it, so that the residues quarter turns leave (about 1e-16) do not add a row of
// empty pixels; other edges are kept for the engine to round outward. Any thread.
RUX_API Graphics::Rect RUXPixelRectForExtent(const Graphics::Rect& extent);

// The filters and input keys the editor names.
namespace RUXFilterName = ImageEngine::Filters;
namespace RUXFilterKey = ImageEngine::Inputs;
