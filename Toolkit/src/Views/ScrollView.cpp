#include <Graphics/BitmapContext.h>
#include <Graphics/Path.h>
#include <Toolkit/ScrollView.h>
#include <Toolkit/Window.h>
#include <algorithm>
#include <cmath>

namespace Toolkit {

namespace {

// How long content touches wait for a possible scroll before the content gets them.
constexpr double kContentTouchDelay = 0.15;
// The pan recogniser's slop, in points.
constexpr double kPanSlop = 10;
// Rubber band: the further past the edge, the less the content follows, approaching one bounds
// length at most.
constexpr double kRubberBand = 0.55;
// A fling glides this many seconds' worth of its release velocity.
constexpr double kGlideFactor = 0.35;
constexpr double kGlideSeconds = 0.6;
constexpr double kBounceSeconds = 0.3;
constexpr double kZoomSeconds = 0.3;
constexpr double kMinimumFlingVelocity = 50;
// Pinching past a zoom limit scales only by this power of the excess, so it feels elastic.
constexpr double kZoomRubberExponent = 0.4;
constexpr double kIndicatorThickness = 2.5;
constexpr double kIndicatorInset = 3;
constexpr double kIndicatorMinimumLength = 36;

double rubberBand(double excess, double dimension) {
    if (dimension <= 0)
        return 0;
    const double magnitude = (1 - 1 / (std::abs(excess) * kRubberBand / dimension + 1)) * dimension;
    return excess < 0 ? -magnitude : magnitude;
}

double easeOut(double p) {
    return 1 - (1 - p) * (1 - p) * (1 - p);
}

double lerp(double a, double b, double t) {
    return a + (b - a) * t;
}

} // namespace

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

// ---- Properties ----

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

// ---- Offsets ----

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
        animateOffsetTo(offset, kBounceSeconds, false);
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

void ScrollView::animateOffsetTo(Graphics::Point target, double seconds, bool decelerating) {
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

// ---- Panning ----

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
        animateOffsetTo(target, glide ? kGlideSeconds : kBounceSeconds, true);
    else
        setIndicatorsVisible(false);
}

// ---- Zooming ----

std::shared_ptr<View> ScrollView::zoomingView() {
    std::shared_ptr<ScrollViewDelegate> d = delegate();
    std::shared_ptr<View> view = d ? d->viewForZoomingInScrollView(*this) : nullptr;
    return view && view->superview().get() == this ? view : nullptr;
}

bool ScrollView::pinchShouldBegin() const {
    std::shared_ptr<ScrollViewDelegate> d = delegate();
    return d && m_minimumZoomScale < m_maximumZoomScale &&
           d->viewForZoomingInScrollView(const_cast<ScrollView&>(*this)) != nullptr;
}

void ScrollView::applyZoom(double scale, Graphics::Point anchor, Graphics::Point position) {
    std::shared_ptr<View> view = zoomingView();
    m_zoomScale = scale;
    if (!view)
        return;
    // The zooming view keeps its top-left corner; only its size follows the scale.
    const Graphics::Point origin = view->frame().origin;
    view->setTransform(Graphics::AffineTransform::makeScale(scale, scale));
    view->setFrame({origin, view->frame().size});
    setContentSize(view->frame().size);
    const Graphics::Point p = view->convertPointToView(anchor, shared_from_this());
    setBounds({{p.x - position.x, p.y - position.y}, bounds().size});
    if (std::shared_ptr<ScrollViewDelegate> d = delegate())
        d->scrollViewDidZoom(*this);
}

void ScrollView::setZoomScale(double scale, Animated animated) {
    if (!std::isfinite(scale) || scale <= 0)
        return;
    const double target = std::max(m_minimumZoomScale, std::min(m_maximumZoomScale, scale));
    std::shared_ptr<View> view = zoomingView();
    if (!view) {
        m_zoomScale = target;
        return;
    }
    stopAnimations();
    const Graphics::Rect b = bounds();
    const Graphics::Point position{b.width() / 2, b.height() / 2};
    const Graphics::Point anchor = view->convertPointFromView({b.midX(), b.midY()}, shared_from_this());
    if (animated == Animated::No) {
        applyZoom(target, anchor, position);
        setBounds({clampedOffset(contentOffset()), bounds().size});
        return;
    }
    const double start = m_zoomScale;
    std::weak_ptr<ScrollView> weak = std::static_pointer_cast<ScrollView>(shared_from_this());
    m_animation = animate(
        kZoomSeconds,
        [weak, start, target, anchor, position](double p) {
            if (std::shared_ptr<ScrollView> self = weak.lock())
                self->applyZoom(lerp(start, target, easeOut(p)), anchor, position);
        },
        [weak](bool finished) {
            std::shared_ptr<ScrollView> self = weak.lock();
            if (!self || !finished)
                return;
            self->m_animation = 0;
            self->setBounds({self->clampedOffset(self->contentOffset()), self->bounds().size});
            if (std::shared_ptr<ScrollViewDelegate> d = self->delegate())
                d->scrollViewDidEndZooming(*self, self->zoomingView(), self->m_zoomScale);
        });
}

void ScrollView::zoomToRect(const Graphics::Rect& rect, Animated animated) {
    std::shared_ptr<View> view = zoomingView();
    const Graphics::Rect r = rect.standardized();
    if (!view || r.isNull() || r.width() <= 0 || r.height() <= 0 || !std::isfinite(r.width()) ||
        !std::isfinite(r.height()))
        return;
    stopAnimations();
    const Graphics::Rect b = bounds();
    const double fit = std::min(b.width() / r.width(), b.height() / r.height());
    const double target = std::max(m_minimumZoomScale, std::min(m_maximumZoomScale, fit));
    const Graphics::Point anchor{r.midX(), r.midY()};
    const Graphics::Point position{b.width() / 2, b.height() / 2};
    if (animated == Animated::No) {
        applyZoom(target, anchor, position);
        setBounds({clampedOffset(contentOffset()), bounds().size});
        return;
    }
    // Where the rect's centre shows now, so that the animation slides it to the middle while zooming.
    const Graphics::Point now = view->convertPointToView(anchor, shared_from_this());
    const Graphics::Point startPosition{now.x - b.minX(), now.y - b.minY()};
    const double start = m_zoomScale;
    std::weak_ptr<ScrollView> weak = std::static_pointer_cast<ScrollView>(shared_from_this());
    m_animation = animate(
        kZoomSeconds,
        [weak, start, target, anchor, position, startPosition](double p) {
            if (std::shared_ptr<ScrollView> self = weak.lock()) {
                const double e = easeOut(p);
                self->applyZoom(lerp(start, target, e), anchor,
                                {lerp(startPosition.x, position.x, e), lerp(startPosition.y, position.y, e)});
            }
        },
        [weak](bool finished) {
            std::shared_ptr<ScrollView> self = weak.lock();
            if (!self || !finished)
                return;
            self->m_animation = 0;
            self->setBounds({self->clampedOffset(self->contentOffset()), self->bounds().size});
            if (std::shared_ptr<ScrollViewDelegate> d = self->delegate())
                d->scrollViewDidEndZooming(*self, self->zoomingView(), self->m_zoomScale);
        });
}

void ScrollView::handlePinch(PinchGestureRecognizer& pinch) {
    std::shared_ptr<View> view = zoomingView();
    if (!view)
        return;
    const std::shared_ptr<const View> self = shared_from_this();
    const Graphics::Point location = pinch.locationInView(self);
    const Graphics::Point position{location.x - bounds().minX(), location.y - bounds().minY()};
    const GestureRecognizerState state = pinch.state();
    if (state == GestureRecognizerState::Began) {
        stopAnimations();
        m_zooming = true;
        m_pinchStartScale = m_zoomScale;
        m_pinchAnchor = view->convertPointFromView(location, self);
        if (std::shared_ptr<ScrollViewDelegate> d = delegate())
            d->scrollViewWillBeginZooming(*this, view);
    }
    if (state == GestureRecognizerState::Began || state == GestureRecognizerState::Changed) {
        if (pinch.numberOfTouches() < 2)
            return;
        double scale = m_pinchStartScale * pinch.scale();
        if (scale > m_maximumZoomScale)
            scale = m_bouncesZoom
                        ? m_maximumZoomScale * std::pow(scale / m_maximumZoomScale, kZoomRubberExponent)
                        : m_maximumZoomScale;
        else if (scale < m_minimumZoomScale)
            scale = m_bouncesZoom
                        ? m_minimumZoomScale * std::pow(scale / m_minimumZoomScale, kZoomRubberExponent)
                        : m_minimumZoomScale;
        applyZoom(scale, m_pinchAnchor, position);
        return;
    }
    if (state != GestureRecognizerState::Ended && state != GestureRecognizerState::Cancelled)
        return;
    m_zooming = false;
    const double target = std::max(m_minimumZoomScale, std::min(m_maximumZoomScale, m_zoomScale));
    const double start = m_zoomScale;
    const Graphics::Point anchor = m_pinchAnchor;
    std::weak_ptr<ScrollView> weak = std::static_pointer_cast<ScrollView>(shared_from_this());
    // Back within the limits, then back within the scrollable area.
    auto settle = [weak](bool finished) {
        std::shared_ptr<ScrollView> self = weak.lock();
        if (!self || !finished)
            return;
        self->m_animation = 0;
        self->m_zoomBouncing = false;
        if (std::shared_ptr<ScrollViewDelegate> d = self->delegate())
            d->scrollViewDidEndZooming(*self, self->zoomingView(), self->m_zoomScale);
        const Graphics::Point clamped = self->clampedOffset(self->contentOffset());
        if (clamped != self->contentOffset())
            self->animateOffsetTo(clamped, kBounceSeconds, true);
        else
            self->setIndicatorsVisible(false);
    };
    if (target == start) {
        settle(true);
        return;
    }
    m_zoomBouncing = true;
    m_animation = animate(
        kBounceSeconds,
        [weak, start, target, anchor, position](double p) {
            if (std::shared_ptr<ScrollView> s = weak.lock())
                s->applyZoom(lerp(start, target, easeOut(p)), anchor, position);
        },
        settle);
}

// ---- Indicators ----

void ScrollView::setIndicatorsVisible(bool visible) {
    if (visible == m_indicatorsVisible)
        return;
    m_indicatorsVisible = visible;
    setNeedsDisplay();
}

void ScrollView::drawOverSubviews(Graphics::BitmapContext& context) {
    if (!m_indicatorsVisible)
        return;
    const Graphics::Rect b = bounds();
    const Graphics::Point lo = minimumContentOffset(), hi = maximumContentOffset();
    context.setFillColor({0, 0, 0, 0.35});
    auto bar = [&](double visible, double total, double offset, double low, double high, bool horizontal) {
        if (total <= visible || visible <= 2 * kIndicatorInset)
            return;
        const double track = visible - 2 * kIndicatorInset;
        const double length =
            std::clamp(track * visible / total, std::min(kIndicatorMinimumLength, track), track);
        const double t = high > low ? std::clamp((offset - low) / (high - low), 0.0, 1.0) : 0;
        const double start = kIndicatorInset + t * (track - length);
        Graphics::Path path;
        if (horizontal)
            path.addRoundedRect({b.minX() + start, b.maxY() - kIndicatorInset - kIndicatorThickness, length,
                                 kIndicatorThickness},
                                kIndicatorThickness / 2);
        else
            path.addRoundedRect({b.maxX() - kIndicatorInset - kIndicatorThickness, b.minY() + start,
                                 kIndicatorThickness, length},
                                kIndicatorThickness / 2);
        context.fillPath(path);
    };
    if (m_showsHorizontalIndicator)
        bar(b.width(), m_contentSize.width + m_contentInset.left + m_contentInset.right, contentOffset().x,
            lo.x, hi.x, true);
    if (m_showsVerticalIndicator)
        bar(b.height(), m_contentSize.height + m_contentInset.top + m_contentInset.bottom, contentOffset().y,
            lo.y, hi.y, false);
}

} // namespace Toolkit
