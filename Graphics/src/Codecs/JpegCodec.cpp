// JPEG through libjpeg-turbo. libjpeg reports errors by longjmp, so the functions that call it keep
// every C++ object with a destructor in the caller's frame (the State structs), never between the
// setjmp and a libjpeg call.
#include "Codecs.h"
#include "ColorManagement.h"
#include "Exif.h"

#include <Foundation/Log.h>
#include <Graphics/ImageSource.h>
#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <jpeglib.h>

namespace Graphics {

namespace {

// A progressive file can carry any number of scans, each costing a full pass over the coefficients;
// real encoders write about ten, so a hundred is generous and stops a few-kilobyte file from costing
// minutes.
constexpr int kMaxProgressiveScans = 100;

// Rows handed to the pool for colour conversion at a time.
constexpr int kRowsPerBand = 64;

// What libjpeg may allocate for one picture. Progressive and multi-scan files keep every coefficient
// until the last scan (a 64-coefficient block of 2-byte values per 8 x 8 pixels and component); we
// decode to RGB, so a file libjpeg accepts has at most three components, each at most at full
// resolution and padded to whole MCUs of up to four blocks each way. The rest is row buffers (a few
// rows of the width per component and stage), tables and saved markers. Without a bound the
// coefficients are limited only by the pixel limit; with it, a header cannot buy more memory than a
// real picture of its size needs (beyond it libjpeg fails with "backing store not supported").
long decoderMemoryBound(const jpeg_decompress_struct& info) {
    const std::uint64_t blocksWide = (std::uint64_t{info.image_width} + 31) / 32 * 4;
    const std::uint64_t blocksHigh = (std::uint64_t{info.image_height} + 31) / 32 * 4;
    const std::uint64_t coefficients = 3 * blocksWide * blocksHigh * sizeof(JBLOCK);
    const std::uint64_t rowBuffers = std::uint64_t{info.image_width} * 1024;
    std::uint64_t markers = 0;
    for (jpeg_saved_marker_ptr marker = info.marker_list; marker; marker = marker->next)
        markers += marker->data_length;
    return static_cast<long>(coefficients + rowBuffers + markers + (16u << 20));
}

struct ErrorManager {
    jpeg_error_mgr base;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    // While the colour profile is gathered: its markers being out of order is the profile's fault,
    // not the picture's, and must not end the decode.
    bool toleratingWarnings = false;
};

[[noreturn]] void onError(j_common_ptr info) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    (*info->err->format_message)(info, manager->message);
    std::longjmp(manager->jump, 1);
}

// Warnings (level −1) include "premature end of data": a truncated file decodes to a grey bottom, which
// we treat as the failure it is.
void onMessage(j_common_ptr info, int level) {
    auto* manager = reinterpret_cast<ErrorManager*>(info->err);
    if (level < 0 && !manager->toleratingWarnings) {
        (*info->err->format_message)(info, manager->message);
        std::longjmp(manager->jump, 1);
    }
}

struct ScanLimit {
    jpeg_progress_mgr base;
    bool exceeded = false;
};

void onProgress(j_common_ptr info) {
    auto* limit = reinterpret_cast<ScanLimit*>(info->progress);
    if (info->is_decompressor) {
        auto* decompress = reinterpret_cast<j_decompress_ptr>(info);
        if (decompress->input_scan_number > kMaxProgressiveScans) {
            limit->exceeded = true;
            std::snprintf(reinterpret_cast<ErrorManager*>(info->err)->message, JMSG_LENGTH_MAX,
                          "more than %d scans", kMaxProgressiveScans);
            std::longjmp(reinterpret_cast<ErrorManager*>(info->err)->jump, 1);
        }
    }
}

struct DecodeState {
    jpeg_decompress_struct info;
    ErrorManager error;
    ScanLimit progress;
    std::shared_ptr<Bitmap> bitmap;
    int orientation = 1;
    bool tooLarge = false;
    // The embedded ICC profile as libjpeg reassembles it from its APP2 markers (malloc'd).
    JOCTET* icc = nullptr;
    unsigned int iccSize = 0;
    SampleLayout layout = SampleLayout::RGBA;
    // Decoded at scaleNumerator / 8 of the stored size, through the scaled inverse DCT.
    int scaleNumerator = 8;
    // Stop after the header (size, orientation): nothing of the picture's size is allocated.
    bool headerOnly = false;
    // Converts bands of rows to sRGB on the pool while later rows are still being decoded.
    std::shared_ptr<BandConverter> converter;
    ~DecodeState() { std::free(icc); }
};

ColorSource colorOf(const DecodeState& state) {
    ColorSource source;
    if (state.icc)
        source.icc.assign(state.icc, state.icc + state.iccSize);
    return source;
}

// These two are called between libjpeg calls: the ColorSource lives and dies inside their frames.
// Colour pictures that are to be converted are decoded three bytes a pixel, which lcms converts
// faster, at the end of each row.
bool wantsPackedRows(const DecodeState& state) {
    return needsConversion(SampleLayout::RGBA, colorOf(state));
}

void startConversion(DecodeState& state) {
    startBandConversion(state.converter, state.bitmap, state.layout, colorOf(state));
}

// Returns true on success; no C++ object is created between setjmp and the end.
bool decodeInto(DecodeState& state, const std::uint8_t* data, std::size_t size) {
    state.info.err = jpeg_std_error(&state.error.base);
    state.error.base.error_exit = onError;
    state.error.base.emit_message = onMessage;
    state.error.message[0] = 0;
    if (setjmp(state.error.jump)) {
        jpeg_destroy_decompress(&state.info);
        return false;
    }
    jpeg_create_decompress(&state.info);
    state.progress.base.progress_monitor = onProgress;
    state.info.progress = &state.progress.base;
    jpeg_mem_src(&state.info, data, static_cast<unsigned long>(size));
    jpeg_save_markers(&state.info, JPEG_APP0 + 1, 0xFFFF);
    jpeg_save_markers(&state.info, JPEG_APP0 + 2, 0xFFFF);
    jpeg_read_header(&state.info, TRUE);

    // Refuse before anything of the claimed size is allocated.
    const std::uint64_t pixels = static_cast<std::uint64_t>(state.info.image_width) * state.info.image_height;
    if (pixels == 0 || pixels > Bitmap::pixelLimit() || state.info.image_width > 65535) {
        state.tooLarge = true;
        jpeg_destroy_decompress(&state.info);
        return false;
    }
    // APP1 also carries XMP, usually after the Exif: only the first Exif segment counts.
    for (jpeg_saved_marker_ptr marker = state.info.marker_list; marker; marker = marker->next)
        if (marker->marker == JPEG_APP0 + 1 && marker->data_length >= 6 &&
            std::memcmp(marker->data, "Exif\0\0", 6) == 0) {
            state.orientation = exifOrientation(marker->data, marker->data_length);
            break;
        }
    if (state.headerOnly) {
        jpeg_destroy_decompress(&state.info);
        return true;
    }
    state.info.mem->max_memory_to_use = decoderMemoryBound(state.info);

    state.error.toleratingWarnings = true;
    if (!jpeg_read_icc_profile(&state.info, &state.icc, &state.iccSize)) {
        state.icc = nullptr;
        state.iccSize = 0;
    }
    state.error.toleratingWarnings = false;

    // CMYK has the same four bytes a pixel as our RGBA, so it is decoded straight into the bitmap
    // and converted there; grey is expanded by libjpeg and converted from its first channel.
    if (state.info.jpeg_color_space == JCS_CMYK || state.info.jpeg_color_space == JCS_YCCK) {
        state.info.out_color_space = JCS_CMYK;
        state.layout = state.info.saw_Adobe_marker ? SampleLayout::CMYKInverted : SampleLayout::CMYK;
    } else if (state.info.jpeg_color_space == JCS_GRAYSCALE) {
        state.info.out_color_space = JCS_EXT_RGBX;
        state.layout = SampleLayout::GrayInRGBA;
    } else if (wantsPackedRows(state)) {
        state.info.out_color_space = JCS_RGB;
        state.layout = SampleLayout::PackedRGBAtRowEnd;
    } else {
        state.info.out_color_space = JCS_EXT_RGBX;
        state.layout = SampleLayout::RGBA;
    }
    state.info.scale_num = static_cast<unsigned int>(state.scaleNumerator);
    state.info.scale_denom = 8;
    jpeg_start_decompress(&state.info);
    makeOpaqueBitmap(state.bitmap, static_cast<int>(state.info.output_width),
                     static_cast<int>(state.info.output_height));
    if (!state.bitmap) {
        jpeg_destroy_decompress(&state.info);
        return false;
    }
    startConversion(state);
    int bandStart = 0;
    while (state.info.output_scanline < state.info.output_height) {
        JSAMPROW row = state.bitmap->mutableRow(static_cast<int>(state.info.output_scanline));
        if (state.layout == SampleLayout::PackedRGBAtRowEnd)
            row += state.info.output_width;
        jpeg_read_scanlines(&state.info, &row, 1);
        const int decoded = static_cast<int>(state.info.output_scanline);
        if (state.converter &&
            (decoded - bandStart >= kRowsPerBand || state.info.output_scanline == state.info.output_height)) {
            convertBand(*state.converter, bandStart, decoded);
            bandStart = decoded;
        }
    }
    jpeg_finish_decompress(&state.info);
    jpeg_destroy_decompress(&state.info);
    return true;
}

struct EncodeState {
    jpeg_compress_struct info;
    ErrorManager error;
    unsigned char* output = nullptr;
    unsigned long outputSize = 0;
    const JOCTET* profile = nullptr;
    unsigned int profileSize = 0;
};

bool encodeInto(EncodeState& state, const Bitmap& bitmap, const std::uint8_t* rows, std::size_t rowBytes,
                int quality) {
    state.info.err = jpeg_std_error(&state.error.base);
    state.error.base.error_exit = onError;
    if (setjmp(state.error.jump)) {
        jpeg_destroy_compress(&state.info);
        return false;
    }
    jpeg_create_compress(&state.info);
    jpeg_mem_dest(&state.info, &state.output, &state.outputSize);
    state.info.image_width = static_cast<JDIMENSION>(bitmap.width());
    state.info.image_height = static_cast<JDIMENSION>(bitmap.height());
    state.info.input_components = 3;
    state.info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&state.info);
    jpeg_set_quality(&state.info, quality, TRUE);
    // From quality 90 the colour keeps full resolution: halving it is what shows at high quality.
    if (quality >= 90)
        state.info.comp_info[0].h_samp_factor = state.info.comp_info[0].v_samp_factor = 1;
    jpeg_start_compress(&state.info, TRUE);
    if (state.profile && state.profileSize > 0)
        jpeg_write_icc_profile(&state.info, state.profile, state.profileSize);
    while (state.info.next_scanline < state.info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(rows + state.info.next_scanline * rowBytes);
        jpeg_write_scanlines(&state.info, &row, 1);
    }
    jpeg_finish_compress(&state.info);
    jpeg_destroy_compress(&state.info);
    return true;
}

} // namespace

