#include "Codecs.h"

#include <Foundation/Log.h>
#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace Graphics {

namespace {

// No photo we accept comes near this; a larger file is refused before it is read.
constexpr std::uintmax_t kMaxFileBytes = 1ull << 30;

} // namespace

void makeOpaqueBitmap(std::shared_ptr<Bitmap>& out, int width, int height) {
    out = Bitmap::create(width, height, PixelFormat::RGBA8, AlphaInfo::NoneSkipLast, ColorSpace::DeviceRGB);
}

void makeBitmap(std::shared_ptr<Bitmap>& out, int width, int height) {
    out = Bitmap::create(width, height, PixelFormat::RGBA8, AlphaInfo::PremultipliedLast,
                         ColorSpace::DeviceRGB);
}

void unpremultiplyRow(const Bitmap& bitmap, int y, std::uint8_t* out, int channels) {
    const std::uint8_t* p = bitmap.row(y);
    const int width = bitmap.width();
    if (bitmap.format() == PixelFormat::Gray8) {
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < channels; ++c)
                out[x * channels + c] = c == 3 ? 255 : p[x];
        return;
    }
    const bool premultiplied = bitmap.alphaInfo() == AlphaInfo::PremultipliedLast;
    for (int x = 0; x < width; ++x, p += 4, out += channels) {
        const unsigned a = premultiplied ? p[3] : 255;
        if (channels == 1) {
            out[0] = p[0];
            continue;
        }
        for (int c = 0; c < 3; ++c)
            out[c] = a == 255 ? p[c]
                     : a == 0 ? 0
                              : static_cast<std::uint8_t>(std::min(255u, (p[c] * 255u + a / 2) / a));
        if (channels == 4)
            out[3] = static_cast<std::uint8_t>(a);
    }
}

void premultiplyBitmap(Bitmap& bitmap) {
    for (int y = 0; y < bitmap.height(); ++y) {
        std::uint8_t* p = bitmap.mutableRow(y);
        for (int x = 0; x < bitmap.width(); ++x, p += 4) {
            const unsigned a = p[3];
            if (a == 255)
                continue;
            for (int c = 0; c < 3; ++c)
                p[c] = static_cast<std::uint8_t>((p[c] * a + 127) / 255);
        }
    }
}

bool isOpaqueBitmap(const Bitmap& bitmap) {
    if (bitmap.format() != PixelFormat::RGBA8 || bitmap.alphaInfo() == AlphaInfo::NoneSkipLast)
        return true;
    for (int y = 0; y < bitmap.height(); ++y) {
        const std::uint8_t* p = bitmap.row(y);
        for (int x = 0; x < bitmap.width(); ++x)
            if (p[x * 4 + 3] != 255)
                return false;
    }
    return true;
}

std::shared_ptr<BitmapImage> BitmapImage::createFromData(const std::uint8_t* data, std::size_t size,
                                                         double scale) {
    if (!data || size == 0) {
        Foundation::log("Image: no data");
        return nullptr;
    }
    if (isPngData(data, size))
        return decodePng(data, size, scale);
    if (isJpegData(data, size))
        return decodeJpeg(data, size, scale);
    if (isWebpData(data, size))
        return decodeWebp(data, size, scale);
    if (isHeifData(data, size))
        return decodeHeif(data, size, scale);
    // Raws come last: LibRaw recognises many formats only by parsing their headers.
    bool recognised = false;
    std::shared_ptr<Bitmap> raw = decodeRaw(data, size, 0, 0, recognised);
    if (recognised)
        return raw ? BitmapImage::create(raw, scale) : nullptr;
    Foundation::log("Image: data is not PNG, JPEG, WebP, HEIF, AVIF or a camera raw");
    return nullptr;
}

std::shared_ptr<BitmapImage> BitmapImage::createFromFile(const std::string& path, double scale) {
    std::error_code error;
    const std::uintmax_t size = std::filesystem::file_size(path, error);
    if (error || size > kMaxFileBytes) {
        Foundation::log("Image: cannot read %s", path.c_str());
        return nullptr;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(size));
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        Foundation::log("Image: cannot open %s", path.c_str());
        return nullptr;
    }
    const std::size_t read = bytes.empty() ? 0 : std::fread(bytes.data(), 1, bytes.size(), file);
    std::fclose(file);
    if (read != bytes.size() || bytes.empty()) {
        Foundation::log("Image: %s is empty or unreadable", path.c_str());
        return nullptr;
    }
    return createFromData(bytes.data(), bytes.size(), scale);
}

std::optional<ImageFileType> imageFileTypeForPath(const std::string& path) {
    std::string extension = std::filesystem::path(path).extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (extension == ".png")
        return ImageFileType::PNG;
    if (extension == ".jpg" || extension == ".jpeg")
        return ImageFileType::JPEG;
    if (extension == ".webp")
        return ImageFileType::WebP;
    return std::nullopt;
}

bool writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes) {
    std::string pattern = path + ".XXXXXX";
    const int fd = ::mkstemp(pattern.data());
    if (fd < 0) {
        Foundation::log("Write: cannot create a temporary file beside %s", path.c_str());
        return false;
    }
    std::size_t written = 0;
    while (written < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
        if (n <= 0)
            break;
        written += static_cast<std::size_t>(n);
    }
    const bool complete = written == bytes.size() && ::fsync(fd) == 0;
    ::fchmod(fd, 0644);
    ::close(fd);
    if (!complete || std::rename(pattern.c_str(), path.c_str()) != 0) {
        ::unlink(pattern.c_str());
        Foundation::log("Write: cannot write %s", path.c_str());
        return false;
    }
    return true;
}

bool writeImageFile(const Bitmap& bitmap, const std::string& path, double jpegQuality) {
    const std::optional<ImageFileType> type = imageFileTypeForPath(path);
    if (!type) {
        Foundation::log("Write: %s has none of the extensions .png, .jpg, .jpeg, .webp", path.c_str());
        return false;
    }
    std::optional<std::vector<std::uint8_t>> bytes;
    switch (*type) {
    case ImageFileType::PNG:
        bytes = encodePNG(bitmap);
        break;
    case ImageFileType::JPEG:
        bytes = encodeJPEG(bitmap, jpegQuality);
        break;
    case ImageFileType::WebP:
        bytes = encodeWebp(bitmap,
                           std::isnan(jpegQuality) ? 90 : static_cast<int>(std::lround(jpegQuality * 100)));
        break;
    }
    return bytes && writeFileAtomically(path, *bytes);
}

} // namespace Graphics
