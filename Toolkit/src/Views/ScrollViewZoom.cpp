#include "ScrollMotion.h"

#include <Toolkit/ScrollView.h>
#include <Toolkit/Window.h>
#include <algorithm>
#include <cmath>

// Zooming: the pinch, programmatic zoom scales and zooming to a rect.

namespace Toolkit {

using namespace ScrollMotion;

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
            self->animateOffsetTo(clamped, kBounceSeconds, OffsetMotion::Decelerating);
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

} // namespace Toolkit
