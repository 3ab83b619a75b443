#pragma once

#include <Foundation/Export.h>
#include <Toolkit/Animation.h>
#include <Toolkit/GestureRecognizer.h>
#include <Toolkit/View.h>
#include <memory>

namespace Toolkit {

class ScrollView;

struct RUX_API EdgeInsets {
    double top = 0, left = 0, bottom = 0, right = 0;
    friend constexpr bool operator==(const EdgeInsets&, const EdgeInsets&) = default;
};

// What a scroll view tells its delegate and asks it; each default is the platform's behaviour for a
// delegate that does not implement the method.
class RUX_API ScrollViewDelegate {
public:
    virtual ~ScrollViewDelegate() = default;
    // After every change of the content offset.
    virtual void scrollViewDidScroll(ScrollView&) {}
    virtual void scrollViewWillBeginDragging(ScrollView&) {}
    virtual void scrollViewDidEndDragging(ScrollView&, bool /*willDecelerate*/) {}
    virtual void scrollViewDidEndDecelerating(ScrollView&) {}
    virtual void scrollViewDidEndScrollingAnimation(ScrollView&) {}
    // The subview that zooming scales; nullptr (the default) means the scroll view does not zoom.
    virtual std::shared_ptr<View> viewForZoomingInScrollView(ScrollView&) { return nullptr; }
    virtual void scrollViewWillBeginZooming(ScrollView&, const std::shared_ptr<View>&) {}
    // After every zoom step: pinch moves, animation frames and setZoomScale.
    virtual void scrollViewDidZoom(ScrollView&) {}
    virtual void scrollViewDidEndZooming(ScrollView&, const std::shared_ptr<View>&, double /*scale*/) {}
};

// A view whose bounds origin (the content offset) follows a dragging finger over content of a given
// size, bouncing back when pulled past the edges and gliding on after a fling; with a delegate that
// names a view for zooming, two fingers scale that view between the minimum and maximum zoom scale.
// Touches on the content are held back for a moment (delaysContentTouches) so that a drag becomes a
// scroll rather than a press, and a scroll takes back touches the content already has
// (canCancelContentTouches). Scroll indicators show while scrolling. Main thread only.
class RUX_API ScrollView : public View {
public:
    static std::shared_ptr<ScrollView> create(const Graphics::Rect& frame = {});
    ~ScrollView() override;

    Graphics::Size contentSize() const { return m_contentSize; }
    void setContentSize(Graphics::Size size);
    // The bounds origin.
    Graphics::Point contentOffset() const { return bounds().origin; }
    void setContentOffset(Graphics::Point offset, Animated animated = Animated::No);
    // Extra scrollable room around the content.
    EdgeInsets contentInset() const { return m_contentInset; }
    void setContentInset(EdgeInsets inset);

    std::shared_ptr<ScrollViewDelegate> delegate() const { return m_delegate.lock(); }
    // Held weakly.
    void setDelegate(const std::shared_ptr<ScrollViewDelegate>& delegate) { m_delegate = delegate; }

    bool isScrollEnabled() const { return m_scrollEnabled; }
    void setScrollEnabled(bool enabled);
    bool bounces() const { return m_bounces; }
    void setBounces(bool bounces) { m_bounces = bounces; }
    bool alwaysBounceHorizontal() const { return m_alwaysBounceHorizontal; }
    void setAlwaysBounceHorizontal(bool bounce) { m_alwaysBounceHorizontal = bounce; }
    bool alwaysBounceVertical() const { return m_alwaysBounceVertical; }
    void setAlwaysBounceVertical(bool bounce) { m_alwaysBounceVertical = bounce; }
    bool canCancelContentTouches() const { return m_canCancelContentTouches; }
    void setCanCancelContentTouches(bool can) { m_canCancelContentTouches = can; }
    bool delaysContentTouches() const { return m_delaysContentTouches; }
    void setDelaysContentTouches(bool delays) { m_delaysContentTouches = delays; }
    bool showsHorizontalScrollIndicator() const { return m_showsHorizontalIndicator; }
    void setShowsHorizontalScrollIndicator(bool shows);
    bool showsVerticalScrollIndicator() const { return m_showsVerticalIndicator; }
    void setShowsVerticalScrollIndicator(bool shows);

