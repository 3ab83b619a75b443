#pragma once

#include <Graphics/Geometry.h>

class RUXZoomScrollView;

// What the crop screen tests read from and set on the zoom view, in plain numbers, since they
// include the view controller header and the scroll view header cannot join it.
struct CropZoomState {
    Graphics::Rect frame;
    Graphics::Rect targetArea;
    double insetTop = 0, insetLeft = 0, insetBottom = 0, insetRight = 0;
    double zoomScale = 0, minimumZoomScale = 0, maximumZoomScale = 0;
};

CropZoomState cropZoomStateOf(const RUXZoomScrollView& zoomView);
// Zooms without animation, then scrolls to offset (content offset, unclamped).
void setCropZoom(RUXZoomScrollView& zoomView, double scale, Graphics::Point offset);
