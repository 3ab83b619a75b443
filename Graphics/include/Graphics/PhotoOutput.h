#pragma once

#include <Foundation/Export.h>
#include <Graphics/Bitmap.h>
#include <Graphics/ImageFile.h>
#include <Graphics/PhotoMetadata.h>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Graphics {

// How an edited photo is written. The pixels are sRGB: a JPEG says so with an embedded sRGB
// profile; PNG says so with its sRGB chunk and WebP is sRGB by definition, so neither carries a
// profile.
struct RUX_API PhotoOutputOptions {
    // JPEG and WebP quality, 1…100 (clamped); JPEG keeps full-resolution colour from 90.
    int quality = 92;
    // What the original photo carried, kept in the output (upright, resized, without its preview);
    // nullptr keeps nothing.
    std::shared_ptr<const PhotoMetadata> metadata;
};

// The bytes of the edited photo in the given format. Empty with one log line when encoding fails;
// metadata Exiv2 cannot write is left out with one log line and the pixels are still returned.
// Any thread; the caller owns the bytes.
RUX_API std::optional<std::vector<std::uint8_t>> encodePhoto(const Bitmap& bitmap, ImageFileType type,
                                                             const PhotoOutputOptions& options);

// Encodes by the path's extension and writes atomically (a reader never sees a half-written file,
// a failure leaves nothing behind). False with one log line on an unknown extension or failure.
// Any thread.
RUX_API bool writePhoto(const Bitmap& bitmap, const std::string& path, const PhotoOutputOptions& options);
// The same, through a temporary file named after temporaryTag (see writeFileAtomically).
RUX_API bool writePhoto(const Bitmap& bitmap, const std::string& path, const PhotoOutputOptions& options,
                        const std::string& temporaryTag);

} // namespace Graphics
