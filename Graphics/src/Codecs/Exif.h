#pragma once

#include <cstddef>
#include <cstdint>

namespace Graphics {

// The EXIF orientation tag (1…8) of an APP1 payload that starts with "Exif\0\0"; 1 when absent or
// unreadable. Bounds are checked on every read, since the payload comes from the file.
int exifOrientation(const std::uint8_t* data, std::size_t size);

} // namespace Graphics
