#pragma once

#include <Foundation/Export.h>
#include <Graphics/Bitmap.h>
#include <Graphics/BitmapImage.h>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Graphics {

// One encoded photo that its codec can decode at more than one size: what a lazily decoded
// BitmapImage (BitmapImage::createWithSource) holds instead of pixels. The editor asks it for the
// smallest picture that still covers what it is about to show, so opening a large photo for the
// screens never decodes it at full size; the full picture is decoded on first use.
//
// A codec joins by implementing the four functions below and answering its sources from
// makeImageSource (or from its own factory, handed to BitmapImage::createWithSource):
//   - JPEG scales in the inverse DCT by any M/8 (1/8 … 8/8);
//   - WebP scales in its decoder to any size;
//   - a decoder with only a few reduced sizes (a camera raw's half-size mode, say) answers the
//     smallest of them that covers, and the full size otherwise.
// Colour management, alpha and the pixel limit apply to every size as to the full decode. The
// orientation is not applied: the pixels are as stored, orientation() says how to turn them.
class RUX_API ImageSource {
public:
    virtual ~ImageSource();

    // The stored picture's size in pixels, before the orientation is applied; both positive.
    virtual int width() const = 0;
    virtual int height() const = 0;
    virtual ImageOrientation orientation() const = 0;

    // The picture decoded at the smallest size this codec makes that is at least minWidth ×
    // minHeight pixels (stored orientation, aspect ratio kept); the full size when nothing smaller
    // covers, or for a size of 0 × 0. nullptr with one log line when the data turns out corrupt or
    // truncated. Any thread, several at once: implementations keep no state they change here.
    // The caller owns the bitmap and must not write to it once it is shared.
    virtual std::shared_ptr<Bitmap> decodeCovering(int minWidth, int minHeight) const = 0;
};

// A lazily decoding source for encoded bytes: JPEG, WebP and camera raws (by content); nullptr,
// without a log line, for any other kind of data, and nullptr with one log line for one of these
// whose header is unreadable or over Bitmap::pixelLimit(). Only the header is read here. Any thread.
RUX_API std::shared_ptr<const ImageSource> makeImageSource(std::vector<std::uint8_t> bytes);

} // namespace Graphics
