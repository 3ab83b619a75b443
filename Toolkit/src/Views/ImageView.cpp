#include "Render/DrawTarget.h"
#include "Views/MainThread.h"

#include <Graphics/BitmapContext.h>
#include <Graphics/ImageContext.h>
#include <Toolkit/ImageView.h>
#include <cmath>

namespace Toolkit {

void ImageView::setImage(std::shared_ptr<const Graphics::BitmapImage> image) {
    if (!requireMainThread("ImageView::setImage") || image == m_image)
        return;
    m_image = std::move(image);
    m_upright.reset();
    m_reduced.reset();
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

Graphics::Size ImageView::sizeThatFits(Graphics::Size) const {
    return m_image ? m_image->size() : Graphics::Size{};
}

void ImageView::drawImage(Graphics::BitmapContext& context, const Graphics::Rect& rect, double darken) {
    if (!m_image || rect.isNull() || rect.isEmpty())
        return;
    const DrawTarget* target = currentDrawTarget(context);
    if (target && isAxisAligned(target->viewToPixel)) {
        // Turning the picture upright once, not on every redraw.
        if (!m_upright)
            m_upright = Graphics::uprightBitmap(*m_image);
        if (!m_upright)
            return;
        const Graphics::Rect destination = target->viewToPixel.applyToRect(rect);
        const int w = static_cast<int>(std::lround(destination.width()));
        const int h = static_cast<int>(std::lround(destination.height()));
        // Bilinear sampling skips source pixels below half size and shimmers; a copy reduced by area
        // averaging to the drawn size is made once per size instead.
        if (w >= 1 && h >= 1 && (w * 2 < m_upright->width() || h * 2 < m_upright->height())) {
            if (!m_reduced || m_reduced->width() != w || m_reduced->height() != h) {
                m_reduced.reset();
                if (std::unique_ptr<Graphics::ImageContext> reducer = Graphics::ImageContext::create(
                        {double(w), double(h)}, Graphics::Opacity::Translucent, 1.0)) {
                    reducer->drawImage(*m_image, {0, 0, double(w), double(h)});
                    if (std::shared_ptr<Graphics::BitmapImage> reduced = reducer->makeImage())
                        m_reduced = reduced->bitmap();
                }
            }
            if (m_reduced) {
                drawBitmap(*target->bitmap, *m_reduced, destination, target->clip, 1.0, darken);
                return;
            }
        }
        drawBitmap(*target->bitmap, *m_upright, destination, target->clip, 1.0, darken);
        return;
    }
    context.drawImage(rect, *m_image);
}

void ImageView::draw(Graphics::BitmapContext& context) {
    drawImage(context, imageRect(), 1.0);
}

} // namespace Toolkit
