// WebP through libwebp: the still image (or an animation's first frame) decoded straight into our
// bitmap, its ICC profile and Exif orientation taken from the container.
#include "Codecs.h"
#include "ColorManagement.h"
#include "Exif.h"

#include <Foundation/Log.h>
#include <algorithm>
#include <cmath>
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

// Decodes into the bitmap, scaled in the decoder when the bitmap is smaller than the picture.
bool decodeStill(const std::uint8_t* data, std::size_t size, Bitmap& bitmap, bool scaled) {
    WebPDecoderConfig config;
    if (!WebPInitDecoderConfig(&config))
        return false;
    if (scaled) {
        config.options.use_scaling = 1;
        config.options.scaled_width = bitmap.width();
        config.options.scaled_height = bitmap.height();
    }
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

namespace {

// The header's size, refused over the pixel limit; false with one log line.
bool readFeatures(const std::uint8_t* data, std::size_t size, WebPBitstreamFeatures& features) {
    if (WebPGetFeatures(data, size, &features) != VP8_STATUS_OK) {
        Foundation::log("WebP: cannot decode (bad header)");
        return false;
    }
    // Refuse before anything of the claimed size is allocated.
    const std::uint64_t pixels =
        static_cast<std::uint64_t>(features.width) * static_cast<std::uint64_t>(features.height);
    if (features.width <= 0 || features.height <= 0 || pixels > Bitmap::pixelLimit()) {
        Foundation::log("WebP: %d x %d is over the pixel limit", features.width, features.height);
        return false;
    }
    return true;
}

// The Exif orientation value (1 when there is none); the ICC profile into source when given.
int readContainer(const std::uint8_t* data, std::size_t size, ColorSource* source) {
    const WebPData webp{data, size};
    std::unique_ptr<WebPDemuxer, DemuxerDeleter> demuxer(WebPDemux(&webp));
    int orientation = 1;
    if (demuxer) {
        const std::uint32_t flags = WebPDemuxGetI(demuxer.get(), WEBP_FF_FORMAT_FLAGS);
        if (source && (flags & ICCP_FLAG))
            source->icc = chunk(demuxer.get(), "ICCP");
        if (flags & EXIF_FLAG)
            orientation = orientationOf(chunk(demuxer.get(), "EXIF"));
    }
    return orientation;
}

// The picture at width × height (the stored size, or smaller for a still image, scaled by the
// decoder), in sRGB and premultiplied; nullptr with one log line.
std::shared_ptr<Bitmap> decodeWebpBitmap(const std::uint8_t* data, std::size_t size,
                                         const WebPBitstreamFeatures& features, int width, int height) {
    const bool scaled = !features.has_animation && (width != features.width || height != features.height);
    if (!scaled)
        width = features.width, height = features.height;
    std::shared_ptr<Bitmap> bitmap;
    if (features.has_alpha || features.has_animation)
        makeBitmap(bitmap, width, height);
    else
        makeOpaqueBitmap(bitmap, width, height);
    if (!bitmap)
        return nullptr;
    bool decoded = false;
    if (features.has_animation) {
        const WebPData webp{data, size};
        std::unique_ptr<WebPDemuxer, DemuxerDeleter> demuxer(WebPDemux(&webp));
        decoded = demuxer && decodeFirstFrame(webp, *bitmap);
    } else {
        decoded = decodeStill(data, size, *bitmap, scaled);
    }
    if (!decoded) {
        Foundation::log("WebP: cannot decode (corrupt or truncated data)");
        return nullptr;
    }
    ColorSource source;
    readContainer(data, size, &source);
    convertToSRGB(*bitmap, SampleLayout::RGBA, source);
    if (bitmap->alphaInfo() == AlphaInfo::PremultipliedLast)
        premultiplyBitmap(*bitmap);
    return bitmap;
}

// The stored bytes and their header; the decoder scales stills to any size on request.
class WebpSource final : public ImageSource {
public:
    WebpSource(std::vector<std::uint8_t> bytes, const WebPBitstreamFeatures& features, int orientation)
        : m_bytes(std::move(bytes)), m_features(features), m_orientation(orientationFromExif(orientation)) {}

    int width() const override { return m_features.width; }
    int height() const override { return m_features.height; }
    ImageOrientation orientation() const override { return m_orientation; }

    std::shared_ptr<Bitmap> decodeCovering(int minWidth, int minHeight) const override {
        const int w = m_features.width, h = m_features.height;
        int width = w, height = h;
        if (minWidth > 0 || minHeight > 0) {
            // The aspect ratio kept, both sides rounded up so that both cover.
            const double factor = std::min(
                1.0, std::max(static_cast<double>(minWidth) / w, static_cast<double>(minHeight) / h));
            width = std::clamp(static_cast<int>(std::ceil(w * factor - 1e-9)), std::max(minWidth, 1), w);
            height = std::clamp(static_cast<int>(std::ceil(h * factor - 1e-9)), std::max(minHeight, 1), h);
        }
        return decodeWebpBitmap(m_bytes.data(), m_bytes.size(), m_features, width, height);
    }

private:
    std::vector<std::uint8_t> m_bytes;
    WebPBitstreamFeatures m_features;
    ImageOrientation m_orientation;
};

} // namespace

std::shared_ptr<BitmapImage> decodeWebp(const std::uint8_t* data, std::size_t size, double scale) {
    WebPBitstreamFeatures features;
    if (!readFeatures(data, size, features))
        return nullptr;
    std::shared_ptr<Bitmap> bitmap = decodeWebpBitmap(data, size, features, features.width, features.height);
    return bitmap
               ? BitmapImage::create(bitmap, scale, orientationFromExif(readContainer(data, size, nullptr)))
               : nullptr;
}

std::shared_ptr<const ImageSource> makeWebpSource(std::vector<std::uint8_t> bytes) {
    WebPBitstreamFeatures features;
    if (!readFeatures(bytes.data(), bytes.size(), features))
        return nullptr;
    const int orientation = readContainer(bytes.data(), bytes.size(), nullptr);
    return std::make_shared<WebpSource>(std::move(bytes), features, orientation);
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
