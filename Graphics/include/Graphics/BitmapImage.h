#pragma once

#include <Foundation/Export.h>
#include <Graphics/Bitmap.h>
#include <Graphics/Geometry.h>
#include <memory>
#include <mutex>
#include <string>

namespace Graphics {

class ImageSource;

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

// A picture: a bitmap with a scale and an orientation (what the platform's UI toolkit calls an
// image). Immutable; shared between threads freely. Made from a bitmap it holds its pixels; made
// from an ImageSource (createWithSource, createFromFileLazily) it decodes them on first use, as the
// platform's images do, and can hand out smaller decodes (bitmapCovering) without ever decoding at
// full size.
class RUX_API BitmapImage {
public:
    // nullptr when bitmap is null or scale is not a positive finite number.
    static std::shared_ptr<BitmapImage> create(std::shared_ptr<const Bitmap> bitmap, double scale = 1.0,
                                               ImageOrientation orientation = ImageOrientation::Up);
    // A lazily decoded picture of the source (its size and orientation). nullptr when source is null
    // or scale is not a positive finite number.
    static std::shared_ptr<BitmapImage> createWithSource(std::shared_ptr<const ImageSource> source,
                                                         double scale = 1.0);

    // Decodes a PNG, JPEG, WebP, HEIF, AVIF or camera raw file (by content, not by name); a JPEG's
    // EXIF orientation becomes the image's orientation, a raw's is applied to its pixels (see
    // CameraRaw.h), scale 1. nullptr with one log line for a missing, unreadable, corrupt or
    // truncated file, or one over Bitmap::pixelLimit(). Any thread may call it.
    static std::shared_ptr<BitmapImage> createFromFile(const std::string& path, double scale = 1.0);
    // The same for bytes in memory.
    static std::shared_ptr<BitmapImage> createFromData(const std::uint8_t* data, std::size_t size,
                                                       double scale = 1.0);
    // The same file, read but not decoded when its codec can decode at reduced sizes (JPEG, WebP):
    // only the header is checked here, so a file whose pixels turn out corrupt or truncated answers a
    // null bitmap() and bitmapCovering() later (with one log line) instead of nullptr now. Other
    // kinds are decoded at once, as by createFromFile. Any thread.
    static std::shared_ptr<BitmapImage> createFromFileLazily(const std::string& path, double scale = 1.0);

    // The pixels at full size, as stored (the orientation not applied). A lazily decoded picture
    // decodes them on the first call, which blocks concurrent callers until done, and keeps them;
    // nullptr when that decode fails. Any thread.
    const std::shared_ptr<const Bitmap>& bitmap() const;
    // Pixels as stored, at least minWidth × minHeight pixels (stored orientation), as small as the
    // codec allows: the full bitmap when it is held already or cannot be reduced, else a fresh decode
    // at a reduced size that is not kept. nullptr when decoding fails. Any thread.
    std::shared_ptr<const Bitmap> bitmapCovering(int minWidth, int minHeight) const;
    // True when the full-size pixels are held (always, for a picture made from a bitmap). Any thread.
    bool holdsFullBitmap() const;
    // The stored size in pixels, known without decoding.
    int pixelWidth() const;
    int pixelHeight() const;

    double scale() const { return m_scale; }
    ImageOrientation orientation() const { return m_orientation; }

    // Size in points, upright: pixel size / scale, width and height swapped for the four
    // left/right orientations.
    Size size() const;

    BitmapImage(std::shared_ptr<const Bitmap> bitmap, double scale, ImageOrientation orientation)
        : m_bitmap(std::move(bitmap)), m_scale(scale), m_orientation(orientation) {}
    BitmapImage(std::shared_ptr<const ImageSource> source, double scale);

private:
    // Set once, under m_decodeMutex, for a lazily decoded picture; never changed after.
    mutable std::shared_ptr<const Bitmap> m_bitmap;
    std::shared_ptr<const ImageSource> m_source;
    mutable std::mutex m_decodeMutex;
    mutable bool m_decodeTried = false;
    double m_scale = 1.0;
    ImageOrientation m_orientation = ImageOrientation::Up;
};

} // namespace Graphics
