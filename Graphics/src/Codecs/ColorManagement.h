#pragma once

#include <Graphics/Bitmap.h>
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace Graphics {

// What a file says about the colour of its pixels. An embedded profile wins; without one, PNG's
// chunks or a HEIF colour description stand in; with none of these the pixels are sRGB.
struct ColorSource {
    std::vector<std::uint8_t> icc;
    // PNG: an sRGB chunk, or a file gamma (gAMA, e.g. 0.45455) with optional chromaticities
    // (cHRM: white x, y, then red, green and blue x, y).
    bool srgbChunk = false;
    std::optional<double> fileGamma;
    std::optional<std::array<double, 8>> chromaticities;
    // HEIF/AVIF colour description: ITU-T H.273 colour primaries and transfer characteristics.
    std::optional<std::array<int, 2>> cicp;

    bool empty() const { return icc.empty() && !srgbChunk && !fileGamma && !chromaticities && !cicp; }
};

// How the four bytes of each pixel of the bitmap hold the decoder's samples before conversion.
enum class SampleLayout {
    RGBA,         // R, G, B, then an alpha (or filler) byte that is left alone
    GrayInRGBA,   // the grey value repeated in R, G and B (what libjpeg and libpng expand grey to)
    CMYK,         // C, M, Y, K with 0 meaning no ink
    CMYKInverted, // C, M, Y, K with 255 meaning no ink, as Adobe applications write them
    // R, G, B packed three bytes a pixel in the last three quarters of each row (bytes width to
    // 4 × width). lcms converts three-byte pixels markedly faster than four-byte ones, and it can
    // write each converted pixel over bytes it has already read, so a decoder that writes its rows
    // this way needs no second buffer. Converted, the row is RGBA with an opaque fourth byte.
    PackedRGBAtRowEnd,
};

// Whether pixels in this layout under this source change when converted to sRGB: false for sRGB
// and for sources that say nothing. Lets a decoder pick its output layout before it starts. Any
// thread.
bool needsConversion(SampleLayout layout, const ColorSource& source);

// Converts the bitmap's straight (not premultiplied) samples in place to sRGB, relative
// colorimetric with black-point compensation; afterwards every layout is RGBA and, for the CMYK
// layouts, the fourth byte is 255. A source that describes sRGB, or describes nothing, leaves RGBA
// pixels as they are. A profile that cannot be read or does not fit the samples gets one log line
// and the pixels are taken as sRGB (CMYK then gets a plain ink-to-light conversion). Transforms are
// cached per distinct source and run across the shared pool. Any thread may call it.
void convertToSRGB(Bitmap& bitmap, SampleLayout layout, const ColorSource& source);

// The same conversion done band by band while a decoder is still producing later rows, so that
// converting overlaps decoding. A decoder calls startBandConversion once the bitmap exists (out stays
// nullptr when there is nothing to convert), convertBand for each band of rows it has finished, and
// finishBandConversion (also after a failure) before it hands the bitmap out; that runs what is
// left on the calling thread and waits for bands already running. These are plain functions so that
// decoders may call them between libjpeg calls.
class BandConverter;
void startBandConversion(std::shared_ptr<BandConverter>& out, const std::shared_ptr<Bitmap>& bitmap,
                         SampleLayout layout, const ColorSource& source);
void convertBand(BandConverter& converter, int firstRow, int endRow);
void finishBandConversion(BandConverter& converter);

// The bytes of the sRGB profile our outputs embed where their format needs one to say so; empty
// if lcms cannot write it. Any thread.
const std::vector<std::uint8_t>& sRGBProfileData();

} // namespace Graphics
