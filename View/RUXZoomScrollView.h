#pragma once

#include <Foundation/Export.h>
#include <Foundation/NotificationCenter.h>
#include <Graphics/BitmapImage.h>
#include <Toolkit/ImageView.h>
#include <Toolkit/ScrollView.h>
#include <memory>

// A zooming view of one image that keeps a target area (the crop window) covered: the smallest
// zoom is the one at which the image just covers the target area, the largest is 5 screen points
// per image point. The zoom is refitted, and reset to the smallest, whenever the image, the target
// area or the view's size changes and when the device turns. It is its own scroll delegate. Main
// thread only.
class RUX_API RUXZoomScrollView : public Toolkit::ScrollView, public Toolkit::ScrollViewDelegate {
public:
    // Never nullptr; the caller owns it.
    static std::shared_ptr<RUXZoomScrollView> create(const Graphics::Rect& frame);
    ~RUXZoomScrollView() override;

    // When false, the zoom stays at 1 and the image is only centred.
    bool zoomEnabled() const { return m_zoomEnabled; }
    void setZoomEnabled(bool enabled) { m_zoomEnabled = enabled; }
    // Whether setTargetArea was called; until then the target area follows the bounds.
    bool targetAreaManuallySet() const { return m_targetAreaManuallySet; }

    const std::shared_ptr<const Graphics::BitmapImage>& image() const { return m_image; }
    // Shows image (nullptr: none) and refits the zoom.
    void setImage(std::shared_ptr<const Graphics::BitmapImage> image);
    const std::shared_ptr<Toolkit::ImageView>& imageView() const { return m_imageView; }
    // The window the image must cover, in the view's frame coordinates; its size alone sets the
    // zoom limits, its top-left corner is taken to be the content inset's.
    Graphics::Rect targetArea() const { return m_targetArea; }
    // Fixes the target area for good (layout no longer follows the bounds) and refits.
    void setTargetArea(const Graphics::Rect& targetArea);

    // Refits the zoom limits and the content size; nothing without an image.
    void configureImage();
    // Resets the zoom to 1, gives the image view the image's size and, when zooming is enabled,
    // sets the limits to [cover scale, 5] and zooms to the cover scale (logging it once).
    void setMinMaxScale();
    // Floats an image smaller than the inset area in its middle; a larger one starts at the
    // content origin.
    void centerImageView();
    // The rectangle of the image under the target area, in image points from the image's
    // top-left corner (y down).
    Graphics::Rect targetRectOfOriginalImage() const;
    void resetZoomAnimated(Toolkit::Animated animated);
    // The rectangle around center (in this view's coordinates) that a zoom to scale would show.
    Graphics::Rect zoomRectForScale(float scale, Graphics::Point center) const;
    // Toggles between the smallest zoom and a four times closer view around point.
    void handleDoubleTapFromPoint(Graphics::Point point);
    void doubleTappedAtPoint(Graphics::Point point) { handleDoubleTapFromPoint(point); }

    void layoutSubviews() override;

    std::shared_ptr<Toolkit::View> viewForZoomingInScrollView(Toolkit::ScrollView& scrollView) override;
    void scrollViewDidZoom(Toolkit::ScrollView& scrollView) override;

protected:
    explicit RUXZoomScrollView(const Graphics::Rect& frame);
    void didChangeSize() override;

private:
    void didChangeOrientation();

    bool m_zoomEnabled = true;
    bool m_targetAreaManuallySet = false;
    std::shared_ptr<const Graphics::BitmapImage> m_image;
    std::shared_ptr<Toolkit::ImageView> m_imageView;
    Graphics::Rect m_targetArea;
    Foundation::ScopedObserver m_orientationObserver;
};
