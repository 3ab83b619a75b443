#pragma once

#include <Graphics/BitmapImage.h>
#include <string>

namespace RenderTool {

// Writes the rendered picture of inputPath to outputPath, encoded by outputPath's extension and
// replaced atomically, so a reader never sees half a file. Every picture rux-render writes goes
// through here, single or batch, so both carry the same things over from the input. Refuses to
// write over the input itself. False with one sentence in error on failure. Any thread.
bool saveRenderedImage(const Graphics::BitmapImage& image, const std::string& inputPath,
                       const std::string& outputPath, std::string& error);

// Whether two paths name the same file (or would, once the second exists). Any thread.
bool isSameFile(const std::string& a, const std::string& b);

} // namespace RenderTool
