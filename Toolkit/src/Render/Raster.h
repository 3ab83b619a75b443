#pragma once

// Pixel loops of the compositor: axis-aligned fills, image blits, glyph masks and group composites,
// in premultiplied RGBA8 with top-left pixel coordinates. The general drawing context covers
// everything else; these exist because a full-screen redraw must stay within a few milliseconds.

#include <Graphics/AffineTransform.h>
#include <Graphics/Bitmap.h>
#include <Graphics/Geometry.h>
#include <Toolkit/Color.h>
#include <algorithm>
#include <cstdint>

namespace Toolkit {

struct PixelRect {
    int x0 = 0, y0 = 0, x1 = 0, y1 = 0;

    bool isEmpty() const { return x1 <= x0 || y1 <= y0; }
    int width() const { return x1 - x0; }
    int height() const { return y1 - y0; }
    PixelRect intersection(const PixelRect& o) const {
        return {std::max(x0, o.x0), std::max(y0, o.y0), std::min(x1, o.x1), std::min(y1, o.y1)};
    }
    // The pixels whose centres lie in rect.
    static PixelRect fromRect(const Graphics::Rect& rect);
    // The pixels rect touches at all.
    static PixelRect enclosing(const Graphics::Rect& rect);
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// A colour ready for blending: premultiplied 0…255 components.
struct PremultipliedColor {
    std::uint32_t r = 0, g = 0, b = 0, a = 0;
    static PremultipliedColor from(Color c, double extraAlpha = 1.0);
};

// The transform from a view's coordinates to surface pixels is a scale and a translation.
inline bool isAxisAligned(const Graphics::AffineTransform& t) {
    return t.b == 0 && t.c == 0 && t.a > 0 && t.d > 0;
}

// Fills rect (pixel coordinates, may be fractional: edge pixels get partial coverage), within clip.
void fillRect(Graphics::Bitmap& target, const Graphics::Rect& rect, const PixelRect& clip,
              PremultipliedColor color);

// Sets every pixel of rect to the colour, ignoring what was there.
void clearRect(Graphics::Bitmap& target, const PixelRect& rect, PremultipliedColor color);

// Draws source (RGBA8 premultiplied or opaque, or Gray8) stretched over destination (pixel
// coordinates), sampled bilinearly, within clip, at the given opacity. With darken < 1 the colour is
// scaled by it (a pressed button's image).
void drawBitmap(Graphics::Bitmap& target, const Graphics::Bitmap& source, const Graphics::Rect& destination,
                const PixelRect& clip, double alpha, double darken = 1.0);

// Blends a coverage mask (one byte a pixel, rowBytes apart) whose top-left pixel lands at (x, y).
void drawMask(Graphics::Bitmap& target, const std::uint8_t* mask, int width, int height, std::size_t rowBytes,
              int x, int y, const PixelRect& clip, PremultipliedColor color);

// Composites source (a group drawn off screen) with its top-left at (x, y), at opacity alpha; with
// a rounded rect (pixel coordinates, radius in pixels), pixels outside it are dropped with
// anti-aliased edges.
void compositeGroup(Graphics::Bitmap& target, const Graphics::Bitmap& source, int x, int y, double alpha,
                    const Graphics::Rect* roundedRect, double radius);

} // namespace Toolkit
