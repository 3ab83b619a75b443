#include "Views/MainThread.h"

#include <Graphics/BitmapContext.h>
#include <Toolkit/GestureRecognizer.h>
#include <Toolkit/View.h>
#include <Toolkit/Window.h>
#include <algorithm>
#include <cmath>

namespace Toolkit {

namespace {

bool finite(const Graphics::Rect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}

// Minimum alpha at which a view still takes touches, as on the platform.
constexpr double kMinimumInteractiveAlpha = 0.01;

} // namespace

View::View(const Graphics::Rect& frame) {
    const Graphics::Rect r = finite(frame) ? frame.standardized() : Graphics::Rect();
    m_bounds = Graphics::Rect(0, 0, r.width(), r.height());
    m_center = {r.midX(), r.midY()};
}

View::~View() {
    for (const auto& child : m_subviews)
        child->m_superview.reset();
}

// ---- Geometry ----

Graphics::AffineTransform View::transformToSuperview() const {
    // Bounds centre → transform about the centre → centre in the superview.
    const Graphics::AffineTransform toCenter =
        Graphics::AffineTransform::makeTranslation(-m_bounds.midX(), -m_bounds.midY());
    return Graphics::AffineTransform::concat(
        Graphics::AffineTransform::concat(toCenter, m_transform),
        Graphics::AffineTransform::makeTranslation(m_center.x, m_center.y));
}

Graphics::Rect View::frame() const {
    if (m_transform.isIdentity())
        return Graphics::Rect(m_center.x - m_bounds.width() / 2, m_center.y - m_bounds.height() / 2,
                              m_bounds.width(), m_bounds.height());
    return transformToSuperview().applyToRect(m_bounds);
}

void View::setFrame(const Graphics::Rect& frame) {
    if (!finite(frame))
        return;
    const Graphics::Rect r = frame.standardized();
    const Graphics::Rect current = this->frame();
    if (r == current)
        return;
    invalidateSubtree();
    m_center = {r.midX(), r.midY()};
    if (r.size != current.size) {
        // Under a transform the frame is the transformed bounds: undo the scale to get the bounds.
        Graphics::Size size = r.size;
        if (!m_transform.isIdentity()) {
            const double sx = std::hypot(m_transform.a, m_transform.b);
            const double sy = std::hypot(m_transform.c, m_transform.d);
            size = {sx > 0 ? size.width / sx : 0, sy > 0 ? size.height / sy : 0};
        }
        setBoundsSize(size);
    }
    invalidateSubtree();
}

void View::setBounds(const Graphics::Rect& bounds) {
    if (!finite(bounds))
        return;
    const Graphics::Rect r = bounds.standardized();
    if (r == m_bounds)
        return;
    const bool moved = r.origin != m_bounds.origin;
    invalidateSubtree();
    m_bounds.origin = r.origin;
    if (r.size != m_bounds.size)
        setBoundsSize(r.size);
    invalidateSubtree();
    if (moved)
        didChangeBoundsOrigin();
}

void View::setBoundsSize(Graphics::Size size) {
    const Graphics::Size old = m_bounds.size;
    if (size == old)
        return;
    m_bounds.size = size;
    if (m_autoresizesSubviews) {
        const std::vector<std::shared_ptr<View>> children = m_subviews;
        for (const auto& child : children)
            child->applyAutoresizing(old, size);
    }
    setNeedsLayout();
    didChangeSize();
}

void View::setCenter(Graphics::Point center) {
    if (!std::isfinite(center.x) || !std::isfinite(center.y) || center == m_center)
        return;
    invalidateSubtree();
    m_center = center;
    invalidateSubtree();
}

void View::setTransform(const Graphics::AffineTransform& transform) {
    if (transform == m_transform || !transform.inverted())
        return;
    invalidateSubtree();
    m_transform = transform;
    invalidateSubtree();
}

// Spreads the change of the superview's size over the flexible parts of each axis in proportion to
// their current lengths, as the platform does; with all flexible parts at zero length they share it
// equally.
void View::applyAutoresizing(Graphics::Size oldSuperSize, Graphics::Size newSuperSize) {
    if (m_autoresizingMask == AutoresizingMask::None)
        return;
    const Graphics::Rect f = frame();
    auto resize = [](double delta, double before, double length, double after, bool flexBefore,
                     bool flexLength, bool flexAfter, double& outStart, double& outLength) {
        outStart = before;
        outLength = length;
        const int count = int(flexBefore) + int(flexLength) + int(flexAfter);
        if (count == 0 || delta == 0)
            return;
        double total = (flexBefore ? before : 0) + (flexLength ? length : 0) + (flexAfter ? after : 0);
        double shareBefore, shareLength;
        if (total > 0) {
            shareBefore = flexBefore ? before / total : 0;
            shareLength = flexLength ? length / total : 0;
        } else {
            shareBefore = flexBefore ? 1.0 / count : 0;
            shareLength = flexLength ? 1.0 / count : 0;
        }
        outStart = before + delta * shareBefore;
        outLength = std::max(0.0, length + delta * shareLength);
    };
    const AutoresizingMask m = m_autoresizingMask;
    double x, w, y, h;
    resize(newSuperSize.width - oldSuperSize.width, f.minX(), f.width(), oldSuperSize.width - f.maxX(),
           hasFlag(m, AutoresizingMask::FlexibleLeftMargin), hasFlag(m, AutoresizingMask::FlexibleWidth),
           hasFlag(m, AutoresizingMask::FlexibleRightMargin), x, w);
    resize(newSuperSize.height - oldSuperSize.height, f.minY(), f.height(), oldSuperSize.height - f.maxY(),
           hasFlag(m, AutoresizingMask::FlexibleTopMargin), hasFlag(m, AutoresizingMask::FlexibleHeight),
           hasFlag(m, AutoresizingMask::FlexibleBottomMargin), y, h);
    setFrame({x, y, w, h});
}

// ---- Appearance ----

void View::setBackgroundColor(Color color) {
    if (color == m_backgroundColor)
        return;
    m_backgroundColor = color;
    setNeedsDisplay();
}

void View::setAlpha(double alpha) {
    alpha = std::isnan(alpha) ? 1.0 : std::clamp(alpha, 0.0, 1.0);
    if (alpha == m_alpha)
        return;
    m_alpha = alpha;
    invalidateSubtree();
}

void View::setHidden(bool hidden) {
    if (hidden == m_hidden)
        return;
    invalidateSubtree();
    m_hidden = hidden;
    invalidateSubtree();
}

void View::setClipsToBounds(bool clips) {
    if (clips == m_clipsToBounds)
        return;
    invalidateSubtree();
    m_clipsToBounds = clips;
}

void View::setBorderWidth(double width) {
    width = std::isfinite(width) ? std::max(0.0, width) : 0.0;
    if (width == m_borderWidth)
        return;
    m_borderWidth = width;
    setNeedsDisplay();
}

void View::setBorderColor(Color color) {
    if (color == m_borderColor)
        return;
    m_borderColor = color;
    if (m_borderWidth > 0)
        setNeedsDisplay();
}

void View::setCornerRadius(double radius) {
    radius = std::isfinite(radius) ? std::max(0.0, radius) : 0.0;
    if (radius == m_cornerRadius)
        return;
    m_cornerRadius = radius;
    invalidateSubtree();
}

// ---- Input ----

bool View::pointInside(Graphics::Point point) const {
    return m_bounds.containsPoint(point);
}

std::shared_ptr<View> View::hitTest(Graphics::Point point) {
    if (m_hidden || !m_userInteractionEnabled || m_alpha < kMinimumInteractiveAlpha || !pointInside(point))
        return nullptr;
    for (auto it = m_subviews.rbegin(); it != m_subviews.rend(); ++it) {
        const std::shared_ptr<View> child = *it;
        const std::optional<Graphics::AffineTransform> fromSuper = child->transformToSuperview().inverted();
        if (!fromSuper)
            continue;
        if (std::shared_ptr<View> hit = child->hitTest(fromSuper->applyToPoint(point)))
            return hit;
    }
    return shared_from_this();
}

void View::touchesBegan(const Touches& touches) {
    if (std::shared_ptr<View> parent = superview())
        parent->touchesBegan(touches);
}
void View::touchesMoved(const Touches& touches) {
    if (std::shared_ptr<View> parent = superview())
        parent->touchesMoved(touches);
}
void View::touchesEnded(const Touches& touches) {
    if (std::shared_ptr<View> parent = superview())
        parent->touchesEnded(touches);
}
void View::touchesCancelled(const Touches& touches) {
    if (std::shared_ptr<View> parent = superview())
        parent->touchesCancelled(touches);
}

void View::addGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer) {
    if (!recognizer)
        return;
    if (std::shared_ptr<View> previous = recognizer->view())
        previous->removeGestureRecognizer(recognizer);
    m_recognizers.push_back(recognizer);
    recognizer->m_view = weak_from_this();
}