    // Zoom scale: points of the scroll view per point of the zooming view. Limits default to 1.
    double zoomScale() const { return m_zoomScale; }
    // Clamped to the limits (the minimum wins when it is above the maximum); zooms about the centre
    // of the visible area; without a zooming view only the number is stored.
    void setZoomScale(double scale, Animated animated = Animated::No);
    double minimumZoomScale() const { return m_minimumZoomScale; }
    void setMinimumZoomScale(double scale);
    double maximumZoomScale() const { return m_maximumZoomScale; }
    void setMaximumZoomScale(double scale);
    bool bouncesZoom() const { return m_bouncesZoom; }
    void setBouncesZoom(bool bounces) { m_bouncesZoom = bounces; }
    // Shows rect (in the zooming view's own coordinates) as large as fits in the bounds, centred,
    // within the zoom limits and the scrollable area.
    void zoomToRect(const Graphics::Rect& rect, Animated animated = Animated::No);

    bool isDragging() const { return m_dragging; }
    bool isDecelerating() const { return m_decelerating; }
    bool isZooming() const { return m_zooming; }
    bool isZoomBouncing() const { return m_zoomBouncing; }
    // Whether the indicators are being shown (while dragging or gliding).
    bool areIndicatorsVisible() const { return m_indicatorsVisible; }

    std::shared_ptr<PanGestureRecognizer> panGestureRecognizer() const { return m_pan; }
    // nullptr until the scroll view zooms.
    std::shared_ptr<PinchGestureRecognizer> pinchGestureRecognizer() const { return m_pinch; }

    // The smallest and largest content offsets that need no bounce.
    Graphics::Point minimumContentOffset() const;
    Graphics::Point maximumContentOffset() const;

    void drawOverSubviews(Graphics::BitmapContext& context) override;
    // While the content glides, a finger landing on it only stops it: the scroll view takes the touch.
    std::shared_ptr<View> hitTest(Graphics::Point pointInView) override;

protected:
    explicit ScrollView(const Graphics::Rect& frame);
    void didChangeBoundsOrigin() override;
    double contentTouchDelay() const override;
    bool cancelsContentTouches() const override { return m_canCancelContentTouches; }
    // Subclasses' create() calls it once the object is owned by a shared pointer.
    void installRecognizers();

private:
    friend class ScrollViewPanRecognizer;
    friend class ScrollViewPinchRecognizer;
    bool canScrollHorizontally() const;
    bool canScrollVertically() const;
    bool panShouldBegin(const Touches& touches) const;
    bool pinchShouldBegin() const;
    std::shared_ptr<View> zoomingView();
    void handlePan(PanGestureRecognizer& pan);
    void handlePinch(PinchGestureRecognizer& pinch);
    // Scales the zooming view to scale, placing its point anchor (own coordinates) at position
    // (relative to the bounds origin), then tells the delegate.
    void applyZoom(double scale, Graphics::Point anchor, Graphics::Point position);
    Graphics::Point clampedOffset(Graphics::Point offset) const;
    void stopAnimations();
    // Whether the animation is the content gliding to rest (a fling or a bounce back from an edge),
    // which a touch may stop, or a move the program asked for.
    enum class OffsetMotion { Requested, Decelerating };
    void animateOffsetTo(Graphics::Point target, double seconds, OffsetMotion motion);
    void finishScrolling();
    void setIndicatorsVisible(bool visible);

    Graphics::Size m_contentSize;
    EdgeInsets m_contentInset;
    std::weak_ptr<ScrollViewDelegate> m_delegate;
    std::shared_ptr<PanGestureRecognizer> m_pan;
    std::shared_ptr<PinchGestureRecognizer> m_pinch;
    double m_zoomScale = 1;
    double m_minimumZoomScale = 1;
    double m_maximumZoomScale = 1;
    // Pinch state: the scale at the start and the point of the zooming view under the fingers.
    double m_pinchStartScale = 1;
    Graphics::Point m_pinchAnchor;
    Graphics::Point m_panStartOffset;
    AnimationId m_animation = 0;
    bool m_scrollEnabled = true;
    bool m_bounces = true;
    bool m_bouncesZoom = true;
    bool m_alwaysBounceHorizontal = false;
    bool m_alwaysBounceVertical = false;
    bool m_canCancelContentTouches = true;
    bool m_delaysContentTouches = true;
    bool m_showsHorizontalIndicator = true;
    bool m_showsVerticalIndicator = true;
    bool m_dragging = false;
    bool m_decelerating = false;
    bool m_zooming = false;
    bool m_zoomBouncing = false;
    bool m_indicatorsVisible = false;
};

} // namespace Toolkit
