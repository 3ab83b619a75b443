#include <Toolkit/ImageView.h>
#include <Toolkit/View.h>
#include <algorithm>

namespace Toolkit {

View::View(const Graphics::Rect& frame)
    : m_frame(frame.standardized()), m_bounds(0, 0, m_frame.width(), m_frame.height()) {}

void View::setFrame(const Graphics::Rect& frame) {
    const Graphics::Rect standardized = frame.standardized();
    if (standardized == m_frame)
        return;
    const bool resized = standardized.size != m_frame.size;
    m_frame = standardized;
    if (resized) {
        m_bounds.size = m_frame.size;
        setNeedsLayout();
        didChangeSize();
    }
    setNeedsDisplay();
}

void View::setBounds(const Graphics::Rect& bounds) {
    const Graphics::Rect standardized = bounds.standardized();
    if (standardized == m_bounds)
        return;
    const bool resized = standardized.size != m_bounds.size;
    m_bounds = standardized;
    if (resized) {
        m_frame = Graphics::Rect(center().x - m_bounds.width() / 2, center().y - m_bounds.height() / 2,
                                 m_bounds.width(), m_bounds.height());
        setNeedsLayout();
        didChangeSize();
    }
    setNeedsDisplay();
}

void View::setCenter(Graphics::Point center) {
    setFrame(
        {center.x - m_frame.width() / 2, center.y - m_frame.height() / 2, m_frame.width(), m_frame.height()});
}

void View::addSubview(const std::shared_ptr<View>& view) {
    if (!view || view.get() == this)
        return;
    view->removeFromSuperview();
    m_subviews.push_back(view);
    view->m_superview = weak_from_this();
    setNeedsDisplay();
}

void View::removeFromSuperview() {
    std::shared_ptr<View> parent = m_superview.lock();
    if (!parent)
        return;
    std::erase_if(parent->m_subviews, [this](const std::shared_ptr<View>& v) { return v.get() == this; });
    m_superview.reset();
    parent->setNeedsDisplay();
}

void View::setBackgroundColor(Color color) {
    if (color == m_backgroundColor)
        return;
    m_backgroundColor = color;
    setNeedsDisplay();
}

void View::setAlpha(double alpha) {
    alpha = std::clamp(alpha, 0.0, 1.0);
    if (alpha == m_alpha)
        return;
    m_alpha = alpha;
    setNeedsDisplay();
}

void View::setHidden(bool hidden) {
    if (hidden == m_hidden)
        return;
    m_hidden = hidden;
    setNeedsDisplay();
}

void View::layoutIfNeeded() {
    if (m_needsLayout) {
        m_needsLayout = false;
        layoutSubviews();
    }
    // A copy: layout may add or remove subviews.
    const std::vector<std::shared_ptr<View>> children = m_subviews;
    for (const auto& child : children)
        child->layoutIfNeeded();
}

void View::setNeedsDisplay() {
    m_needsDisplay = true;
    // The superview composites this view, so it needs redrawing too.
    for (std::shared_ptr<View> parent = m_superview.lock(); parent && !parent->m_needsDisplay;
         parent = parent->m_superview.lock())
        parent->m_needsDisplay = true;
}

void ImageView::setImage(std::shared_ptr<const Graphics::BitmapImage> image) {
    if (image == m_image)
        return;
    m_image = std::move(image);
    setNeedsDisplay();
}

void ImageView::setContentMode(ContentMode mode) {
    if (mode == m_contentMode)
        return;
    m_contentMode = mode;
    setNeedsDisplay();
}

Graphics::Rect ImageView::imageRect() const {
    if (!m_image)
        return Graphics::Rect::null();
    const Graphics::Rect b = bounds();
    const Graphics::Size s = m_image->size();
    if (s.width <= 0 || s.height <= 0)
        return Graphics::Rect::null();
    double w = b.width(), h = b.height();
    switch (m_contentMode) {
    case ContentMode::ScaleToFill:
        return b;
    case ContentMode::ScaleAspectFit:
    case ContentMode::ScaleAspectFill: {
        const double fit = m_contentMode == ContentMode::ScaleAspectFit ? std::min(w / s.width, h / s.height)
                                                                        : std::max(w / s.width, h / s.height);
        w = s.width * fit, h = s.height * fit;
        break;
    }
    case ContentMode::Center:
        w = s.width, h = s.height;
        break;
    }
    return {b.minX() + (b.width() - w) / 2, b.minY() + (b.height() - h) / 2, w, h};
}

} // namespace Toolkit
