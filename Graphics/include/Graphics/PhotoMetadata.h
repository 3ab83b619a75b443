#pragma once

#include <Foundation/Export.h>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace Graphics {

// What a photo file carries besides its pixels (Exif, XMP, IPTC), read through Exiv2 so that an
// edited copy can keep it. Immutable once made; shared between threads freely.
class RUX_API PhotoMetadata {
public:
    // The metadata of a JPEG, PNG, WebP, HEIF, AVIF or camera raw file. nullptr when the file has none we can
    // read (nothing is logged for a photo that simply carries none); one log line when the file's
    // metadata is corrupt. Any thread; the caller owns the result.
    static std::shared_ptr<const PhotoMetadata> createFromFile(const std::string& path);
    static std::shared_ptr<const PhotoMetadata> createFromData(const std::uint8_t* data, std::size_t size);

    // The text of one entry by its Exiv2 key ("Exif.Image.Make", "Xmp.dc.creator"); empty when
    // absent. Any thread.
    std::optional<std::string> value(const std::string& key) const;

    // Writes this metadata into encoded image bytes (JPEG, PNG or WebP) of an edited copy whose
    // pixels are width × height and already upright: the orientation becomes 1, the pixel
    // dimensions are updated, and the embedded preview thumbnail and a raw's description of its
    // sensor data are dropped. False (bytes
    // unchanged, one log line) when Exiv2 cannot write them. Any thread.
    bool writeInto(std::vector<std::uint8_t>& encoded, int width, int height) const;

    ~PhotoMetadata();
    PhotoMetadata(const PhotoMetadata&) = delete;
    PhotoMetadata& operator=(const PhotoMetadata&) = delete;

    struct Contents;

private:
    explicit PhotoMetadata(std::unique_ptr<Contents> contents);
    std::unique_ptr<Contents> m_contents;
};

} // namespace Graphics
