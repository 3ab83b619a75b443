#pragma once

#include "Raster.h"

#include <optional>
#include <string>

namespace ResourceArt {

// Writes the raster as an 8-bit PNG through libpng: RGB when every pixel is opaque, RGBA otherwise, at the
// highest compression (the files are committed). Written to a temporary name and renamed, so an
// interrupted run never leaves a truncated resource. Returns false, with one line on stderr, on failure.
bool writePng(const std::string& path, const Raster& image);

// Reads any 8-bit or 16-bit PNG into RGBA8 with straight alpha; nothing for a missing or corrupt file.
std::optional<Raster> readPng(const std::string& path);

} // namespace ResourceArt
