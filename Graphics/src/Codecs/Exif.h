#pragma once

#include <Graphics/BitmapImage.h>
#include <cstddef>
#include <cstdint>

namespace Graphics {

// The EXIF orientation tag (1…8) of an APP1 payload that starts with "Exif\0\0"; 1 when absent or
// unreadable. Bounds are checked on every read, since the payload comes from the file.
int exifOrientation(const std::uint8_t* data, std::size_t size);

// The orientation an EXIF orientation value (1…8) stands for; Up for any other value.
ImageOrientation orientationFromExif(int value);

} // namespace Graphics
