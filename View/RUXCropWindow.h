#pragma once

#include <Graphics/BitmapImage.h>
#include <Graphics/Geometry.h>
#include <Toolkit/View.h>
#include <memory>

class RUXZoomScrollView;

// The crop screen's use of its zoom view, in plain geometry, for code that includes the view
// controller header.
// FIXME: the toolkit's ScrollView.h and ViewController.h both define Toolkit::Animated, so no
// translation unit can include both; once one of them includes the other's definition, the crop
// screen can call RUXZoomScrollView directly and this goes. Main thread only.
namespace RUXCropWindow {

// A new zoom view with an empty frame; never nullptr.
std::shared_ptr<RUXZoomScrollView> createZoomView();
std::shared_ptr<Toolkit::View> asView(const std::shared_ptr<RUXZoomScrollView>& zoomView);
// Places the zoom view at frame with the window inset from its top and bottom by inset, and the
// window (its target area, in the zoom view's frame coordinates).
void layOut(RUXZoomScrollView& zoomView, const Graphics::Rect& frame, double inset,
            const Graphics::Rect& window);
void setImage(RUXZoomScrollView& zoomView, std::shared_ptr<const Graphics::BitmapImage> image);
std::shared_ptr<const Graphics::BitmapImage> image(const RUXZoomScrollView& zoomView);
// Shows rect (picture points from the top-left) as large as fits, at once.
void zoomToRect(RUXZoomScrollView& zoomView, const Graphics::Rect& rect);
Graphics::Rect targetRectOfOriginalImage(const RUXZoomScrollView& zoomView);

} // namespace RUXCropWindow
