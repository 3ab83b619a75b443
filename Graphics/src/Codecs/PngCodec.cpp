// PNG through libpng. As with JPEG, libpng reports errors by longjmp: the decoding frame keeps its
// C++ objects in a State struct owned by the caller.
#include "Codecs.h"
#include "ColorManagement.h"

#include <Foundation/Log.h>
#include <array>
#include <cstring>
#include <png.h>

namespace Graphics {

namespace {

// Bounds on what ancillary chunks may cost: a file may not make us keep thousands of text chunks or
// inflate a huge compressed one.
constexpr png_uint_32 kMaxCachedChunks = 256;
constexpr png_alloc_size_t kMaxChunkBytes = 8u << 20;

// Ancillary chunks we never use (text, palettes of suggestions, times, physical sizes, EXIF); the
// colour chunks are read (the profile is bounded by kMaxChunkBytes). libpng reads each of these whole into a
// buffer of the length the chunk header claims before it has seen the data, so a 60-byte file claiming a 700
// MB text chunk costs 700 MB; told to ignore them, it skips them in small steps instead.
constexpr png_byte kIgnoredChunks[] = "tEXt\0zTXt\0iTXt\0sPLT\0tIME\0hIST\0pCAL\0sCAL\0eXIf\0oFFs\0"
                                      "pHYs\0sBIT\0bKGD";
constexpr int kIgnoredChunkCount = 13;

struct Reader {
    const std::uint8_t* data;
    std::size_t size;
    std::size_t offset;
};

void readBytes(png_structp png, png_bytep out, png_size_t length) {
    auto* reader = static_cast<Reader*>(png_get_io_ptr(png));
    if (length > reader->size - reader->offset)
        png_error(png, "truncated file");
    std::memcpy(out, reader->data + reader->offset, length);
    reader->offset += length;
}

void onError(png_structp png, png_const_charp message) {
    auto* text = static_cast<char*>(png_get_error_ptr(png));
    std::snprintf(text, 200, "%s", message);
    png_longjmp(png, 1);
}

// libpng drops a colour profile it finds unusable with a warning; that is the one we report, since
// the picture then shows as sRGB. Other warnings concern nothing the picture depends on.
void onWarning(png_structp, png_const_charp message) {
    if (std::strncmp(message, "iCCP", 4) == 0)
        Foundation::log("PNG: the colour profile is unusable (%s), taken as sRGB", message);
}

struct PngDecodeState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    Reader reader{};
    char message[200] = {};
    std::shared_ptr<Bitmap> bitmap;
    std::unique_ptr<png_bytep[]> rows;
    png_uint_32 width = 0, height = 0;
    bool tooLarge = false;
    bool gray = false;
    ColorSource color;
};

// Copies what the file says about its colour (called between libpng calls, holding nothing).
void captureColor(PngDecodeState& state) {
    png_charp name = nullptr;
    int compression = 0;
    png_bytep profile = nullptr;
    png_uint_32 length = 0;
    if (png_get_iCCP(state.png, state.info, &name, &compression, &profile, &length) && profile && length > 0)
        state.color.icc.assign(profile, profile + length);
    int intent = 0;
    state.color.srgbChunk = png_get_sRGB(state.png, state.info, &intent) != 0;
    double gamma = 0;
    if (png_get_gAMA(state.png, state.info, &gamma))
        state.color.fileGamma = gamma;
    std::array<double, 8> c{};
    if (png_get_cHRM(state.png, state.info, &c[0], &c[1], &c[2], &c[3], &c[4], &c[5], &c[6], &c[7]))
        state.color.chromaticities = c;
}

void makeRows(PngDecodeState& state) {
    state.rows.reset(new png_bytep[state.height]);
    for (png_uint_32 y = 0; y < state.height; ++y)
        state.rows[y] = state.bitmap->mutableRow(static_cast<int>(y));
}

bool decodeInto(PngDecodeState& state) {
    state.png = png_create_read_struct(PNG_LIBPNG_VER_STRING, state.message, onError, onWarning);
    if (!state.png)
        return false;
    state.info = png_create_info_struct(state.png);
    if (!state.info) {
        png_destroy_read_struct(&state.png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(state.png))) {
        png_destroy_read_struct(&state.png, &state.info, nullptr);
        return false;
    }
    png_set_read_fn(state.png, &state.reader, readBytes);
    png_set_chunk_cache_max(state.png, kMaxCachedChunks);
    png_set_chunk_malloc_max(state.png, kMaxChunkBytes);
    png_set_keep_unknown_chunks(state.png, PNG_HANDLE_CHUNK_NEVER, kIgnoredChunks, kIgnoredChunkCount);
    png_read_info(state.png, state.info);
    state.width = png_get_image_width(state.png, state.info);
    state.height = png_get_image_height(state.png, state.info);
    // Refuse before anything of the claimed size is allocated.
    const std::uint64_t pixels = static_cast<std::uint64_t>(state.width) * state.height;
    if (pixels == 0 || pixels > Bitmap::pixelLimit() || state.width > 0x7fffffff ||
        state.height > 0x7fffffff) {
        state.tooLarge = true;
        png_destroy_read_struct(&state.png, &state.info, nullptr);
        return false;
    }
    captureColor(state);
    // Everything becomes 8-bit RGBA.
    const int colorType = png_get_color_type(state.png, state.info);
    state.gray = colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA;
    png_set_expand(state.png);
    png_set_strip_16(state.png);
    if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA)
        png_set_gray_to_rgb(state.png);
    if (!(colorType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(state.png, state.info, PNG_INFO_tRNS))
        png_set_filler(state.png, 0xFF, PNG_FILLER_AFTER);
    png_set_interlace_handling(state.png);
    png_read_update_info(state.png, state.info);
    makeBitmap(state.bitmap, static_cast<int>(state.width), static_cast<int>(state.height));
    if (!state.bitmap) {
        png_destroy_read_struct(&state.png, &state.info, nullptr);
        return false;
    }
    makeRows(state);
    png_read_image(state.png, state.rows.get());
    png_read_end(state.png, nullptr);
    png_destroy_read_struct(&state.png, &state.info, nullptr);
    return true;
}

struct Writer {
    std::vector<std::uint8_t>* out;
};

void writeBytes(png_structp png, png_bytep data, png_size_t length) {
    auto* writer = static_cast<Writer*>(png_get_io_ptr(png));
    writer->out->insert(writer->out->end(), data, data + length);
}

void flushNothing(png_structp) {}

struct PngEncodeState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    char message[200] = {};
    Writer writer{};
};

