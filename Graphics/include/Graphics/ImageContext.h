#pragma once

#include <Foundation/Export.h>
#include <Graphics/Bitmap.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/Geometry.h>
#include <memory>

namespace Graphics {

// The platform's image drawing context: a bitmap of a size in points at a scale, drawn into in the
// UI toolkit's coordinates (origin top-left, y down, in points), from which an image is taken.
// Used by one thread at a time; any thread may create one.
class RUX_API ImageContext {
public:
    // scale 0.0 means mainScreenScale(). The bitmap is (width × scale) × (height × scale) pixels,
    // rounded up, cleared to transparent (opaque: to black with an ignored alpha byte).
    // nullptr (one log line) for a non-positive or non-finite size or scale, or a bitmap over the
    // pixel limit.
    static std::unique_ptr<ImageContext> create(Size pointSize, Opacity opacity, double scale);

    Size size() const { return m_size; }
    double scale() const { return m_scale; }
    const Bitmap& bitmap() const { return *m_bitmap; }

    // drawInRect: the image, turned upright by its orientation, resampled into rect (points) and
    // composited source-over. Reductions average the covered area, so a large photo brought down to
    // screen size does not alias; enlargements interpolate bilinearly. Parts outside the context are
    // clipped. Rows are resampled on the shared thread pool. A null, empty or non-finite rect
    // draws nothing; so does one reaching past ±2^30 pixels once scaled (with one log line).
    void drawImage(const BitmapImage& image, const Rect& rect);

    // UIGraphicsGetImageFromCurrentImageContext: a copy of the pixels as an image of the context's
    // scale, orientation up. nullptr only when memory runs out.
    std::shared_ptr<BitmapImage> makeImage() const;

private:
    ImageContext(std::shared_ptr<Bitmap> bitmap, Size size, double scale)
        : m_bitmap(std::move(bitmap)), m_size(size), m_scale(scale) {}
    std::shared_ptr<Bitmap> m_bitmap;
    Size m_size;
    double m_scale;
};

// A copy of image's bitmap turned upright (orientation applied); the bitmap itself when already up.
// nullptr only when memory runs out. Any thread may call it.
RUX_API std::shared_ptr<const Bitmap> uprightBitmap(const BitmapImage& image);

} // namespace Graphics
