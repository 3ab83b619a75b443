// HEIC/HEIF and AVIF through libheif: the primary image only, with libheif applying the file's
// turn and mirror (irot, imir); the colour comes from its ICC profile or its colour description.
#include "Codecs.h"
#include "ColorManagement.h"

#include <Foundation/Log.h>
#include <algorithm>
#include <cstring>
#include <libheif/heif.h>
#include <memory>

namespace Graphics {

namespace {

struct ContextDeleter {
    void operator()(heif_context* context) const { heif_context_free(context); }
};
struct HandleDeleter {
    void operator()(heif_image_handle* handle) const { heif_image_handle_release(handle); }
};
struct ImageDeleter {
    void operator()(heif_image* image) const { heif_image_release(image); }
};
struct OptionsDeleter {
    void operator()(heif_decoding_options* options) const { heif_decoding_options_free(options); }
};
struct NclxDeleter {
    void operator()(heif_color_profile_nclx* nclx) const { heif_nclx_color_profile_free(nclx); }
};

bool overLimit(int width, int height) {
    return width <= 0 || height <= 0 ||
           static_cast<std::uint64_t>(width) * static_cast<std::uint64_t>(height) > Bitmap::pixelLimit();
}

// The alpha plane is an image of its own, which libheif decodes at whatever size it claims; it is
// held to the same limit as the picture before anything is decoded.
bool auxiliaryImagesWithinLimit(const heif_image_handle* handle) {
    constexpr int kMaxAuxiliaryImages = 16;
    heif_item_id ids[kMaxAuxiliaryImages];
    const int count = heif_image_handle_get_list_of_auxiliary_image_IDs(handle, 0, ids, kMaxAuxiliaryImages);
    for (int i = 0; i < count; ++i) {
        heif_image_handle* raw = nullptr;
        if (heif_image_handle_get_auxiliary_image_handle(handle, ids[i], &raw).code != heif_error_Ok || !raw)
            continue;
        std::unique_ptr<heif_image_handle, HandleDeleter> auxiliary(raw);
        const int width = heif_image_handle_get_width(auxiliary.get());
        const int height = heif_image_handle_get_height(auxiliary.get());
        if (overLimit(width, height)) {
            Foundation::log("HEIF: an auxiliary image of %d x %d is over the pixel limit", width, height);
            return false;
        }
    }
    return true;
}

ColorSource colorOf(const heif_image_handle* handle) {
    ColorSource source;
    switch (heif_image_handle_get_color_profile_type(handle)) {
    case heif_color_profile_type_prof:
    case heif_color_profile_type_rICC: {
        const std::size_t size = heif_image_handle_get_raw_color_profile_size(handle);
        source.icc.resize(size);
        if (size == 0 ||
            heif_image_handle_get_raw_color_profile(handle, source.icc.data()).code != heif_error_Ok)
            source.icc.clear();
        break;
    }
    case heif_color_profile_type_nclx: {
        // libheif may hand out a description together with an error (values it does not know):
        // ours to free either way.
        heif_color_profile_nclx* raw = nullptr;
        const heif_error error = heif_image_handle_get_nclx_color_profile(handle, &raw);
        std::unique_ptr<heif_color_profile_nclx, NclxDeleter> nclx(raw);
        if (error.code == heif_error_Ok && nclx)
            source.cicp = std::array<int, 2>{static_cast<int>(nclx->color_primaries),
                                             static_cast<int>(nclx->transfer_characteristics)};
        break;
    }
    default:
        break;
    }
    return source;
}

} // namespace

bool isHeifData(const std::uint8_t* data, std::size_t size) {
    if (size < 12 || std::memcmp(data + 4, "ftyp", 4) != 0)
        return false;
    const heif_filetype_result type =
        heif_check_filetype(data, static_cast<int>(std::min<std::size_t>(size, 4096)));
    return type == heif_filetype_yes_supported || type == heif_filetype_maybe;
}

std::shared_ptr<BitmapImage> decodeHeif(const std::uint8_t* data, std::size_t size, double scale) {
    std::unique_ptr<heif_context, ContextDeleter> context(heif_context_alloc());
    if (!context)
        return nullptr;
    heif_error error = heif_context_read_from_memory_without_copy(context.get(), data, size, nullptr);
    if (error.code != heif_error_Ok) {
        Foundation::log("HEIF: cannot read (%s)", error.message);
        return nullptr;
    }
    heif_image_handle* rawHandle = nullptr;
    error = heif_context_get_primary_image_handle(context.get(), &rawHandle);
    if (error.code != heif_error_Ok || !rawHandle) {
        Foundation::log("HEIF: no primary image (%s)", error.message);
        return nullptr;
    }
    std::unique_ptr<heif_image_handle, HandleDeleter> handle(rawHandle);
    // Refuse before anything of the claimed size is decoded.
    const int claimedWidth = heif_image_handle_get_width(handle.get());
    const int claimedHeight = heif_image_handle_get_height(handle.get());
    if (overLimit(claimedWidth, claimedHeight)) {
        Foundation::log("HEIF: %d x %d is over the pixel limit", claimedWidth, claimedHeight);
        return nullptr;
    }
    if (!auxiliaryImagesWithinLimit(handle.get()))
        return nullptr;
    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    std::unique_ptr<heif_decoding_options, OptionsDeleter> options(heif_decoding_options_alloc());
    heif_image* rawImage = nullptr;
    error =
        heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                          alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
    if (error.code != heif_error_Ok || !rawImage) {
        Foundation::log("HEIF: cannot decode (%s)", error.message);
        return nullptr;
    }
    std::unique_ptr<heif_image, ImageDeleter> image(rawImage);
    const int width = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int height = heif_image_get_height(image.get(), heif_channel_interleaved);
    int stride = 0;
    const std::uint8_t* plane = heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    if (!plane || overLimit(width, height) || stride < width * (alpha ? 4 : 3)) {
        Foundation::log("HEIF: the decoded image is unusable (%d x %d)", width, height);
        return nullptr;
    }
    std::shared_ptr<Bitmap> bitmap;
    if (alpha)
        makeBitmap(bitmap, width, height);
    else
        makeOpaqueBitmap(bitmap, width, height);
    if (!bitmap)
        return nullptr;
    for (int y = 0; y < height; ++y) {
        const std::uint8_t* in = plane + static_cast<std::size_t>(y) * static_cast<std::size_t>(stride);
        std::uint8_t* out = bitmap->mutableRow(y);
        if (alpha) {
            std::memcpy(out, in, static_cast<std::size_t>(width) * 4);
            continue;
        }
        for (int x = 0; x < width; ++x, in += 3, out += 4) {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = 255;
        }
    }
    image.reset();
    convertToSRGB(*bitmap, SampleLayout::RGBA, colorOf(handle.get()));
    if (alpha)
        premultiplyBitmap(*bitmap);
    return BitmapImage::create(bitmap, scale);
}

} // namespace Graphics
