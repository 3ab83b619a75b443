#pragma once

#include <Foundation/Export.h>
#include <Graphics/Bitmap.h>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace Graphics {

enum class ImageFileType { PNG, JPEG, WebP };

// The file type a path names by its extension (.png; .jpg or .jpeg; .webp; any case); empty for
// others.
RUX_API std::optional<ImageFileType> imageFileTypeForPath(const std::string& path);

// PNG bytes of an RGBA8 or Gray8 bitmap (premultiplied colour is un-premultiplied; an opaque bitmap is
// written without alpha). Empty on failure, with one log line. Any thread may call it.
RUX_API std::optional<std::vector<std::uint8_t>> encodePNG(const Bitmap& bitmap);

// JPEG bytes at quality 0…1 (clamped; NaN means 0.9). Alpha is dropped after un-premultiplying.
// Empty on failure, with one log line. Any thread may call it.
RUX_API std::optional<std::vector<std::uint8_t>> encodeJPEG(const Bitmap& bitmap, double quality);

// Writes bytes to a temporary file beside path, then renames it over path, so that a reader never
// sees a half-written file. False (and one log line, nothing left behind) on failure.
RUX_API bool writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes);
// The same, with the temporary file named PATH.TAG.XXXXXX, so that whoever owns the tag can find
// what a killed writer left (and nobody else's). An empty tag names it PATH.XXXXXX as above.
RUX_API bool writeFileAtomically(const std::string& path, const std::vector<std::uint8_t>& bytes,
                                 const std::string& temporaryTag);

// Encodes by the path's extension and writes atomically; false on an unknown extension or failure.
// WebP takes jpegQuality as its quality too.
RUX_API bool writeImageFile(const Bitmap& bitmap, const std::string& path, double jpegQuality = 0.92);

} // namespace Graphics