void View::removeGestureRecognizer(const std::shared_ptr<GestureRecognizer>& recognizer) {
    auto it = std::find(m_recognizers.begin(), m_recognizers.end(), recognizer);
    if (it == m_recognizers.end())
        return;
    if (recognizer->state() == GestureRecognizerState::Began ||
        recognizer->state() == GestureRecognizerState::Changed)
        recognizer->setState(GestureRecognizerState::Cancelled);
    recognizer->m_touches.clear();
    recognizer->m_state = GestureRecognizerState::Possible;
    recognizer->m_view.reset();
    m_recognizers.erase(it);
}

// ---- Coordinates ----

Graphics::AffineTransform View::transformToRoot() const {
    Graphics::AffineTransform t;
    const View* v = this;
    for (std::shared_ptr<View> parent = m_superview.lock(); parent; parent = parent->m_superview.lock()) {
        t = Graphics::AffineTransform::concat(t, v->transformToSuperview());
        v = parent.get();
    }
    return t;
}

Graphics::Point View::convertPointToView(Graphics::Point point,
                                         const std::shared_ptr<const View>& other) const {
    const Graphics::Point root = transformToRoot().applyToPoint(point);
    if (!other)
        return root;
    const std::optional<Graphics::AffineTransform> fromRoot = other->transformToRoot().inverted();
    return fromRoot ? fromRoot->applyToPoint(root) : root;
}

