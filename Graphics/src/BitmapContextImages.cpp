#include "BitmapContextSupport.h"

#include <Foundation/Log.h>
#include <Graphics/BitmapContext.h>
#include <Graphics/ImageContext.h>
#include <algorithm>
#include <cmath>
#include <numbers>

// Image sampling: drawing a bitmap image through the current transform, and masked images.

namespace Graphics {

using namespace ContextSupport;

void BitmapContext::drawImage(const Rect& rect, const BitmapImage& image) {
    std::shared_ptr<const Bitmap> source = uprightBitmap(image);
    if (!source)
        return;
    const Rect device = m_state.ctm.applyToRect(rect);
    const Rect visible = device.intersection(m_state.clip);
    if (visible.isNull() || visible.isEmpty() || !isFinite(visible) || !(device.width() > 0) ||
        !(device.height() > 0) || !std::isfinite(device.width()) || !std::isfinite(device.height()))
        return;
    const int height = m_bitmap->height();
    const int x0 = std::max(0, static_cast<int>(std::floor(visible.minX())));
    const int x1 = std::min(m_bitmap->width(), static_cast<int>(std::ceil(visible.maxX())));
    const int y0 = std::max(0, static_cast<int>(std::floor(visible.minY())));
    const int y1 = std::min(height, static_cast<int>(std::ceil(visible.maxY())));
    const double sx = source->width() / device.width(), sy = source->height() / device.height();
    const bool gray = m_bitmap->format() == PixelFormat::Gray8;
    const bool sourceGray = source->format() == PixelFormat::Gray8;
    const bool sourceOpaque = sourceGray || source->alphaInfo() == AlphaInfo::NoneSkipLast;
    const bool opaque = m_bitmap->alphaInfo() == AlphaInfo::NoneSkipLast;
    const double globalAlpha = m_state.alpha;
    auto sample = [&](int px, int py, double* out) {
        px = std::clamp(px, 0, source->width() - 1);
        py = std::clamp(py, 0, source->height() - 1);
        const std::uint8_t* p = source->row(py) + static_cast<std::size_t>(px) * source->bytesPerPixel();
        if (sourceGray) {
            out[0] = out[1] = out[2] = p[0], out[3] = 255;
            return;
        }
        out[0] = p[0], out[1] = p[1], out[2] = p[2], out[3] = sourceOpaque ? 255 : p[3];
    };
    for (int y = y0; y < y1; ++y) {
        const double centerY = y + 0.5;
        if (centerY < visible.minY() || centerY >= visible.maxY())
            continue;
        // Device y runs up, image rows run down from the top edge.
        const double v = (device.maxY() - centerY) * sy - 0.5;
        const int vy = static_cast<int>(std::floor(v));
        const double fy = v - vy;
        std::uint8_t* row = m_bitmap->mutableRow(height - 1 - y);
        for (int x = x0; x < x1; ++x) {
            const double centerX = x + 0.5;
            if (centerX < visible.minX() || centerX >= visible.maxX())
                continue;
            const double u = (centerX - device.minX()) * sx - 0.5;
            const int ux = static_cast<int>(std::floor(u));
            const double fx = u - ux;
            double a[4], b[4], c[4], d[4], s[4];
            sample(ux, vy, a), sample(ux + 1, vy, b), sample(ux, vy + 1, c), sample(ux + 1, vy + 1, d);
            for (int k = 0; k < 4; ++k)
                s[k] = ((a[k] * (1 - fx) + b[k] * fx) * (1 - fy) + (c[k] * (1 - fx) + d[k] * fx) * fy) / 255 *
                       globalAlpha;
            const double keep = 1 - s[3];
            if (gray) {
                row[x] = toByte(s[0] + row[x] / 255.0 * keep);
                continue;
            }
            std::uint8_t* p = row + static_cast<std::size_t>(x) * 4;
            for (int k = 0; k < 3; ++k)
                p[k] = toByte(s[k] + p[k] / 255.0 * keep);
            p[3] = opaque ? 255 : toByte(s[3] + p[3] / 255.0 * keep);
        }
    }
}

std::shared_ptr<const Bitmap> createImageMask(const Bitmap& gray) {
    if (gray.format() != PixelFormat::Gray8) {
        Foundation::log("createImageMask: the mask must be a grey bitmap");
        return nullptr;
    }
    return gray.copy();
}

std::shared_ptr<BitmapImage> createMaskedImage(const BitmapImage& image,
                                               const std::shared_ptr<const Bitmap>& mask) {
    std::shared_ptr<const Bitmap> source = image.bitmap();
    if (!mask || mask->format() != PixelFormat::Gray8 || source->format() != PixelFormat::RGBA8) {
        Foundation::log("createMaskedImage: needs an RGBA image and a grey mask");
        return nullptr;
    }
    std::shared_ptr<Bitmap> result = Bitmap::create(source->width(), source->height(), PixelFormat::RGBA8,
                                                    AlphaInfo::PremultipliedLast, source->colorSpace());
    if (!result)
        return nullptr;
    const bool sourceOpaque = source->alphaInfo() == AlphaInfo::NoneSkipLast;
    for (int y = 0; y < source->height(); ++y) {
        // Nearest mask sample: the platform applies masks without interpolation.
        const int my =
            std::min(mask->height() - 1, static_cast<int>((y + 0.5) * mask->height() / source->height()));
        const std::uint8_t* in = source->row(y);
        const std::uint8_t* m = mask->row(my);
        std::uint8_t* out = result->mutableRow(y);
        for (int x = 0; x < source->width(); ++x) {
            const int mx =
                std::min(mask->width() - 1, static_cast<int>((x + 0.5) * mask->width() / source->width()));
            const unsigned opacity = 255u - m[mx];
            for (int k = 0; k < 3; ++k)
                out[x * 4 + k] = static_cast<std::uint8_t>((in[x * 4 + k] * opacity + 127) / 255);
            out[x * 4 + 3] =
                static_cast<std::uint8_t>(((sourceOpaque ? 255u : in[x * 4 + 3]) * opacity + 127) / 255);
        }
    }
    return BitmapImage::create(std::move(result), image.scale(), image.orientation());
}

} // namespace Graphics
