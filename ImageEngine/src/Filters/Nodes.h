#pragma once

#include "Pipeline/Node.h"
#include "Pipeline/PointNode.h"

#include <Graphics/AffineTransform.h>
#include <Graphics/Bitmap.h>
#include <ImageEngine/Filter.h>
#include <ImageEngine/FilterNames.h>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>

namespace ImageEngine {

// Graph builders shared by the filters and the recipe methods. Each answers nullptr for a null input.
NodePtr makeSourceNode(std::shared_ptr<const Graphics::Bitmap> bitmap);
NodePtr makeAffineNode(const NodePtr& input, const Graphics::AffineTransform& transform);
NodePtr makeCropNode(const NodePtr& input, const Graphics::Rect& rect);
// The input with its edge pixels repeated without limit, as Filters::affineClamp makes it with the
// identity; an infinite or empty input as it is.
NodePtr makeEdgeClampNode(const NodePtr& input);
// Filters::gaussianBlur's convolution of standard deviation sigma, with its limits (the input itself
// at or below 0.01, a blur of 100 above 100).
NodePtr makeGaussianBlurNode(const NodePtr& input, double sigma);

// True when every pixel centre maps onto a pixel centre: quarter turns, mirrors and whole-pixel
// moves, which resample nothing.
bool mapsPixelCentresOntoCentres(const Graphics::AffineTransform& transform);

// How far a matrix may be from one that maps centres onto centres and still be rendered as that
// one. Turns built by multiplying rotations carry residues of cos(pi/2) (about 6e-17, a few times
// that after several turns) where a 0 belongs, and the moves that follow them carry those residues
// times the picture's size. Coordinates stay below kPixelBound = 2^29, so a linear entry off by at
// most 2^-45 moves a point by at most 2^-16 of a pixel, two of them by 2^-15, and a translation off
// by 2^-20 adds 2^-20: together under 2^-14 of a pixel, which moves a bilinear weight so little that
// no 8-bit value could change (255 x 2^-14 is 1/64 of a level), 64 times finer than 1/256 of a
// pixel.
constexpr double kLinearTolerance = 0x1p-45;
constexpr double kTranslationTolerance = 0x1p-20;
// v rounded to the whole number within kTranslationTolerance of it, else v.
double snappedToWholePixel(double v);
// The centre-to-centre matrix within the tolerances of transform, or nullopt when there is none.
std::optional<Graphics::AffineTransform> snappedToPixelGrid(const Graphics::AffineTransform& transform);
// A bitmap source read through the transform (or cropped to the rect) when the step can be folded
// into the read: the input is a source, the transform maps centres onto centres, the rect has
// whole-pixel edges. nullptr when it cannot.
NodePtr foldTransformIntoSource(const NodePtr& input, const Graphics::AffineTransform& transform);
NodePtr foldCropIntoSource(const NodePtr& input, const Graphics::Rect& rect);
// A quarter turn, mirror or whole-pixel move of a turned and resampled picture cut to a frame (as
// straightening leaves it) made in the same resampling: the move joins the resampling's matrix and
// the frame is mapped through it, so the picture is resampled once and never copied. nullptr when
// the input is not such a picture or the transform does not map centres onto centres.
NodePtr foldTransformIntoResampling(const NodePtr& input, const Graphics::AffineTransform& transform);
// The input and rectangle of a crop; nullopt for any other node.
std::optional<std::pair<NodePtr, Graphics::Rect>> cropPartsOf(const NodePtr& node);

// The bitmap a node reads as it is (a recipe made by Image::createWithBitmap, neither moved nor cut);
// nullptr for any other node.
std::shared_ptr<const Graphics::Bitmap> sourceBitmapOf(const NodePtr& node);

// Writes the encoded bytes a render of rect would give into rowOf(y) for each row y of rect (rect.w
// × 4 bytes), straight from the bitmap where that gives the same bytes, when node is a bitmap source
// covering rect; false, with nothing written, for any other node.
bool copyEncodedSource(const Node& node, const PixelRect& rect,
                       const std::function<std::uint8_t*(int)>& rowOf);

// Hands the bytes of a bitmap source's pixels over rect to run, row by row in runs of at most
// runPixels pixels that start at multiples of runPixels from rect.x: run(y, start, count, bytes,
// opaque), the bytes in the render's order (turns and mirrors undone), valid during the call. False,
// with nothing handed over, when node is not a bitmap source of 4-byte pixels covering rect.
using SourceRun =
    std::function<void(int y, std::size_t start, std::size_t count, const std::uint8_t* bytes, bool opaque)>;
bool forEachSourceRun(const Node& node, const PixelRect& rect, std::size_t runPixels, const SourceRun& run);

// The bilinear taps of count output pixels of row y from column x through an inverse matrix, each
// position from its own pixel centre, as a·x + c·y + tx with every product rounded before it is
// added: the lower-left tap's column and row counted from source's corner (the column −1 where one
// of the four taps falls outside source) and the weights across and up. The turned picture's render
// works its taps out by the same formula; each array holds count + kMaxDoubleLanes entries.
constexpr std::size_t kMaxDoubleLanes = 256 / sizeof(double); // the widest vector Highway allows
void bilinearTaps(const Graphics::AffineTransform& inverse, int x, int y, std::size_t count,
                  const PixelRect& source, std::int32_t* columns, std::int32_t* rows, float* weightsX,
                  float* weightsY);

// The input followed by kernel, a step with a colorMatrix(): where the chain the input ends in already
// ends in such a step, the two become one step that multiplies by their product, so a white balance
// followed by an exposure costs one pass over the colour. nullptr for a null input.
NodePtr appendColorMatrixKernel(const NodePtr& input, PointKernelPtr kernel);

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
std::shared_ptr<Filter> makeStretchedMaskFilter();
std::shared_ptr<Filter> makeCircleBlurFilter();
std::shared_ptr<Filter> makeColorMatrixFilter();
std::shared_ptr<Filter> makeVibranceFilter();
std::shared_ptr<Filter> makeToneCurveFilter();
std::shared_ptr<Filter> makeVignetteFilter();
std::shared_ptr<Filter> makeHighlightsShadowsFilter();
std::shared_ptr<Filter> makeSharpenLuminanceFilter();

// Base of the filters defined in this engine: gives them the protected constructor of Filter.
class EngineFilter : public Filter {
public:
    explicit EngineFilter(FilterName name) : Filter(name) {}
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