Graphics::Point View::convertPointFromView(Graphics::Point point,
                                           const std::shared_ptr<const View>& other) const {
    const Graphics::Point root = other ? other->transformToRoot().applyToPoint(point) : point;
    const std::optional<Graphics::AffineTransform> fromRoot = transformToRoot().inverted();
    return fromRoot ? fromRoot->applyToPoint(root) : root;
}

Graphics::Rect View::convertRectToView(const Graphics::Rect& rect,
                                       const std::shared_ptr<const View>& other) const {
    Graphics::AffineTransform t = transformToRoot();
    if (other)
        if (std::optional<Graphics::AffineTransform> fromRoot = other->transformToRoot().inverted())
            t = Graphics::AffineTransform::concat(t, *fromRoot);
    return t.applyToRect(rect);
}

Graphics::Rect View::convertRectFromView(const Graphics::Rect& rect,
                                         const std::shared_ptr<const View>& other) const {
    Graphics::AffineTransform t = other ? other->transformToRoot() : Graphics::AffineTransform();
    if (std::optional<Graphics::AffineTransform> fromRoot = transformToRoot().inverted())
        t = Graphics::AffineTransform::concat(t, *fromRoot);
    return t.applyToRect(rect);
}

// ---- Layout ----

void View::setNeedsLayout() {
    m_needsLayout = true;
    // The window looks at this flag before drawing; mark the root so that it knows to walk the tree.
    if (Window* w = rootWindow())
        w->m_layoutPending = true;
}

void View::layoutIfNeeded() {
    if (m_needsLayout) {
        m_needsLayout = false;
        layoutSubviews();
        if (m_onDidLayoutSubviews) {
            const std::function<void()> callback = m_onDidLayoutSubviews;
            callback();
        }
    }
    // A copy: layout may add or remove subviews.
    const std::vector<std::shared_ptr<View>> children = m_subviews;
    for (const auto& child : children)
        child->layoutIfNeeded();
}

Graphics::Size View::sizeThatFits(Graphics::Size) const {
    return m_bounds.size;
}

void View::sizeToFit() {
    const Graphics::Rect f = frame();
    const Graphics::Size s = sizeThatFits(f.size);
    setFrame({f.origin, s});
}

// ---- Display ----

void View::setNeedsDisplay() {
    if (!requireMainThread("View::setNeedsDisplay"))
        return;
    if (Window* w = rootWindow())
        w->invalidateRect(transformToRoot().applyToRect(m_bounds));
}

void View::invalidateSubtree() {
    Window* w = rootWindow();
    if (!w || m_hidden)
        return;
    // The area of the subtree in this view's coordinates: its bounds, grown by unclipped subviews.
    std::function<Graphics::Rect(const View&)> extent = [&](const View& v) {
        Graphics::Rect r = v.m_bounds;
        if (v.m_clipsToBounds)
            return r;
        for (const auto& child : v.m_subviews)
            if (!child->m_hidden)
                r = r.unionWith(child->transformToSuperview().applyToRect(extent(*child)));
        return r;
    };
    w->invalidateRect(transformToRoot().applyToRect(extent(*this)));
}

void View::draw(Graphics::BitmapContext&) {}

} // namespace Toolkit
