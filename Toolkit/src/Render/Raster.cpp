#include "Render/Raster.h"

#include <cmath>
#include <cstring>
#include <vector>

namespace Toolkit {

namespace {

// x / 255 for x in 0…255², rounded, without a division.
inline std::uint32_t div255(std::uint32_t x) {
    x += 128;
    return (x + (x >> 8)) >> 8;
}

inline void blendPixel(std::uint8_t* p, std::uint32_t r, std::uint32_t g, std::uint32_t b, std::uint32_t a) {
    const std::uint32_t keep = 255 - a;
    p[0] = static_cast<std::uint8_t>(std::min<std::uint32_t>(255, r + div255(p[0] * keep)));
    p[1] = static_cast<std::uint8_t>(std::min<std::uint32_t>(255, g + div255(p[1] * keep)));
    p[2] = static_cast<std::uint8_t>(std::min<std::uint32_t>(255, b + div255(p[2] * keep)));
    p[3] = static_cast<std::uint8_t>(std::min<std::uint32_t>(255, a + div255(p[3] * keep)));
}

PixelRect bitmapRect(const Graphics::Bitmap& bitmap) {
    return {0, 0, bitmap.width(), bitmap.height()};
}

// Coverage of pixel [i, i + 1) by the span [a, b).
inline double spanCoverage(int i, double a, double b) {
    return std::clamp(std::min(b, i + 1.0) - std::max(a, double(i)), 0.0, 1.0);
}

} // namespace

PixelRect PixelRect::fromRect(const Graphics::Rect& rect) {
    if (rect.isNull())
        return {};
    auto lo = [](double v) { return static_cast<int>(std::clamp(std::ceil(v - 0.5), -1e9, 1e9)); };
    return {lo(rect.minX()), lo(rect.minY()), lo(rect.maxX()), lo(rect.maxY())};
}

PixelRect PixelRect::enclosing(const Graphics::Rect& rect) {
    if (rect.isNull())
        return {};
    auto c = [](double v) { return std::clamp(v, -1e9, 1e9); };
    return {static_cast<int>(std::floor(c(rect.minX()))), static_cast<int>(std::floor(c(rect.minY()))),
            static_cast<int>(std::ceil(c(rect.maxX()))), static_cast<int>(std::ceil(c(rect.maxY())))};
}

PremultipliedColor PremultipliedColor::from(Color c, double extraAlpha) {
    const double a = std::clamp(c.alpha * extraAlpha, 0.0, 1.0);
    auto channel = [a](double v) {
        return static_cast<std::uint32_t>(std::lround(std::clamp(v, 0.0, 1.0) * a * 255));
    };
    return {channel(c.red), channel(c.green), channel(c.blue),
            static_cast<std::uint32_t>(std::lround(a * 255))};
}

void clearRect(Graphics::Bitmap& target, const PixelRect& rect, PremultipliedColor color) {
    const PixelRect r = rect.intersection(bitmapRect(target));
    if (r.isEmpty())
        return;
    const std::uint8_t px[4] = {static_cast<std::uint8_t>(color.r), static_cast<std::uint8_t>(color.g),
                                static_cast<std::uint8_t>(color.b), static_cast<std::uint8_t>(color.a)};
    std::uint32_t word;
    std::memcpy(&word, px, 4);
    for (int y = r.y0; y < r.y1; ++y) {
        std::uint32_t* row = reinterpret_cast<std::uint32_t*>(target.mutableRow(y)) + r.x0;
        std::fill(row, row + r.width(), word);
    }
}

void fillRect(Graphics::Bitmap& target, const Graphics::Rect& rect, const PixelRect& clip,
              PremultipliedColor color) {
    if (color.a == 0 || rect.isNull() || rect.isEmpty() || target.format() != Graphics::PixelFormat::RGBA8)
        return;
    const PixelRect r = PixelRect::enclosing(rect).intersection(clip).intersection(bitmapRect(target));
    if (r.isEmpty())
        return;
    const double left = rect.minX(), right = rect.maxX(), top = rect.minY(), bottom = rect.maxY();
    // Column coverage in 0…256; only the edge columns are partial.
    std::vector<std::uint32_t> columns(static_cast<std::size_t>(r.width()));
    for (int x = r.x0; x < r.x1; ++x)
        columns[static_cast<std::size_t>(x - r.x0)] =
            static_cast<std::uint32_t>(std::lround(spanCoverage(x, left, right) * 256));
    for (int y = r.y0; y < r.y1; ++y) {
        const std::uint32_t rowCoverage =
            static_cast<std::uint32_t>(std::lround(spanCoverage(y, top, bottom) * 256));
        if (rowCoverage == 0)
            continue;
        std::uint8_t* row = target.mutableRow(y);
        if (rowCoverage >= 256 && color.a == 255) {
            // Whole rows of an opaque colour: store words, blending only the partial edge columns.
            const std::uint8_t px[4] = {static_cast<std::uint8_t>(color.r),
                                        static_cast<std::uint8_t>(color.g),
                                        static_cast<std::uint8_t>(color.b), 255};
            std::uint32_t word;
            std::memcpy(&word, px, 4);
            int x = r.x0;
            for (; x < r.x1 && columns[static_cast<std::size_t>(x - r.x0)] < 256; ++x) {
                const std::uint32_t c = columns[static_cast<std::size_t>(x - r.x0)];
                blendPixel(row + static_cast<std::size_t>(x) * 4, (color.r * c + 128) >> 8,
                           (color.g * c + 128) >> 8, (color.b * c + 128) >> 8, (color.a * c + 128) >> 8);
            }
            int end = r.x1;
            while (end > x && columns[static_cast<std::size_t>(end - 1 - r.x0)] < 256)
                --end;
            std::uint32_t* words = reinterpret_cast<std::uint32_t*>(row);
            std::fill(words + x, words + end, word);
            for (x = end; x < r.x1; ++x) {
                const std::uint32_t c = columns[static_cast<std::size_t>(x - r.x0)];
                blendPixel(row + static_cast<std::size_t>(x) * 4, (color.r * c + 128) >> 8,
                           (color.g * c + 128) >> 8, (color.b * c + 128) >> 8, (color.a * c + 128) >> 8);
            }
            continue;
        }
        for (int x = r.x0; x < r.x1; ++x) {
            const std::uint32_t c = (columns[static_cast<std::size_t>(x - r.x0)] * rowCoverage) >> 8;
            if (c == 0)
                continue;
            std::uint8_t* p = row + static_cast<std::size_t>(x) * 4;
            if (c >= 256 && color.a == 255) {
                p[0] = static_cast<std::uint8_t>(color.r), p[1] = static_cast<std::uint8_t>(color.g);
                p[2] = static_cast<std::uint8_t>(color.b), p[3] = 255;
                continue;
            }
            blendPixel(p, (color.r * c + 128) >> 8, (color.g * c + 128) >> 8, (color.b * c + 128) >> 8,
                       (color.a * c + 128) >> 8);
        }
    }
}

void drawBitmap(Graphics::Bitmap& target, const Graphics::Bitmap& source, const Graphics::Rect& destination,
                const PixelRect& clip, double alpha, double darken) {
    if (target.format() != Graphics::PixelFormat::RGBA8 || destination.isNull() || destination.isEmpty() ||
        source.width() <= 0 || source.height() <= 0)
        return;
    const PixelRect r = PixelRect::fromRect(destination).intersection(clip).intersection(bitmapRect(target));
    if (r.isEmpty())
        return;
    const std::uint32_t opacity = static_cast<std::uint32_t>(std::lround(std::clamp(alpha, 0.0, 1.0) * 256));
    const std::uint32_t shade = static_cast<std::uint32_t>(std::lround(std::clamp(darken, 0.0, 1.0) * 256));
    if (opacity == 0)
        return;
    const bool gray = source.format() == Graphics::PixelFormat::Gray8;
    const bool sourceOpaque = gray || source.alphaInfo() == Graphics::AlphaInfo::NoneSkipLast;
    const int sw = source.width(), sh = source.height();
    const double sx = sw / destination.width(), sy = sh / destination.height();

    // Per column: the two source columns and the weight of the second, in 0…256.
    struct Tap {
        int i0, i1;
        std::uint32_t f;
    };
    auto taps = [](int begin, int end, double origin, double step, int limit) {
        std::vector<Tap> result(static_cast<std::size_t>(end - begin));
        for (int i = begin; i < end; ++i) {
            const double u = (i + 0.5 - origin) * step - 0.5;
            const double fl = std::floor(u);
            int i0 = static_cast<int>(fl);
            std::uint32_t f = static_cast<std::uint32_t>(std::lround((u - fl) * 256));
            if (f >= 256)
                ++i0, f = 0;
            result[static_cast<std::size_t>(i - begin)] = {std::clamp(i0, 0, limit - 1),
                                                           std::clamp(i0 + 1, 0, limit - 1), f};
        }
        return result;
    };
    const std::vector<Tap> cols = taps(r.x0, r.x1, destination.minX(), sx, sw);
    const std::vector<Tap> rows = taps(r.y0, r.y1, destination.minY(), sy, sh);

    if (!gray && opacity >= 256 && shade >= 256) {
        // The common case, a colour picture at full opacity: both channel pairs of a pixel are
        // interpolated at once in the halves of one 32-bit word.
        const std::uint32_t forceAlpha = sourceOpaque ? 0xFF000000u : 0;
        auto load = [forceAlpha](const std::uint8_t* row, int x) {
            std::uint32_t v;
            std::memcpy(&v, row + static_cast<std::size_t>(x) * 4, 4);
            return v | forceAlpha;
        };
        auto mix = [](std::uint32_t a, std::uint32_t b, std::uint32_t f) {
            const std::uint32_t g = 256 - f;
            const std::uint32_t rb = (((a & 0x00FF00FFu) * g + (b & 0x00FF00FFu) * f) >> 8) & 0x00FF00FFu;
            const std::uint32_t ag =
                (((a >> 8) & 0x00FF00FFu) * g + ((b >> 8) & 0x00FF00FFu) * f) & 0xFF00FF00u;
            return rb | ag;
        };
        for (int y = r.y0; y < r.y1; ++y) {
            const Tap& ty = rows[static_cast<std::size_t>(y - r.y0)];
            const std::uint8_t* row0 = source.row(ty.i0);
            const std::uint8_t* row1 = source.row(ty.i1);
            std::uint8_t* out = target.mutableRow(y);
            for (int x = r.x0; x < r.x1; ++x) {
                const Tap& tx = cols[static_cast<std::size_t>(x - r.x0)];
                const std::uint32_t top = mix(load(row0, tx.i0), load(row0, tx.i1), tx.f);
                const std::uint32_t bottom = mix(load(row1, tx.i0), load(row1, tx.i1), tx.f);
                const std::uint32_t v = mix(top, bottom, ty.f);
                const std::uint32_t alpha = v >> 24;
                std::uint8_t* p = out + static_cast<std::size_t>(x) * 4;
                if (alpha == 255)
                    std::memcpy(p, &v, 4);
                else if (alpha != 0)
                    blendPixel(p, v & 0xFF, (v >> 8) & 0xFF, (v >> 16) & 0xFF, alpha);
            }
        }
        return;
    }
    auto fetch = [&](const std::uint8_t* row, int x, std::uint32_t* out) {
        if (gray) {
            out[0] = out[1] = out[2] = row[x];
            out[3] = 255;
            return;
        }
        const std::uint8_t* p = row + static_cast<std::size_t>(x) * 4;
        out[0] = p[0], out[1] = p[1], out[2] = p[2], out[3] = sourceOpaque ? 255 : p[3];
    };
    for (int y = r.y0; y < r.y1; ++y) {
        const Tap& ty = rows[static_cast<std::size_t>(y - r.y0)];
        const std::uint8_t* row0 = source.row(ty.i0);
        const std::uint8_t* row1 = source.row(ty.i1);
        std::uint8_t* out = target.mutableRow(y);
        for (int x = r.x0; x < r.x1; ++x) {
            const Tap& tx = cols[static_cast<std::size_t>(x - r.x0)];
            std::uint32_t a[4], b[4], c[4], d[4], s[4];
            fetch(row0, tx.i0, a), fetch(row0, tx.i1, b), fetch(row1, tx.i0, c), fetch(row1, tx.i1, d);
            for (int k = 0; k < 4; ++k) {
                const std::uint32_t top = a[k] * (256 - tx.f) + b[k] * tx.f;
                const std::uint32_t bottom = c[k] * (256 - tx.f) + d[k] * tx.f;
                s[k] = ((((top * (256 - ty.f) + bottom * ty.f) + 32768) >> 16) * opacity + 128) >> 8;
            }
            if (shade < 256)
                for (int k = 0; k < 3; ++k)
                    s[k] = (s[k] * shade + 128) >> 8;
            if (s[3] == 0)
                continue;
            std::uint8_t* p = out + static_cast<std::size_t>(x) * 4;
            if (s[3] >= 255) {
                p[0] = static_cast<std::uint8_t>(s[0]), p[1] = static_cast<std::uint8_t>(s[1]);
                p[2] = static_cast<std::uint8_t>(s[2]), p[3] = 255;
                continue;
            }
            blendPixel(p, s[0], s[1], s[2], s[3]);
        }
    }
}

void drawMask(Graphics::Bitmap& target, const std::uint8_t* mask, int width, int height, std::size_t rowBytes,
              int x, int y, const PixelRect& clip, PremultipliedColor color) {
    if (!mask || color.a == 0 || target.format() != Graphics::PixelFormat::RGBA8)
        return;
    const PixelRect r =
        PixelRect{x, y, x + width, y + height}.intersection(clip).intersection(bitmapRect(target));
    for (int py = r.y0; py < r.y1; ++py) {
        const std::uint8_t* m = mask + static_cast<std::size_t>(py - y) * rowBytes;
        std::uint8_t* out = target.mutableRow(py);
        for (int px = r.x0; px < r.x1; ++px) {
            const std::uint32_t c = m[px - x];
            if (c == 0)
                continue;
            blendPixel(out + static_cast<std::size_t>(px) * 4, div255(color.r * c), div255(color.g * c),
                       div255(color.b * c), div255(color.a * c));
        }
    }
}

void compositeGroup(Graphics::Bitmap& target, const Graphics::Bitmap& source, int x, int y, double alpha,
                    const Graphics::Rect* roundedRect, double radius) {
    const PixelRect r =
        PixelRect{x, y, x + source.width(), y + source.height()}.intersection(bitmapRect(target));
    const double opacity = std::clamp(alpha, 0.0, 1.0);
    if (r.isEmpty() || opacity <= 0)
        return;
    double cx = 0, cy = 0, hw = 0, hh = 0;
    if (roundedRect) {
        cx = roundedRect->midX(), cy = roundedRect->midY();
        hw = roundedRect->width() / 2, hh = roundedRect->height() / 2;
        radius = std::clamp(radius, 0.0, std::min(hw, hh));
    }
    const std::uint32_t full = static_cast<std::uint32_t>(std::lround(opacity * 256));
    for (int py = r.y0; py < r.y1; ++py) {
        const std::uint8_t* in = source.row(py - y);
        std::uint8_t* out = target.mutableRow(py);
        for (int px = r.x0; px < r.x1; ++px) {
            const std::uint8_t* s = in + static_cast<std::size_t>(px - x) * 4;
            if (s[3] == 0)
                continue;
            std::uint32_t factor = full;
            if (roundedRect) {
                // Signed distance from the pixel centre to the rounded rect's edge.
                const double qx = std::abs(px + 0.5 - cx) - (hw - radius);
                const double qy = std::abs(py + 0.5 - cy) - (hh - radius);
                const double outside = std::hypot(std::max(qx, 0.0), std::max(qy, 0.0));
                const double d = outside + std::min(std::max(qx, qy), 0.0) - radius;
                const double coverage = std::clamp(0.5 - d, 0.0, 1.0);
                if (coverage <= 0)
                    continue;
                factor = static_cast<std::uint32_t>(std::lround(coverage * opacity * 256));
            }
            blendPixel(out + static_cast<std::size_t>(px) * 4, (s[0] * factor + 128) >> 8,
                       (s[1] * factor + 128) >> 8, (s[2] * factor + 128) >> 8, (s[3] * factor + 128) >> 8);
        }
    }
}

} // namespace Toolkit