bool encodeInto(PngEncodeState& state, int width, int height, int colorType, png_bytep* rows) {
    state.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, state.message, onError, onWarning);
    if (!state.png)
        return false;
    state.info = png_create_info_struct(state.png);
    if (!state.info) {
        png_destroy_write_struct(&state.png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(state.png))) {
        png_destroy_write_struct(&state.png, &state.info);
        return false;
    }
    png_set_write_fn(state.png, &state.writer, writeBytes, flushNothing);
    png_set_compression_level(state.png, 6);
    png_set_IHDR(state.png, state.info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8,
                 colorType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_sRGB(state.png, state.info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_write_info(state.png, state.info);
    png_write_image(state.png, rows);
    png_write_end(state.png, nullptr);
    png_destroy_write_struct(&state.png, &state.info);
    return true;
}

} // namespace

bool isPngData(const std::uint8_t* data, std::size_t size) {
    static const std::uint8_t signature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    return size >= 8 && std::memcmp(data, signature, 8) == 0;
}

std::shared_ptr<BitmapImage> decodePng(const std::uint8_t* data, std::size_t size, double scale) {
    auto state = std::make_unique<PngDecodeState>();
    state->reader = {data, size, 0};
    if (!decodeInto(*state)) {
        if (state->tooLarge)
            Foundation::log("PNG: %u x %u is over the pixel limit", state->width, state->height);
        else
            Foundation::log("PNG: cannot decode (%s)", state->message[0] ? state->message : "out of memory");
        return nullptr;
    }
    convertToSRGB(*state->bitmap,
                  state->gray && !state->color.icc.empty() ? SampleLayout::GrayInRGBA : SampleLayout::RGBA,
                  state->color);
    premultiplyBitmap(*state->bitmap);
    return BitmapImage::create(state->bitmap, scale);
}

std::optional<std::vector<std::uint8_t>> encodePNG(const Bitmap& bitmap) {
    const bool gray = bitmap.format() == PixelFormat::Gray8;
    const bool opaque = gray || isOpaqueBitmap(bitmap);
    const int channels = gray ? 1 : opaque ? 3 : 4;
    const int colorType = gray ? PNG_COLOR_TYPE_GRAY : opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA;
    const std::size_t rowBytes = static_cast<std::size_t>(bitmap.width()) * channels;
    std::vector<std::uint8_t> pixels(rowBytes * static_cast<std::size_t>(bitmap.height()));
    std::vector<png_bytep> rows(static_cast<std::size_t>(bitmap.height()));
    for (int y = 0; y < bitmap.height(); ++y) {
        rows[static_cast<std::size_t>(y)] = pixels.data() + static_cast<std::size_t>(y) * rowBytes;
        unpremultiplyRow(bitmap, y, rows[static_cast<std::size_t>(y)], channels);
    }
    std::vector<std::uint8_t> out;
    auto state = std::make_unique<PngEncodeState>();
    state->writer.out = &out;
    if (!encodeInto(*state, bitmap.width(), bitmap.height(), colorType, rows.data())) {
        Foundation::log("PNG: cannot encode a %d x %d bitmap (%s)", bitmap.width(), bitmap.height(),
                        state->message);
        return std::nullopt;
    }
    return out;
}

} // namespace Graphics
