#pragma once

#include <Foundation/Export.h>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace Graphics {

// How the fourth byte of an RGBA8 pixel is used.
enum class AlphaInfo {
    PremultipliedLast, // R, G, B premultiplied by A, A last
    NoneSkipLast,      // opaque: the fourth byte is ignored (kept 255)
};

// Whether a new drawing surface starts transparent or opaque (black, its alpha ignored).
enum class Opacity { Translucent, Opaque };

enum class ColorSpace {
    DeviceRGB, // sRGB-encoded colour, what photos and the screen use
    LinearSRGB,
    DeviceGray, // single-channel bitmaps (image masks)
};

enum class PixelFormat {
    RGBA8, // 4 bytes per pixel
    Gray8, // 1 byte per pixel: image masks and grey images
};

// A pixel buffer of fixed size and format, first memory row = top row of the picture.
// What the platform calls an image (the decoded, immutable bitmap) is a Bitmap that nobody writes
// to any more once it has been handed out; contexts and renderers write only to bitmaps they made.
class RUX_API Bitmap {
public:
    // Limit on width × height that create() accepts, so a hostile header cannot make us allocate
    // gigabytes; default 100 megapixels. Any thread may call these.
    static std::uint64_t pixelLimit();
    static void setPixelLimit(std::uint64_t pixels);

    // A zero-filled bitmap; nullptr (and one log line) when width or height is not positive, when
    // width × height exceeds pixelLimit(), or when the size overflows. Rows are padded to 16 bytes.
    static std::shared_ptr<Bitmap> create(int width, int height, PixelFormat format = PixelFormat::RGBA8,
                                          AlphaInfo alpha = AlphaInfo::PremultipliedLast,
                                          ColorSpace space = ColorSpace::DeviceRGB);

    int width() const { return m_width; }
    int height() const { return m_height; }
    std::size_t bytesPerRow() const { return m_bytesPerRow; }
    std::size_t bytesPerPixel() const { return m_format == PixelFormat::RGBA8 ? 4 : 1; }
    PixelFormat format() const { return m_format; }
    AlphaInfo alphaInfo() const { return m_alpha; }
    ColorSpace colorSpace() const { return m_space; }

    const std::uint8_t* data() const { return m_data.get(); }
    std::uint8_t* mutableData() { return m_data.get(); }
    const std::uint8_t* row(int y) const {
        return m_data.get() + static_cast<std::size_t>(y) * m_bytesPerRow;
    }
    std::uint8_t* mutableRow(int y) { return m_data.get() + static_cast<std::size_t>(y) * m_bytesPerRow; }

    // A deep copy of the pixels (CGImage copies and CGBitmapContextCreateImage); nullptr on allocation
    // failure.
    std::shared_ptr<Bitmap> copy() const;

    Bitmap(const Bitmap&) = delete;
    Bitmap& operator=(const Bitmap&) = delete;

private:
    Bitmap() = default;
    int m_width = 0;
    int m_height = 0;
    std::size_t m_bytesPerRow = 0;
    PixelFormat m_format = PixelFormat::RGBA8;
    AlphaInfo m_alpha = AlphaInfo::PremultipliedLast;
    ColorSpace m_space = ColorSpace::DeviceRGB;
    // Large buffers are mapped straight from the kernel (already zero, in huge pages where the
    // system allows), small ones come from the heap; the deleter knows which.
    struct PixelsDeleter {
        std::size_t mappedBytes; // 0: a heap block
        void operator()(std::uint8_t* pixels) const;
    };
    std::unique_ptr<std::uint8_t[], PixelsDeleter> m_data;
};

} // namespace Graphics
