#pragma once

#include <Graphics/BitmapImage.h>
#include <string>

namespace RenderTool {

struct SaveOptions {
    // JPEG and WebP quality, 1…100.
    int quality = 92;
    // Keep nothing of the input's Exif, XMP and IPTC.
    bool stripMetadata = false;
};

// Writes the rendered picture of inputPath to outputPath, encoded by outputPath's extension (PNG,
// JPEG, WebP) and replaced atomically, so a reader never sees half a file; unless stripped, the
// input's metadata goes along (upright, sized to the picture, without its preview). Every picture
// rux-render writes goes through here, single or batch, so both carry the same things over from the
// input. Refuses to write over the input itself. False with one sentence in error on failure. Any
// thread. temporaryTag names the temporary file the picture goes through (see
// temporaryTagForShard); empty for the default name.
bool saveRenderedImage(const Graphics::BitmapImage& image, const std::string& inputPath,
                       const std::string& outputPath, const SaveOptions& options, std::string& error,
                       const std::string& temporaryTag = std::string());

// Whether two paths name the same file (or would, once the second exists). Any thread.
bool isSameFile(const std::string& a, const std::string& b);

} // namespace RenderTool
