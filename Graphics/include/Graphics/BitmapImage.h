#pragma once

#include <Foundation/Export.h>
#include <Graphics/Bitmap.h>
#include <Graphics/Geometry.h>
#include <memory>
#include <string>

namespace Graphics {

// The platform image's orientation, with the platform's values.
enum class ImageOrientation {
    Up = 0,
    Down = 1,  // 180°
    Left = 2,  // 90° counter-clockwise
    Right = 3, // 90° clockwise
    UpMirrored = 4,
    DownMirrored = 5,
    LeftMirrored = 6,
    RightMirrored = 7,
};

// The scale factor of the main screen (points to pixels); the host sets it, default 2.0.
// Any thread may call these.
RUX_API double mainScreenScale();
RUX_API void setMainScreenScale(double scale);

// A decoded picture: a bitmap with a scale and an orientation (what the platform's UI toolkit calls
// an image). Immutable; shared between threads freely.
class RUX_API BitmapImage {
public:
    // nullptr when bitmap is null or scale is not a positive finite number.
    static std::shared_ptr<BitmapImage> create(std::shared_ptr<const Bitmap> bitmap, double scale = 1.0,
                                               ImageOrientation orientation = ImageOrientation::Up);

    // Decodes a PNG, JPEG, WebP, HEIF, AVIF or camera raw file (by content, not by name); a JPEG's
    // EXIF orientation becomes the image's orientation, a raw's is applied to its pixels (see
    // CameraRaw.h), scale 1. nullptr with one log line for a missing, unreadable, corrupt or
    // truncated file, or one over Bitmap::pixelLimit(). Any thread may call it.
    static std::shared_ptr<BitmapImage> createFromFile(const std::string& path, double scale = 1.0);
    // The same for bytes in memory.
    static std::shared_ptr<BitmapImage> createFromData(const std::uint8_t* data, std::size_t size,
                                                       double scale = 1.0);

    const std::shared_ptr<const Bitmap>& bitmap() const { return m_bitmap; }
    double scale() const { return m_scale; }
    ImageOrientation orientation() const { return m_orientation; }

    // Size in points, upright: pixel size / scale, width and height swapped for the four
    // left/right orientations.
    Size size() const;

    BitmapImage(std::shared_ptr<const Bitmap> bitmap, double scale, ImageOrientation orientation)
        : m_bitmap(std::move(bitmap)), m_scale(scale), m_orientation(orientation) {}

private:
    std::shared_ptr<const Bitmap> m_bitmap;
    double m_scale = 1.0;
    ImageOrientation m_orientation = ImageOrientation::Up;
};

} // namespace Graphics
