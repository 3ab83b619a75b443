#pragma once

#include <Foundation/Export.h>
#include <Graphics/AffineTransform.h>
#include <Graphics/Geometry.h>
#include <Transformation/RUXScalarAdjustments.h>

// A small turn that levels a crooked horizon, in degrees, positive counter-clockwise in the photo's
// own frame (y up). It runs before the quarter turns and mirrors, so they turn and mirror the
// levelled picture and the angle keeps its meaning under them; the crop is framed on the levelled
// picture. The picture is turned about its centre and enlarged just enough that none of its frame
// lies outside the photo, and it keeps its size: the extent it is given is the extent it returns.
//
// A value of exactly 0 returns the image itself. A value that is not finite leaves the image
// unchanged, with one log line per render. Values beyond ±45° are applied as they are (the zoom
// keeps every corner inside the photo at any angle).
class RUX_API RUXStraightenTransformation final : public RUXScalarAdjustment {
    RUX_SCALAR_ADJUSTMENT(RUXStraightenTransformation)
public:
    std::optional<bool> isAppliedToThumbnail() const override { return true; }

    // The enlargement that keeps a frame of the given size inside the same frame turned by angle
    // degrees about its centre: the larger of (W cos|θ| + H sin|θ|) / W and (W sin|θ| + H cos|θ|) / H.
    // 1 for an empty size. Any thread.
    static double zoomForSize(const Graphics::Size& size, double degrees);
    // The map from the photo to the levelled picture for an extent: about the extent's centre, the
    // zoom above, then the turn. Any thread.
    static Graphics::AffineTransform matrixForExtent(const Graphics::Rect& extent, double degrees);
};
