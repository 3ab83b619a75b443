// WebP through libwebp: the still image (or an animation's first frame) decoded straight into our
// bitmap, its ICC profile and Exif orientation taken from the container.
#include "Codecs.h"
#include "ColorManagement.h"
#include "Exif.h"

#include <Foundation/Log.h>
#include <algorithm>
#include <cstring>
#include <memory>
#include <webp/decode.h>
#include <webp/demux.h>
#include <webp/encode.h>

namespace Graphics {

namespace {

// What WebP's bitstream can hold on each side.
constexpr int kMaxWebpSide = 16383;

struct DemuxerDeleter {
    void operator()(WebPDemuxer* demuxer) const { WebPDemuxDelete(demuxer); }
};
struct AnimationDecoderDeleter {
    void operator()(WebPAnimDecoder* decoder) const { WebPAnimDecoderDelete(decoder); }
};

std::vector<std::uint8_t> chunk(WebPDemuxer* demuxer, const char* fourcc) {
    std::vector<std::uint8_t> bytes;
    WebPChunkIterator iterator;
    if (WebPDemuxGetChunk(demuxer, fourcc, 1, &iterator)) {
        bytes.assign(iterator.chunk.bytes, iterator.chunk.bytes + iterator.chunk.size);
        WebPDemuxReleaseChunkIterator(&iterator);
    }
    return bytes;
}

// The EXIF chunk holds the TIFF structure, by the container's rules without the "Exif\0\0" that
// JPEG puts before it, though some writers add it anyway.
int orientationOf(std::vector<std::uint8_t> exif) {
    if (exif.size() < 6 || std::memcmp(exif.data(), "Exif\0\0", 6) != 0)
        exif.insert(exif.begin(), {'E', 'x', 'i', 'f', 0, 0});
    return exifOrientation(exif.data(), exif.size());
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

bool decodeStill(const std::uint8_t* data, std::size_t size, Bitmap& bitmap) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return false;
    config.output.colorspace = MODE_RGBA;
    config.output.is_external_memory = 1;
    config.output.u.RGBA.rgba = bitmap.mutableData();
    config.output.u.RGBA.stride = static_cast<int>(bitmap.bytesPerRow());
    config.output.u.RGBA.size = bitmap.bytesPerRow() * static_cast<std::size_t>(bitmap.height());
    const VP8StatusCode status = WebPDecode(data, size, &config);
    WebPFreeDecBuffer(&config.output);
    return status == VP8_STATUS_OK;
}

bool decodeFirstFrame(const WebPData& webp, Bitmap& bitmap) {
    WebPAnimDecoderOptions options;
    if (!WebPAnimDecoderOptionsInit(&options))
        return false;
    options.color_mode = MODE_RGBA;
    options.use_threads = 0;
    std::unique_ptr<WebPAnimDecoder, AnimationDecoderDeleter> decoder(WebPAnimDecoderNew(&webp, &options));
    WebPAnimInfo info;
    if (!decoder || !WebPAnimDecoderGetInfo(decoder.get(), &info) ||
        info.canvas_width != static_cast<std::uint32_t>(bitmap.width()) ||
        info.canvas_height != static_cast<std::uint32_t>(bitmap.height()))
        return false;
    std::uint8_t* frame = nullptr;
    int timestamp = 0;
    if (!WebPAnimDecoderGetNext(decoder.get(), &frame, &timestamp) || !frame)
        return false;
    const std::size_t rowBytes = static_cast<std::size_t>(bitmap.width()) * 4;
    for (int y = 0; y < bitmap.height(); ++y)
        std::memcpy(bitmap.mutableRow(y), frame + static_cast<std::size_t>(y) * rowBytes, rowBytes);
    return true;
}

} // namespace

bool isWebpData(const std::uint8_t* data, std::size_t size) {
    return size >= 12 && std::memcmp(data, "RIFF", 4) == 0 && std::memcmp(data + 8, "WEBP", 4) == 0;
}

std::shared_ptr<BitmapImage> decodeWebp(const std::uint8_t* data, std::size_t size, double scale) {
    WebPBitstreamFeatures features;
    if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK) {
        Foundation::log("WebP: cannot decode (bad header)");
        return nullptr;
    }
    // Refuse before anything of the claimed size is allocated.
    const std::uint64_t pixels =
        static_cast<std::uint64_t>(features.width) * static_cast<std::uint64_t>(features.height);
    if (features.width <= 0 || features.height <= 0 || pixels > Bitmap::pixelLimit()) {
        Foundation::log("WebP: %d x %d is over the pixel limit", features.width, features.height);
        return nullptr;
    }
    const WebPData webp{data, size};
    std::unique_ptr<WebPDemuxer, DemuxerDeleter> demuxer(WebPDemux(&webp));
    std::shared_ptr<Bitmap> bitmap;
    if (features.has_alpha || features.has_animation)
        makeBitmap(bitmap, features.width, features.height);
    else
        makeOpaqueBitmap(bitmap, features.width, features.height);
    if (!bitmap)
        return nullptr;
    const bool decoded = features.has_animation ? demuxer && decodeFirstFrame(webp, *bitmap)
                                                : decodeStill(data, size, *bitmap);
    if (!decoded) {
        Foundation::log("WebP: cannot decode (corrupt or truncated data)");
        return nullptr;
    }
    ColorSource source;
    int orientation = 1;
    if (demuxer) {
        const std::uint32_t flags = WebPDemuxGetI(demuxer.get(), WEBP_FF_FORMAT_FLAGS);
        if (flags & ICCP_FLAG)
            source.icc = chunk(demuxer.get(), "ICCP");
        if (flags & EXIF_FLAG)
            orientation = orientationOf(chunk(demuxer.get(), "EXIF"));
    }
    convertToSRGB(*bitmap, SampleLayout::RGBA, source);
    if (bitmap->alphaInfo() == AlphaInfo::PremultipliedLast)
        premultiplyBitmap(*bitmap);
    return BitmapImage::create(bitmap, scale, orientationFromExif(orientation));
}

std::optional<std::vector<std::uint8_t>> encodeWebp(const Bitmap& bitmap, int quality) {
    if (bitmap.width() > kMaxWebpSide || bitmap.height() > kMaxWebpSide) {
        Foundation::log("WebP: %d x %d is larger than WebP can hold (16383 a side)", bitmap.width(),
                        bitmap.height());
        return std::nullopt;
    }
    const bool opaque = isOpaqueBitmap(bitmap);
    const int channels = opaque ? 3 : 4;
    const std::size_t rowBytes = static_cast<std::size_t>(bitmap.width()) * channels;
    std::vector<std::uint8_t> pixels(rowBytes * static_cast<std::size_t>(bitmap.height()));
    for (int y = 0; y < bitmap.height(); ++y)
        unpremultiplyRow(bitmap, y, pixels.data() + static_cast<std::size_t>(y) * rowBytes, channels);
    const float q = static_cast<float>(std::clamp(quality, 1, 100));
    std::uint8_t* output = nullptr;
    const std::size_t length = opaque ? WebPEncodeRGB(pixels.data(), bitmap.width(), bitmap.height(),
                                                      static_cast<int>(rowBytes), q, &output)
                                      : WebPEncodeRGBA(pixels.data(), bitmap.width(), bitmap.height(),
                                                       static_cast<int>(rowBytes), q, &output);
    std::optional<std::vector<std::uint8_t>> result;
    if (length > 0 && output)
        result.emplace(output, output + length);
    else
        Foundation::log("WebP: cannot encode a %d x %d bitmap", bitmap.width(), bitmap.height());
    WebPFree(output);
    return result;
}

} // namespace Graphics
