#include "ScrollMotion.h"

#include <Graphics/BitmapContext.h>
#include <Graphics/Path.h>
#include <Toolkit/ScrollView.h>
#include <Toolkit/Window.h>
#include <algorithm>
#include <cmath>

namespace Toolkit {

using namespace ScrollMotion;

class ScrollViewPanRecognizer : public PanGestureRecognizer {
public:
    static std::shared_ptr<ScrollViewPanRecognizer> create() {
        return std::shared_ptr<ScrollViewPanRecognizer>(new ScrollViewPanRecognizer());
    }
    std::weak_ptr<GestureRecognizer> sibling;

protected:
    ScrollViewPanRecognizer() = default;
    ScrollView* scrollView() const { return static_cast<ScrollView*>(view().get()); }
    void touchesBegan(const Touches& touches) override {
        // A finger landing on gliding content stops it where it is.
        if (ScrollView* s = scrollView(); s && numberOfTouches() == touches.size())
            s->stopAnimations();
        PanGestureRecognizer::touchesBegan(touches);
    }
    void touchesMoved(const Touches& touches) override {
        ScrollView* s = scrollView();
        if (state() == GestureRecognizerState::Possible && (!s || !s->panShouldBegin(this->touches())))
            return;
        PanGestureRecognizer::touchesMoved(touches);
    }
    bool recognizesSimultaneouslyByDefault(const GestureRecognizer& other) const override {
        return &other == sibling.lock().get();
    }
    void reset() override {
        PanGestureRecognizer::reset();
        // A touch that stopped the content past an edge, and lifted without dragging, lets it settle.
        if (ScrollView* s = scrollView(); s && !s->m_dragging && !s->m_zooming && !s->m_animation) {
            const Graphics::Point clamped = s->clampedOffset(s->contentOffset());
            if (clamped != s->contentOffset())
                s->animateOffsetTo(clamped, kBounceSeconds, ScrollView::OffsetMotion::Decelerating);
        }
    }
};

class ScrollViewPinchRecognizer : public PinchGestureRecognizer {
public:
    static std::shared_ptr<ScrollViewPinchRecognizer> create() {
        return std::shared_ptr<ScrollViewPinchRecognizer>(new ScrollViewPinchRecognizer());
    }
    std::weak_ptr<GestureRecognizer> sibling;

protected:
    ScrollViewPinchRecognizer() = default;
    void touchesMoved(const Touches& touches) override {
        auto* s = static_cast<ScrollView*>(view().get());
        if (state() == GestureRecognizerState::Possible && (!s || !s->pinchShouldBegin()))
            return;
        PinchGestureRecognizer::touchesMoved(touches);
    }
    bool recognizesSimultaneouslyByDefault(const GestureRecognizer& other) const override {
        return &other == sibling.lock().get();
    }
};

std::shared_ptr<ScrollView> ScrollView::create(const Graphics::Rect& frame) {
    std::shared_ptr<ScrollView> view(new ScrollView(frame));
    view->installRecognizers();
    return view;
}

ScrollView::ScrollView(const Graphics::Rect& frame) : View(frame) {
    setClipsToBounds(true);
    setDrawsOverSubviews(true);
}

ScrollView::~ScrollView() {
    if (m_animation)
        cancelAnimation(m_animation);
}

void ScrollView::installRecognizers() {
    auto pan = ScrollViewPanRecognizer::create();
    auto pinch = ScrollViewPinchRecognizer::create();
    pan->sibling = pinch;
    pinch->sibling = pan;
    m_pan = pan;
    m_pinch = pinch;
    std::weak_ptr<ScrollView> weak = std::static_pointer_cast<ScrollView>(shared_from_this());
    m_pan->addAction([weak](GestureRecognizer& r) {
        if (std::shared_ptr<ScrollView> self = weak.lock())
            self->handlePan(static_cast<PanGestureRecognizer&>(r));
    });
    m_pinch->addAction([weak](GestureRecognizer& r) {
        if (std::shared_ptr<ScrollView> self = weak.lock())
            self->handlePinch(static_cast<PinchGestureRecognizer&>(r));
    });
    addGestureRecognizer(m_pan);
    addGestureRecognizer(m_pinch);
}

// Properties

void ScrollView::setContentSize(Graphics::Size size) {
    if (!std::isfinite(size.width) || !std::isfinite(size.height))
        return;
    size = {std::max(0.0, size.width), std::max(0.0, size.height)};
    if (size == m_contentSize)
        return;
    m_contentSize = size;
    if (m_indicatorsVisible)
        setNeedsDisplay();
}

void ScrollView::setContentInset(EdgeInsets inset) {
    if (inset == m_contentInset)
        return;
    m_contentInset = inset;
}

void ScrollView::setScrollEnabled(bool enabled) {
    m_scrollEnabled = enabled;
    m_pan->setEnabled(enabled);
}

void ScrollView::setShowsHorizontalScrollIndicator(bool shows) {
    m_showsHorizontalIndicator = shows;
    setNeedsDisplay();
}

void ScrollView::setShowsVerticalScrollIndicator(bool shows) {
    m_showsVerticalIndicator = shows;
    setNeedsDisplay();
}

void ScrollView::setMinimumZoomScale(double scale) {
    if (std::isfinite(scale) && scale > 0)
        m_minimumZoomScale = scale;
}

void ScrollView::setMaximumZoomScale(double scale) {
    if (std::isfinite(scale) && scale > 0)
        m_maximumZoomScale = scale;
}

double ScrollView::contentTouchDelay() const {
    return m_delaysContentTouches && m_scrollEnabled ? kContentTouchDelay : 0;
}

std::shared_ptr<View> ScrollView::hitTest(Graphics::Point pointInView) {
    std::shared_ptr<View> hit = View::hitTest(pointInView);
    return hit && m_decelerating ? shared_from_this() : hit;
}

// Offsets and their animation

Graphics::Point ScrollView::minimumContentOffset() const {
    return {-m_contentInset.left, -m_contentInset.top};
}

Graphics::Point ScrollView::maximumContentOffset() const {
    const Graphics::Point lo = minimumContentOffset();
    return {std::max(lo.x, m_contentSize.width + m_contentInset.right - bounds().width()),
            std::max(lo.y, m_contentSize.height + m_contentInset.bottom - bounds().height())};
}

Graphics::Point ScrollView::clampedOffset(Graphics::Point offset) const {
    const Graphics::Point lo = minimumContentOffset(), hi = maximumContentOffset();
    return {std::clamp(offset.x, lo.x, hi.x), std::clamp(offset.y, lo.y, hi.y)};
}

bool ScrollView::canScrollHorizontally() const {
    return m_alwaysBounceHorizontal || maximumContentOffset().x > minimumContentOffset().x;
}

bool ScrollView::canScrollVertically() const {
    return m_alwaysBounceVertical || maximumContentOffset().y > minimumContentOffset().y;
}

void ScrollView::setContentOffset(Graphics::Point offset, Animated animated) {
    if (!std::isfinite(offset.x) || !std::isfinite(offset.y))
        return;
    if (animated == Animated::Yes) {
        stopAnimations();
        animateOffsetTo(offset, kBounceSeconds, OffsetMotion::Requested);
        return;
    }
    setBounds({offset, bounds().size});
}

void ScrollView::didChangeBoundsOrigin() {
    if (std::shared_ptr<ScrollViewDelegate> d = delegate())
        d->scrollViewDidScroll(*this);
}

void ScrollView::stopAnimations() {
    if (!m_animation)
        return;
    const AnimationId id = m_animation;
    m_animation = 0;
    cancelAnimation(id);
    m_decelerating = false;
    m_zoomBouncing = false;
}

void ScrollView::animateOffsetTo(Graphics::Point target, double seconds, OffsetMotion motion) {
    const bool decelerating = motion == OffsetMotion::Decelerating;
    const Graphics::Point start = contentOffset();
    std::weak_ptr<ScrollView> weak = std::static_pointer_cast<ScrollView>(shared_from_this());
    m_decelerating = decelerating;
    m_animation = animate(
        seconds,
        [weak, start, target](double p) {
            if (std::shared_ptr<ScrollView> self = weak.lock()) {
                const double e = easeOut(p);
                self->setBounds(
                    {{lerp(start.x, target.x, e), lerp(start.y, target.y, e)}, self->bounds().size});
            }
        },
        [weak, decelerating](bool finished) {
            std::shared_ptr<ScrollView> self = weak.lock();
            if (!self || !finished)
                return;
            self->m_animation = 0;
            self->m_decelerating = false;
            self->setIndicatorsVisible(false);
            if (std::shared_ptr<ScrollViewDelegate> d = self->delegate()) {
                if (decelerating)
                    d->scrollViewDidEndDecelerating(*self);
                else
                    d->scrollViewDidEndScrollingAnimation(*self);
            }
        });
}

// Panning

bool ScrollView::panShouldBegin(const Touches& touches) const {
    if (!m_scrollEnabled || (!canScrollHorizontally() && !canScrollVertically()))
        return false;
    if (m_canCancelContentTouches)
        return true;
    // Content that is already tracking a touch keeps it.
    std::shared_ptr<Window> w = window();
    for (const auto& touch : touches)
        if (w && touch->view().get() != this && w->isTouchWithItsView(*touch))
            return false;
    return true;
}

void ScrollView::handlePan(PanGestureRecognizer& pan) {
    const std::shared_ptr<const View> self = shared_from_this();
    const GestureRecognizerState state = pan.state();
    const Graphics::Point translation = pan.translationInView(self);
    if (state == GestureRecognizerState::Began) {
        stopAnimations();
        m_dragging = true;
        // The content follows the finger's movement beyond the slop, so it neither jumps by the slop
        // nor lags behind.
        const double length = std::hypot(translation.x, translation.y);
        const double k = length > 0 ? std::min(1.0, kPanSlop / length) : 0;
        m_panStartOffset = {contentOffset().x + translation.x * k, contentOffset().y + translation.y * k};
        setIndicatorsVisible(true);
        if (std::shared_ptr<ScrollViewDelegate> d = delegate())
            d->scrollViewWillBeginDragging(*this);
    }
    if (state == GestureRecognizerState::Began || state == GestureRecognizerState::Changed) {
        if (m_zooming)
            return;
        const Graphics::Point lo = minimumContentOffset(), hi = maximumContentOffset();
        const Graphics::Point current = contentOffset();
        auto follow = [this](double proposed, double low, double high, double dimension, bool scrollable,
                             double now) {
            if (!scrollable)
                return now;
            if (proposed < low)
                return m_bounces ? low + rubberBand(proposed - low, dimension) : low;
            if (proposed > high)
                return m_bounces ? high + rubberBand(proposed - high, dimension) : high;
            return proposed;
        };
        setBounds({{follow(m_panStartOffset.x - translation.x, lo.x, hi.x, bounds().width(),
                           canScrollHorizontally(), current.x),
                    follow(m_panStartOffset.y - translation.y, lo.y, hi.y, bounds().height(),
                           canScrollVertically(), current.y)},
                   bounds().size});
        return;
    }
    if (state != GestureRecognizerState::Ended && state != GestureRecognizerState::Cancelled)
        return;
    m_dragging = false;
    const Graphics::Point offset = contentOffset();
    const Graphics::Point clamped = clampedOffset(offset);
    Graphics::Point target = clamped;
    bool glide = false;
    if (clamped == offset && state == GestureRecognizerState::Ended && !m_zooming) {
        const Graphics::Point v = pan.velocityInView(self);
        const double vx = canScrollHorizontally() ? v.x : 0, vy = canScrollVertically() ? v.y : 0;
        if (std::hypot(vx, vy) > kMinimumFlingVelocity) {
            target = clampedOffset({offset.x - vx * kGlideFactor, offset.y - vy * kGlideFactor});
            glide = target != offset;
        }
    }
    const bool moves = target != offset;
    if (std::shared_ptr<ScrollViewDelegate> d = delegate())
        d->scrollViewDidEndDragging(*this, moves);
    if (moves)
        animateOffsetTo(target, glide ? kGlideSeconds : kBounceSeconds, OffsetMotion::Decelerating);
    else
        setIndicatorsVisible(false);
}

} // namespace Toolkit
