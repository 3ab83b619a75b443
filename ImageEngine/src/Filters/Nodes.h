#pragma once

#include "Pipeline/Node.h"

#include <Graphics/AffineTransform.h>
#include <Graphics/Bitmap.h>
#include <ImageEngine/Filter.h>
#include <memory>
#include <string>

namespace ImageEngine {

// Graph builders shared by the filters and the recipe methods. Each answers nullptr for a null input.
NodePtr makeSourceNode(std::shared_ptr<const Graphics::Bitmap> bitmap);
NodePtr makeAffineNode(const NodePtr& input, const Graphics::AffineTransform& transform);
NodePtr makeCropNode(const NodePtr& input, const Graphics::Rect& rect);

// True when every pixel centre maps onto a pixel centre: quarter turns, mirrors and whole-pixel
// moves, which resample nothing.
bool mapsPixelCentresOntoCentres(const Graphics::AffineTransform& transform);
// A bitmap source read through the transform (or cropped to the rect) when the step can be folded
// into the read: the input is a source, the transform maps centres onto centres, the rect has
// whole-pixel edges. nullptr when it cannot.
NodePtr foldTransformIntoSource(const NodePtr& input, const Graphics::AffineTransform& transform);
NodePtr foldCropIntoSource(const NodePtr& input, const Graphics::Rect& rect);

// Wraps a node as a recipe; nullptr for a null node.
ImagePtr imageWithNode(NodePtr node);
// The node of a recipe; nullptr for a null recipe.
inline NodePtr nodeOf(const ImagePtr& image) {
    return image ? image->node() : nullptr;
}

// Factories of the named filters, one per filter file.
std::shared_ptr<Filter> makeExposureAdjustFilter();
std::shared_ptr<Filter> makeGammaAdjustFilter();
std::shared_ptr<Filter> makeColorControlsFilter();
std::shared_ptr<Filter> makeColorCubeWithColorSpaceFilter();
std::shared_ptr<Filter> makeOverlayBlendModeFilter();
std::shared_ptr<Filter> makeBlendWithMaskFilter();
std::shared_ptr<Filter> makeSourceOverCompositingFilter();
std::shared_ptr<Filter> makeAffineTransformFilter();
std::shared_ptr<Filter> makeAffineClampFilter();
std::shared_ptr<Filter> makeCropFilter();
std::shared_ptr<Filter> makeGaussianBlurFilter();
std::shared_ptr<Filter> makeRadialGradientFilter();

// Base of the filters defined in this engine: gives them the protected constructor of Filter.
class EngineFilter : public Filter {
public:
    explicit EngineFilter(std::string name) : Filter(std::move(name)) {}
    // Declares the inputs and sets them to their defaults.
    void prepare();
};

template <typename T>
std::shared_ptr<Filter> makePreparedFilter() {
    auto filter = std::make_shared<T>();
    filter->prepare();
    return filter;
}

} // namespace ImageEngine
