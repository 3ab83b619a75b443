#include <View/RUXCropWindow.h>
#include <View/RUXZoomScrollView.h>

namespace RUXCropWindow {

std::shared_ptr<RUXZoomScrollView> createZoomView() {
    return RUXZoomScrollView::create({0, 0, 0, 0});
}

std::shared_ptr<Toolkit::View> asView(const std::shared_ptr<RUXZoomScrollView>& zoomView) {
    return zoomView;
}

void layOut(RUXZoomScrollView& zoomView, const Graphics::Rect& frame, double inset,
            const Graphics::Rect& window) {
    zoomView.setFrame(frame);
    zoomView.setContentInset({inset, 0, inset, 0});
    zoomView.setTargetArea(window);
}

void setImage(RUXZoomScrollView& zoomView, std::shared_ptr<const Graphics::BitmapImage> image) {
    zoomView.setImage(std::move(image));
}

std::shared_ptr<const Graphics::BitmapImage> image(const RUXZoomScrollView& zoomView) {
    return zoomView.image();
}

void zoomToRect(RUXZoomScrollView& zoomView, const Graphics::Rect& rect) {
    zoomView.zoomToRect(rect, Toolkit::Animated::No);
}

Graphics::Rect targetRectOfOriginalImage(const RUXZoomScrollView& zoomView) {
    return zoomView.targetRectOfOriginalImage();
}

} // namespace RUXCropWindow
