#pragma once

#include <Graphics/BitmapImage.h>
#include <Graphics/ImageFile.h>
#include <cstddef>
#include <cstdint>
#include <memory>

namespace Graphics {

bool isJpegData(const std::uint8_t* data, std::size_t size);
bool isPngData(const std::uint8_t* data, std::size_t size);
bool isWebpData(const std::uint8_t* data, std::size_t size);
bool isHeifData(const std::uint8_t* data, std::size_t size);
// nullptr with one log line on any failure.
std::shared_ptr<BitmapImage> decodeJpeg(const std::uint8_t* data, std::size_t size, double scale);
std::shared_ptr<BitmapImage> decodePng(const std::uint8_t* data, std::size_t size, double scale);
std::shared_ptr<BitmapImage> decodeWebp(const std::uint8_t* data, std::size_t size, double scale);
// HEIF and AVIF: the primary image with its turn and mirror applied; thumbnails are ignored.
std::shared_ptr<BitmapImage> decodeHeif(const std::uint8_t* data, std::size_t size, double scale);
// Camera raws (see CameraRaw.h): the upright picture at least minimumWidth × minimumHeight (0 × 0:
// the full size). recognised says whether LibRaw took the data for a raw: when it did not, nothing is
// logged and the caller says what the data is not; when it did, a failure has its one log line. A
// lazily decoding source for raws answers its decodeCovering with this; the bitmap is the caller's.
std::shared_ptr<Bitmap> decodeRaw(const std::uint8_t* data, std::size_t size, int minimumWidth,
                                  int minimumHeight, bool& recognised);

// JPEG at quality 1…100 (clamped), tagged sRGB; 4:4:4 chroma from 90. Empty with one log line.
std::optional<std::vector<std::uint8_t>> encodeJpeg(const Bitmap& bitmap, int quality);

// Lossy WebP at quality 1…100 (clamped), alpha kept when the bitmap has any. Empty with one log line.
std::optional<std::vector<std::uint8_t>> encodeWebp(const Bitmap& bitmap, int quality);

// Straight to premultiplied colour, in place, for RGBA8 bitmaps decoded with straight alpha.
void premultiplyBitmap(Bitmap& bitmap);
// True when no pixel is translucent (always for Gray8 and NoneSkipLast bitmaps).
bool isOpaqueBitmap(const Bitmap& bitmap);

// Called from inside the decoders: plain functions so that nothing with a destructor is created in
// a frame that libpng or libjpeg may longjmp out of.
void makeOpaqueBitmap(std::shared_ptr<Bitmap>& out, int width, int height);
void makeBitmap(std::shared_ptr<Bitmap>& out, int width, int height);

// Writes row y of bitmap as straight (un-premultiplied) colour with `channels` bytes a pixel
// (3: RGB, 4: RGBA, 1: grey).
void unpremultiplyRow(const Bitmap& bitmap, int y, std::uint8_t* out, int channels);

} // namespace Graphics
