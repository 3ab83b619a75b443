#include "Codecs.h"

#include <Foundation/Log.h>
#include <Graphics/PhotoOutput.h>

namespace Graphics {

std::optional<std::vector<std::uint8_t>> encodePhoto(const Bitmap& bitmap, ImageFileType type,
                                                     const PhotoOutputOptions& options) {
    std::optional<std::vector<std::uint8_t>> bytes;
    switch (type) {
    case ImageFileType::PNG:
        bytes = encodePNG(bitmap);
        break;
    case ImageFileType::JPEG:
        bytes = encodeJpeg(bitmap, options.quality);
        break;
    case ImageFileType::WebP:
        bytes = encodeWebp(bitmap, options.quality);
        break;
    }
    if (bytes && options.metadata)
        options.metadata->writeInto(*bytes, bitmap.width(), bitmap.height());
    return bytes;
}

bool writePhoto(const Bitmap& bitmap, const std::string& path, const PhotoOutputOptions& options) {
    return writePhoto(bitmap, path, options, std::string());
}

bool writePhoto(const Bitmap& bitmap, const std::string& path, const PhotoOutputOptions& options,
                const std::string& temporaryTag) {
    const std::optional<ImageFileType> type = imageFileTypeForPath(path);
    if (!type) {
        Foundation::log("Write: %s has no extension of a format we write", path.c_str());
        return false;
    }
    std::optional<std::vector<std::uint8_t>> bytes = encodePhoto(bitmap, *type, options);
    return bytes && writeFileAtomically(path, *bytes, temporaryTag);
}

} // namespace Graphics