bool isJpegData(const std::uint8_t* data, std::size_t size) {
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

namespace {

// Decodes the whole picture at scaleNumerator / 8; nullptr with one log line on failure.
std::shared_ptr<Bitmap> decodeJpegBitmap(const std::uint8_t* data, std::size_t size, int scaleNumerator,
                                         int* orientation) {
    auto state = std::make_unique<DecodeState>();
    state->scaleNumerator = scaleNumerator;
    const bool decoded = decodeInto(*state, data, size);
    if (state->converter)
        finishBandConversion(*state->converter);
    if (!decoded) {
        if (state->tooLarge)
            Foundation::log("JPEG: %u x %u is over the pixel limit", state->info.image_width,
                            state->info.image_height);
        else
            Foundation::log("JPEG: cannot decode (%s)", state->error.message);
        return nullptr;
    }
    if (orientation)
        *orientation = state->orientation;
    return state->bitmap;
}

// The stored bytes and what their header says; decodes at any M/8 on request.
class JpegSource final : public ImageSource {
public:
    JpegSource(std::vector<std::uint8_t> bytes, int width, int height, ImageOrientation orientation)
        : m_bytes(std::move(bytes)), m_width(width), m_height(height), m_orientation(orientation) {}

    int width() const override { return m_width; }
    int height() const override { return m_height; }
    ImageOrientation orientation() const override { return m_orientation; }

    std::shared_ptr<Bitmap> decodeCovering(int minWidth, int minHeight) const override {
        return decodeJpegBitmap(m_bytes.data(), m_bytes.size(), scaleNumeratorCovering(minWidth, minHeight),
                                nullptr);
    }

private:
    // The smallest M whose output, ceil(side × M / 8) as libjpeg rounds it, covers both sides.
    int scaleNumeratorCovering(int minWidth, int minHeight) const {
        if (minWidth <= 0 && minHeight <= 0)
            return 8;
        for (int m = 1; m < 8; ++m) {
            const std::int64_t w = (std::int64_t{m_width} * m + 7) / 8;
            const std::int64_t h = (std::int64_t{m_height} * m + 7) / 8;
            if (w >= minWidth && h >= minHeight)
                return m;
        }
        return 8;
    }

    std::vector<std::uint8_t> m_bytes;
    int m_width;
    int m_height;
    ImageOrientation m_orientation;
};

} // namespace

std::shared_ptr<BitmapImage> decodeJpeg(const std::uint8_t* data, std::size_t size, double scale) {
    int orientation = 1;
    std::shared_ptr<Bitmap> bitmap = decodeJpegBitmap(data, size, 8, &orientation);
    return bitmap ? BitmapImage::create(bitmap, scale, orientationFromExif(orientation)) : nullptr;
}

std::shared_ptr<const ImageSource> makeJpegSource(std::vector<std::uint8_t> bytes) {
    auto state = std::make_unique<DecodeState>();
    state->headerOnly = true;
    if (!decodeInto(*state, bytes.data(), bytes.size())) {
        if (state->tooLarge)
            Foundation::log("JPEG: %u x %u is over the pixel limit", state->info.image_width,
                            state->info.image_height);
        else
            Foundation::log("JPEG: cannot read the header (%s)", state->error.message);
        return nullptr;
    }
    const int width = static_cast<int>(state->info.image_width);
    const int height = static_cast<int>(state->info.image_height);
    return std::make_shared<JpegSource>(std::move(bytes), width, height,
                                        orientationFromExif(state->orientation));
}

std::optional<std::vector<std::uint8_t>> encodeJpeg(const Bitmap& bitmap, int quality) {
    const int q = std::clamp(quality, 1, 100);
    // Straight RGB rows: un-premultiply colour, drop alpha.
    const std::size_t rowBytes = static_cast<std::size_t>(bitmap.width()) * 3;
    std::vector<std::uint8_t> rgb(rowBytes * static_cast<std::size_t>(bitmap.height()));
    for (int y = 0; y < bitmap.height(); ++y)
        unpremultiplyRow(bitmap, y, rgb.data() + static_cast<std::size_t>(y) * rowBytes, 3);
    auto state = std::make_unique<EncodeState>();
    // JPEG has no colour space of its own: without a profile a viewer may guess anything.
    const std::vector<std::uint8_t>& profile = sRGBProfileData();
    state->profile = profile.data();
    state->profileSize = static_cast<unsigned int>(profile.size());
    const bool ok = encodeInto(*state, bitmap, rgb.data(), rowBytes, q);
    std::optional<std::vector<std::uint8_t>> result;
    if (ok && state->output)
        result.emplace(state->output, state->output + state->outputSize);
    else
        Foundation::log("JPEG: cannot encode a %d x %d bitmap", bitmap.width(), bitmap.height());
    std::free(state->output);
    return result;
}

std::optional<std::vector<std::uint8_t>> encodeJPEG(const Bitmap& bitmap, double quality) {
    if (std::isnan(quality))
        quality = 0.9;
    return encodeJpeg(bitmap, static_cast<int>(std::lround(std::clamp(quality, 0.0, 1.0) * 100)));
}

} // namespace Graphics
