// Camera raws through LibRaw: its parser and demosaic, our development settings (what CameraRaw.h
// promises), and the last step to 8-bit sRGB through lcms.
#include "Codecs.h"

#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <Graphics/CameraRaw.h>
#include <algorithm>
#include <array>
#include <atomic>
#include <lcms2.h>
#include <libraw/libraw.h>
#include <memory>
#include <new>
#include <optional>

namespace Graphics {

namespace {

// Rows per task when the developed picture is converted across the pool.
constexpr int kRowsPerTask = 64;

// LibRaw reports damaged or missing data through this callback and often carries on with what it
// has; a truncated file must not open as a picture with a grey bottom, so any report fails the decode.
void noteDamage(void* damaged, const char*, const int) {
    static_cast<std::atomic<bool>*>(damaged)->store(true, std::memory_order_relaxed);
}

bool overLimit(std::uint64_t width, std::uint64_t height) {
    return width == 0 || height == 0 || width * height > Bitmap::pixelLimit();
}

// A LibRaw object with its header read. LibRaw's object holds several hundred kilobytes of tables,
// so it lives on the heap.
struct OpenedRaw {
    std::unique_ptr<LibRaw> raw;
    std::atomic<bool> damaged{false};
    int status = LIBRAW_SUCCESS;
};

std::unique_ptr<OpenedRaw> openRaw(const std::uint8_t* data, std::size_t size) {
    auto opened = std::make_unique<OpenedRaw>();
    opened->raw = std::make_unique<LibRaw>(LIBRAW_OPTIONS_NONE);
    LibRaw& raw = *opened->raw;
    raw.set_dataerror_handler(noteDamage, &opened->damaged);
    // What LibRaw may allocate for the undecoded mosaic: up to four 16-bit samples a pixel of a sensor
    // at the pixel limit.
    const std::uint64_t rawBytes = Bitmap::pixelLimit() * 8;
    raw.imgdata.params.max_raw_memory_mb =
        static_cast<unsigned>(std::clamp<std::uint64_t>((rawBytes >> 20) + 1, 16, 1u << 16));
    // LibRaw reads the buffer and never writes it.
    opened->status = raw.open_buffer(const_cast<std::uint8_t*>(data), size);
    return opened;
}

// Whether the file states a white balance of its own (DNG's AsShotNeutral, a maker note's).
bool hasCameraWhiteBalance(const libraw_colordata_t& color) {
    return color.cam_mul[0] > 0 && color.cam_mul[1] > 0 && color.cam_mul[2] > 0;
}

// Linear light in sRGB primaries to 8-bit sRGB. The two spaces share primaries, so the conversion is
// the transfer curve alone, channel by channel: lcms evaluates it once in floating point for every
// 16-bit value, which keeps the shadows exact where a sampled 3D table would not.
const std::array<std::uint8_t, 65536>& linearToSRGBTable() {
    static const std::array<std::uint8_t, 65536> table = [] {
        std::array<std::uint8_t, 65536> result{};
        const cmsCIExyY d65{0.3127, 0.3290, 1.0};
        const cmsCIExyYTRIPLE primaries{{0.64, 0.33, 1.0}, {0.30, 0.60, 1.0}, {0.15, 0.06, 1.0}};
        cmsToneCurve* linear = cmsBuildGamma(nullptr, 1.0);
        cmsToneCurve* curves[3] = {linear, linear, linear};
        cmsHPROFILE input = linear ? cmsCreateRGBProfile(&d65, &primaries, curves) : nullptr;
        cmsHPROFILE output = cmsCreate_sRGBProfile();
        cmsHTRANSFORM transform =
            input && output
                ? cmsCreateTransform(input, TYPE_RGB_FLT, output, TYPE_RGB_FLT, INTENT_RELATIVE_COLORIMETRIC,
                                     cmsFLAGS_BLACKPOINTCOMPENSATION)
                : nullptr;
        std::vector<float> samples(65536 * 3);
        for (std::size_t i = 0; i < 65536; ++i)
            samples[i * 3] = samples[i * 3 + 1] = samples[i * 3 + 2] = static_cast<float>(i) / 65535.0f;
        if (transform) {
            cmsDoTransform(transform, samples.data(), samples.data(), 65536);
        } else {
            Foundation::log("Raw: lcms cannot build the sRGB conversion; raws open darker");
        }
        for (std::size_t i = 0; i < 65536; ++i)
            result[i] =
                static_cast<std::uint8_t>(std::clamp(samples[i * 3 + 1] * 255.0f + 0.5f, 0.0f, 255.0f));
        if (transform)
            cmsDeleteTransform(transform);
        if (input)
            cmsCloseProfile(input);
        if (output)
            cmsCloseProfile(output);
        if (linear)
            cmsFreeToneCurve(linear);
        return result;
    }();
    return table;
}

// Index into LibRaw's developed image of the upright picture's pixel (row, col), for LibRaw's flip
// code (bit 4: rows and columns swap, bit 2: upside down, bit 1: mirrored), as LibRaw's own writers do.
std::size_t sourceIndex(int flip, int row, int col, int width, int height) {
    if (flip & 4)
        std::swap(row, col);
    if (flip & 2)
        row = height - 1 - row;
    if (flip & 1)
        col = width - 1 - col;
    return static_cast<std::size_t>(row) * static_cast<std::size_t>(width) + static_cast<std::size_t>(col);
}

// The picture LibRaw develops from the header's sizes, upright; halved in half-size mode as LibRaw
// rounds it.
CameraRawSize developedSize(const libraw_image_sizes_t& sizes, bool half) {
    const int width = half ? (sizes.width + 1) / 2 : sizes.width;
    const int height = half ? (sizes.height + 1) / 2 : sizes.height;
    return sizes.flip & 4 ? CameraRawSize{height, width} : CameraRawSize{width, height};
}

std::shared_ptr<Bitmap> develop(OpenedRaw& opened, int minimumWidth, int minimumHeight) {
    LibRaw& raw = *opened.raw;
    const libraw_image_sizes_t& sizes = raw.imgdata.sizes;
    // Everything LibRaw allocates from here on follows from these sizes.
    if (overLimit(sizes.raw_width, sizes.raw_height) || overLimit(sizes.width, sizes.height)) {
        Foundation::log("Raw: a sensor of %u x %u is over the pixel limit", unsigned{sizes.raw_width},
                        unsigned{sizes.raw_height});
        return nullptr;
    }
    libraw_output_params_t& params = raw.imgdata.params;
    const CameraRawSize half = developedSize(sizes, true);
    params.half_size =
        (minimumWidth > 0 || minimumHeight > 0) && half.width >= minimumWidth && half.height >= minimumHeight;
    params.use_camera_wb = 1;
    params.use_auto_wb = hasCameraWhiteBalance(raw.imgdata.color) ? 0 : 1;
    params.output_color = 1; // sRGB primaries, kept linear below
    params.gamm[0] = 1.0;
    params.gamm[1] = 1.0;
    params.output_bps = 16;
    params.no_auto_bright = 1;
    params.bright = 1.0f;
    // LibRaw would otherwise lower the white level to the brightest sample when that is above 75 % of
    // it, brightening a frame without highlights.
    params.adjust_maximum_thr = 0.0f;
    params.highlight = 0; // clip every channel at the white level: blown areas are white, not pink
    params.user_flip = -1;

    int status = raw.unpack();
    if (status != LIBRAW_SUCCESS || opened.damaged) {
        Foundation::log("Raw: cannot read the sensor data (%s)",
                        opened.damaged ? "damaged or truncated" : libraw_strerror(status));
        return nullptr;
    }
    status = raw.dcraw_process();
    if (status != LIBRAW_SUCCESS || opened.damaged || !raw.imgdata.image) {
        Foundation::log("Raw: cannot develop (%s)",
                        opened.damaged ? "damaged or truncated" : libraw_strerror(status));
        return nullptr;
    }
    const int developedWidth = sizes.iwidth;
    const int developedHeight = sizes.iheight;
    const int flip = sizes.flip;
    const int width = flip & 4 ? developedHeight : developedWidth;
    const int height = flip & 4 ? developedWidth : developedHeight;
    if (overLimit(static_cast<std::uint64_t>(std::max(width, 0)),
                  static_cast<std::uint64_t>(std::max(height, 0)))) {
        Foundation::log("Raw: the developed picture of %d x %d is over the pixel limit", width, height);
        return nullptr;
    }
    std::shared_ptr<Bitmap> bitmap;
    makeOpaqueBitmap(bitmap, width, height);
    if (!bitmap)
        return nullptr;
    const auto& table = linearToSRGBTable();
    const auto* image = raw.imgdata.image;
    const std::size_t bands = static_cast<std::size_t>((height + kRowsPerTask - 1) / kRowsPerTask);
    Foundation::parallelFor(bands, [&](std::size_t band) {
        const int first = static_cast<int>(band) * kRowsPerTask;
        const int last = std::min(height, first + kRowsPerTask);
        for (int y = first; y < last; ++y) {
            std::uint8_t* out = bitmap->mutableRow(y);
            for (int x = 0; x < width; ++x, out += 4) {
                const auto* pixel = image[sourceIndex(flip, y, x, developedWidth, developedHeight)];
                out[0] = table[pixel[0]];
                out[1] = table[pixel[1]];
                out[2] = table[pixel[2]];
                out[3] = 255;
            }
        }
    });
    return bitmap;
}

} // namespace

std::optional<CameraRawSize> cameraRawSize(const std::uint8_t* data, std::size_t size) {
    if (!data || size == 0)
        return std::nullopt;
    try {
        std::unique_ptr<OpenedRaw> opened = openRaw(data, size);
        if (opened->status != LIBRAW_SUCCESS)
            return std::nullopt;
        return developedSize(opened->raw->imgdata.sizes, false);
    } catch (...) {
        return std::nullopt;
    }
}

std::shared_ptr<Bitmap> decodeRaw(const std::uint8_t* data, std::size_t size, int minimumWidth,
                                  int minimumHeight, bool& recognised) {
    recognised = false;
    try {
        std::unique_ptr<OpenedRaw> opened = openRaw(data, size);
        if (opened->status != LIBRAW_SUCCESS)
            return nullptr;
        recognised = true;
        return develop(*opened, minimumWidth, minimumHeight);
    } catch (const std::bad_alloc&) {
        Foundation::log("Raw: out of memory while developing");
    } catch (...) {
        Foundation::log("Raw: LibRaw failed while developing");
    }
    // The line above is the one for this data.
    recognised = true;
    return nullptr;
}

std::shared_ptr<BitmapImage> developCameraRaw(const std::uint8_t* data, std::size_t size, int minimumWidth,
                                              int minimumHeight, double scale) {
    if (!data || size == 0) {
        Foundation::log("Raw: no data");
        return nullptr;
    }
    bool recognised = false;
    std::shared_ptr<Bitmap> bitmap = decodeRaw(data, size, minimumWidth, minimumHeight, recognised);
    if (!recognised)
        Foundation::log("Raw: not a raw LibRaw reads");
    return bitmap ? BitmapImage::create(bitmap, scale) : nullptr;
}

} // namespace Graphics
