#include "Exif.h"

#include <cstring>

namespace Graphics {

int exifOrientation(const std::uint8_t* data, std::size_t size) {
    if (!data || size < 14 || std::memcmp(data, "Exif\0\0", 6) != 0)
        return 1;
    const std::uint8_t* tiff = data + 6;
    const std::size_t length = size - 6;
    bool little;
    if (tiff[0] == 'I' && tiff[1] == 'I')
        little = true;
    else if (tiff[0] == 'M' && tiff[1] == 'M')
        little = false;
    else
        return 1;
    auto read16 = [&](std::size_t at) -> std::uint32_t {
        return little ? tiff[at] | (tiff[at + 1] << 8) : (tiff[at] << 8) | tiff[at + 1];
    };
    auto read32 = [&](std::size_t at) -> std::uint32_t {
        return little ? read16(at) | (read16(at + 2) << 16) : (read16(at) << 16) | read16(at + 2);
    };
    const std::uint32_t ifd = read32(4);
    if (ifd > length || length - ifd < 2)
        return 1;
    const std::uint32_t count = read16(ifd);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::size_t entry = ifd + 2 + static_cast<std::size_t>(i) * 12;
        if (entry + 12 > length)
            return 1;
        if (read16(entry) == 0x0112) {
            // A SHORT stored in the first two bytes of the value field.
            std::uint32_t value = read16(entry + 8);
            return value >= 1 && value <= 8 ? static_cast<int>(value) : 1;
        }
    }
    return 1;
}

ImageOrientation orientationFromExif(int value) {
    static const ImageOrientation byValue[9] = {
        ImageOrientation::Up,           ImageOrientation::Up,
        ImageOrientation::UpMirrored,   ImageOrientation::Down,
        ImageOrientation::DownMirrored, ImageOrientation::LeftMirrored,
        ImageOrientation::Right,        ImageOrientation::RightMirrored,
        ImageOrientation::Left};
    return value >= 1 && value <= 8 ? byValue[value] : ImageOrientation::Up;
}

} // namespace Graphics
