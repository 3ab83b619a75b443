#include "PngFile.h"

#include <cstdio>
#include <filesystem>
#include <memory>
#include <png.h>

namespace ResourceArt {

namespace {

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

bool isOpaque(const Raster& image) {
    for (std::size_t i = 3; i < image.rgba.size(); i += 4) {
        if (image.rgba[i] != 255)
            return false;
    }
    return true;
}

// libpng reports errors by longjmp; these functions keep every libpng object and every non-trivial C++
// object outside the jump's reach.
bool encode(std::FILE* file, const Raster& image, bool opaque, const std::vector<std::uint8_t>& rgb) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, image.width, image.height, 8, opaque ? PNG_COLOR_TYPE_RGB : PNG_COLOR_TYPE_RGBA,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    // Tag the files as sRGB so that viewers show them as the editor does; no gAMA chunk, which some
    // decoders would apply to the tables' values.
    png_set_sRGB(png, info, PNG_sRGB_INTENT_PERCEPTUAL);
    png_write_info(png, info);
    const std::size_t rowBytes = static_cast<std::size_t>(image.width) * (opaque ? 3 : 4);
    const std::uint8_t* base = opaque ? rgb.data() : image.rgba.data();
    for (int y = 0; y < image.height; ++y)
        png_write_row(png, const_cast<png_bytep>(base + rowBytes * y));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

bool decode(std::FILE* file, Raster& image) {
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_read_info(png, info);
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    png_read_update_info(png, info);
    const int w = static_cast<int>(png_get_image_width(png, info));
    const int h = static_cast<int>(png_get_image_height(png, info));
    if (w <= 0 || h <= 0 || w > 16384 || h > 16384 || png_get_rowbytes(png, info) != std::size_t(w) * 4) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    image.width = w;
    image.height = h;
    image.rgba.resize(std::size_t(w) * h * 4);
    for (int y = 0; y < h; ++y)
        png_read_row(png, image.pixel(0, y), nullptr);
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

} // namespace

bool writePng(const std::string& path, const Raster& image) {
    const bool opaque = isOpaque(image);
    std::vector<std::uint8_t> rgb;
    if (opaque) {
        rgb.reserve(image.rgba.size() / 4 * 3);
        for (std::size_t i = 0; i < image.rgba.size(); i += 4)
            rgb.insert(rgb.end(), image.rgba.begin() + i, image.rgba.begin() + i + 3);
    }
    const std::string temporary = path + ".partial";
    bool written = false;
    if (File file{std::fopen(temporary.c_str(), "wb")}) {
        written = encode(file.get(), image, opaque, rgb);
        written = std::fflush(file.get()) == 0 && written;
    }
    std::error_code error;
    if (written)
        std::filesystem::rename(temporary, path, error);
    if (!written || error) {
        std::filesystem::remove(temporary, error);
        std::fprintf(stderr, "could not write %s\n", path.c_str());
        return false;
    }
    return true;
}

std::optional<Raster> readPng(const std::string& path) {
    File file{std::fopen(path.c_str(), "rb")};
    if (!file)
        return std::nullopt;
    Raster image(0, 0);
    if (!decode(file.get(), image))
        return std::nullopt;
    return image;
}

} // namespace ResourceArt
