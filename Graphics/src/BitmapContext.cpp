#include "BitmapContextSupport.h"

#include <Foundation/Log.h>
#include <Graphics/BitmapContext.h>
#include <Graphics/ImageContext.h>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace Graphics {

using namespace ContextSupport;

BitmapContext::BitmapContext(std::shared_ptr<Bitmap> bitmap) : m_bitmap(std::move(bitmap)) {
    m_state.clip = Rect(0, 0, m_bitmap->width(), m_bitmap->height());
}

std::unique_ptr<BitmapContext> BitmapContext::create(std::shared_ptr<Bitmap> target) {
    if (!target)
        return nullptr;
    return std::unique_ptr<BitmapContext>(new BitmapContext(std::move(target)));
}

std::unique_ptr<BitmapContext> BitmapContext::create(int width, int height, Opacity opacity) {
    const bool opaque = opacity == Opacity::Opaque;
    std::shared_ptr<Bitmap> bitmap = Bitmap::create(
        width, height, PixelFormat::RGBA8, opaque ? AlphaInfo::NoneSkipLast : AlphaInfo::PremultipliedLast);
    if (!bitmap)
        return nullptr;
    auto context = create(bitmap);
    if (opaque)
        context->clearRect(Rect(0, 0, width, height));
    return context;
}

void BitmapContext::saveGState() {
    m_saved.push_back(m_state);
}

void BitmapContext::restoreGState() {
    if (m_saved.empty())
        return;
    m_state = m_saved.back();
    m_saved.pop_back();
}

void BitmapContext::translateCTM(double x, double y) {
    m_state.ctm = m_state.ctm.translated(x, y);
}
void BitmapContext::scaleCTM(double sx, double sy) {
    m_state.ctm = m_state.ctm.scaled(sx, sy);
}
void BitmapContext::rotateCTM(double angle) {
    m_state.ctm = m_state.ctm.rotated(angle);
}
void BitmapContext::concatCTM(const AffineTransform& transform) {
    m_state.ctm = AffineTransform::concat(transform, m_state.ctm);
}

void BitmapContext::setLineDash(double phase, std::vector<double> lengths) {
    const bool usable =
        std::any_of(lengths.begin(), lengths.end(), [](double l) { return l > 0; }) &&
        std::all_of(lengths.begin(), lengths.end(), [](double l) { return l >= 0 && std::isfinite(l); });
    m_state.dashPhase = std::isfinite(phase) ? phase : 0;
    m_state.dashLengths = usable ? std::move(lengths) : std::vector<double>();
}

void BitmapContext::setAlpha(double alpha) {
    m_state.alpha = std::clamp(std::isnan(alpha) ? 1.0 : alpha, 0.0, 1.0);
}

void BitmapContext::clipToRect(const Rect& rect) {
    m_state.clip = m_state.clip.intersection(m_state.ctm.applyToRect(rect));
}

void BitmapContext::fillRect(const Rect& rect) {
    Path path;
    path.addRect(rect);
    fillPath(path);
}

void BitmapContext::clearRect(const Rect& rect) {
    const Rect device = m_state.ctm.applyToRect(rect).intersection(m_state.clip);
    if (device.isNull() || !isFinite(device))
        return;
    const int height = m_bitmap->height();
    const int x0 = std::max(0, static_cast<int>(std::lround(device.minX())));
    const int x1 = std::min(m_bitmap->width(), static_cast<int>(std::lround(device.maxX())));
    const int rowTop = std::max(0, height - static_cast<int>(std::lround(device.maxY())));
    const int rowBottom = std::min(height, height - static_cast<int>(std::lround(device.minY())));
    const bool opaque = m_bitmap->alphaInfo() == AlphaInfo::NoneSkipLast;
    const std::size_t bytes = m_bitmap->bytesPerPixel();
    for (int row = rowTop; row < rowBottom; ++row)
        for (int x = x0; x < x1; ++x) {
            std::uint8_t* p = m_bitmap->mutableRow(row) + static_cast<std::size_t>(x) * bytes;
            std::fill(p, p + bytes, 0);
            if (opaque && bytes == 4)
                p[3] = 255;
        }
}

void BitmapContext::strokeRect(const Rect& rect) {
    Path path;
    path.addRect(rect);
    strokePath(path);
}

void BitmapContext::strokePath() {
    const std::optional<AffineTransform> inverse = m_state.ctm.inverted();
    if (inverse)
        strokePath(m_path.transformed(*inverse));
    m_path = Path();
}

void BitmapContext::fillPath(FillRule rule) {
    fillDevicePath(m_path, rule, m_state.fill);
    m_path = Path();
}

void BitmapContext::fillPath(const Path& path, FillRule rule) {
    fillDevicePath(path.transformed(m_state.ctm), rule, m_state.fill);
}

void BitmapContext::strokePath(const Path& path) {
    if (!(m_state.lineWidth > 0))
        return;
    fillDevicePath(strokeOutline(path).transformed(m_state.ctm), FillRule::NonZero, m_state.stroke);
}

} // namespace Graphics
