#pragma once

#include <Foundation/Export.h>
#include <Graphics/BitmapImage.h>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace Graphics {

// Camera raw photos (DNG, CR2, CR3, NEF, ARW, RAF, ORF, RW2, PEF and the other formats LibRaw reads),
// developed neutrally: the camera's white balance as shot (LibRaw's grey-world average over unclipped
// blocks when the file has none), the camera's matrix into linear sRGB primaries, highlights clipped to
// white, a fixed exposure (the white level is white; nothing is brightened per picture), 16 bits a
// channel until the conversion to 8-bit sRGB through lcms. The picture is turned upright.
// BitmapImage::createFromData and createFromFile open raws by content through this at full size.

// Whether LibRaw recognises the bytes as a raw it can develop, from the header alone. Any thread.
RUX_API bool isCameraRawData(const std::uint8_t* data, std::size_t size);

// Whether the path's extension is one raw cameras write (.dng, .cr2, .nef, .arw, … any case). Only a
// hint for file choosers and drop targets: opening goes by content. Any thread.
RUX_API bool hasCameraRawExtension(const std::string& path);

// Develops a raw. With minimumShortSide 0 the picture is the sensor's full size, demosaiced. Otherwise
// LibRaw's half-size mode (each 2 × 2 block of the mosaic one pixel, no demosaic, about four times
// faster) is used whenever its shorter side still has at least minimumShortSide pixels, and the full
// size otherwise; a lazily decoded photo asks with the largest picture it needs. nullptr with one log
// line for data that is not a raw, a damaged or truncated one, or one whose sensor (as its header
// states, checked before anything of its size is allocated) is over Bitmap::pixelLimit(). Any thread;
// the caller owns the result.
RUX_API std::shared_ptr<BitmapImage> developCameraRaw(const std::uint8_t* data, std::size_t size,
                                                      int minimumShortSide = 0, double scale = 1.0);

} // namespace Graphics
