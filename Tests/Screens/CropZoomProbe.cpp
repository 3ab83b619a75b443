#include "CropZoomProbe.h"

#include <View/RUXZoomScrollView.h>

CropZoomState cropZoomStateOf(const RUXZoomScrollView& zoomView) {
    const Toolkit::EdgeInsets inset = zoomView.contentInset();
    return {zoomView.frame(),
            zoomView.targetArea(),
            inset.top,
            inset.left,
            inset.bottom,
            inset.right,
            zoomView.zoomScale(),
            zoomView.minimumZoomScale(),
            zoomView.maximumZoomScale()};
}

void setCropZoom(RUXZoomScrollView& zoomView, double scale, Graphics::Point offset) {
    zoomView.setZoomScale(scale, Toolkit::Animated::No);
    zoomView.setContentOffset(offset);
}
