#pragma once

#include <Foundation/Export.h>
#include <Graphics/BitmapImage.h>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace Graphics {

// Camera raw photos (DNG, CR2, CR3, NEF, ARW, RAF, ORF, RW2, PEF and the other formats LibRaw reads),
// developed neutrally: the camera's white balance as shot (LibRaw's grey-world average over unclipped
// blocks when the file has none), the camera's matrix into linear sRGB primaries, highlights clipped to
// white, a fixed exposure (the white level is white; nothing is brightened per picture), 16 bits a
// channel until the conversion to 8-bit sRGB through lcms. The picture is turned upright.
// BitmapImage::createFromData and createFromFile open raws by content through this at full size.

// The size of the raw's full development, turned upright, from its header alone; empty when LibRaw
// does not read the data. The few cameras whose sensors LibRaw rotates or stretches (Fuji's diagonal
// SuperCCD, non-square pixels) develop to another size than this. Any thread.
struct CameraRawSize {
    int width = 0;
    int height = 0;
};
RUX_API std::optional<CameraRawSize> cameraRawSize(const std::uint8_t* data, std::size_t size);

// Develops a raw, upright. LibRaw's half-size mode (each 2 × 2 block of the mosaic one pixel, no
// demosaic, several times faster) is used whenever its picture is at least minimumWidth ×
// minimumHeight pixels (upright), the full demosaic otherwise and for 0 × 0. A lazily decoded photo
// asks with the largest picture it needs and asks again for the full size when Save needs it.
// nullptr with one log line for data that is not a raw, a damaged or truncated one, or one whose
// sensor (as its header states, checked before anything of its size is allocated) is over
// Bitmap::pixelLimit(). Any thread, several at once; the caller owns the result.
RUX_API std::shared_ptr<BitmapImage> developCameraRaw(const std::uint8_t* data, std::size_t size,
                                                      int minimumWidth = 0, int minimumHeight = 0,
                                                      double scale = 1.0);

} // namespace Graphics
