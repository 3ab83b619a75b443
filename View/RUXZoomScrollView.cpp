#include <Foundation/Log.h>
#include <View/RUXZoomScrollView.h>
#include <algorithm>

namespace {
// Absolute, in screen points per image point, so that a small picture is not blown up into blur.
constexpr double kMaximumZoomScale = 5.0;
constexpr double kDoubleTapZoomFactor = 4.0;
} // namespace

std::shared_ptr<RUXZoomScrollView> RUXZoomScrollView::create(const Graphics::Rect& frame) {
    std::shared_ptr<RUXZoomScrollView> view(new RUXZoomScrollView(frame));
    // Both need the view's owner to exist: the recognisers and the subview refer back to it.
    view->installRecognizers();
    view->addSubview(view->m_imageView);
    view->setDelegate(std::static_pointer_cast<Toolkit::ScrollViewDelegate>(view));
    std::weak_ptr<RUXZoomScrollView> weak = view;
    auto& center = Foundation::NotificationCenter::defaultCenter();
    view->m_orientationObserver = Foundation::ScopedObserver(
        center, center.addObserver(Foundation::DeviceOrientationDidChangeNotification,
                                   [weak](const Foundation::Notification&) {
                                       if (auto strong = weak.lock()) {
                                           strong->didChangeOrientation();
                                       }
                                   }));
    return view;
}

RUXZoomScrollView::RUXZoomScrollView(const Graphics::Rect& frame) : Toolkit::ScrollView(frame) {
    setShowsHorizontalScrollIndicator(false);
    setShowsVerticalScrollIndicator(false);
    m_imageView = Toolkit::ImageView::create({0, 0, 0, 0});
    m_targetArea = Graphics::Rect(0, 0, frame.size.width, frame.size.height);
    setAutoresizingMask(Toolkit::AutoresizingMask::FlexibleWidth | Toolkit::AutoresizingMask::FlexibleHeight);
}

RUXZoomScrollView::~RUXZoomScrollView() = default;

void RUXZoomScrollView::didChangeOrientation() {
    configureImage();
}

void RUXZoomScrollView::layoutSubviews() {
    Toolkit::ScrollView::layoutSubviews();
    if (!m_targetAreaManuallySet) {
        m_targetArea = bounds();
    }
}

void RUXZoomScrollView::didChangeSize() {
    Toolkit::ScrollView::didChangeSize();
    if (m_imageView && m_image) {
        setMinMaxScale();
    }
}

void RUXZoomScrollView::setImage(std::shared_ptr<const Graphics::BitmapImage> image) {
    m_image = std::move(image);
    m_imageView->setImage(m_image);
    configureImage();
}

void RUXZoomScrollView::setTargetArea(const Graphics::Rect& targetArea) {
    m_targetAreaManuallySet = true;
    m_targetArea = targetArea;
    configureImage();
}

void RUXZoomScrollView::configureImage() {
    if (!m_imageView || !m_image) {
        return;
    }
    setMinMaxScale();
    setContentSize(m_imageView->frame().size);
}

void RUXZoomScrollView::setMinMaxScale() {
    setMinimumZoomScale(1);
    setMaximumZoomScale(1);
    setZoomScale(1, Toolkit::Animated::No);
    const Graphics::Size imageSize = m_image ? m_image->size() : Graphics::Size{};
    m_imageView->setFrame({0, 0, imageSize.width, imageSize.height});
    if (!m_zoomEnabled) {
        centerImageView();
        return;
    }
    const Graphics::Size targetSize = m_targetArea.size;
    // A degenerate size would make the cover scale infinite or zero.
    if (imageSize.width <= 0 || imageSize.height <= 0 || targetSize.width <= 0 || targetSize.height <= 0) {
        return;
    }
    const double scale = std::max(targetSize.width / imageSize.width, targetSize.height / imageSize.height);
    Foundation::log("Final min scale: %f", scale);
    setMaximumZoomScale(kMaximumZoomScale);
    setMinimumZoomScale(scale);
    setZoomScale(scale, Toolkit::Animated::No);
    centerImageView();
}

void RUXZoomScrollView::centerImageView() {
    const Graphics::Size boundsSize = bounds().size;
    const Toolkit::EdgeInsets inset = contentInset();
    const double availableWidth = boundsSize.width - (inset.left + inset.right);
    const double availableHeight = boundsSize.height - (inset.top + inset.bottom);
    Graphics::Rect frame = m_imageView->frame();
    frame.origin.x = frame.size.width < availableWidth ? (availableWidth - frame.size.width) * 0.5 : 0;
    frame.origin.y = frame.size.height < availableHeight ? (availableHeight - frame.size.height) * 0.5 : 0;
    m_imageView->setFrame(frame);
}

Graphics::Rect RUXZoomScrollView::targetRectOfOriginalImage() const {
    const double z = zoomScale();
    const Graphics::Point offset = contentOffset();
    const Toolkit::EdgeInsets inset = contentInset();
    return {(offset.x + inset.left) / z, (offset.y + inset.top) / z, m_targetArea.size.width / z,
            m_targetArea.size.height / z};
}

void RUXZoomScrollView::resetZoomAnimated(Toolkit::Animated animated) {
    setZoomScale(minimumZoomScale(), animated);
}

Graphics::Rect RUXZoomScrollView::zoomRectForScale(float scale, Graphics::Point center) const {
    const Graphics::Size size = m_imageView->frame().size;
    const double w = size.width / double(scale);
    const double h = size.height / double(scale);
    const Graphics::Point c = m_imageView->convertPointFromView(center, shared_from_this());
    return {c.x - w * 0.5, c.y - h * 0.5, w, h};
}

void RUXZoomScrollView::handleDoubleTapFromPoint(Graphics::Point point) {
    if (zoomScale() > minimumZoomScale()) {
        resetZoomAnimated(Toolkit::Animated::Yes);
        return;
    }
    const Graphics::Rect rect = zoomRectForScale(float(zoomScale() * kDoubleTapZoomFactor), point);
    zoomToRect(rect, Toolkit::Animated::Yes);
}

std::shared_ptr<Toolkit::View> RUXZoomScrollView::viewForZoomingInScrollView(Toolkit::ScrollView&) {
    return m_imageView;
}

void RUXZoomScrollView::scrollViewDidZoom(Toolkit::ScrollView&) {
    centerImageView();
}
