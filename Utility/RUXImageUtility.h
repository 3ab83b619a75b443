#pragma once

#include <Foundation/Export.h>
#include <Graphics/BitmapImage.h>
#include <Graphics/Color.h>
#include <cstdint>
#include <memory>
#include <string>

// The image of that name from the resource bundle ("RUXImageEditor.bundle" at the top of the
// host's main bundle). A name without a dot means "name.png"; otherwise the part before the first
// dot is the name and the part after it the type (further parts are ignored). Either way the
// variant for the main screen's scale ("name@2x.png") is preferred when there is one, so "ic_crop"
// and "ic_crop.png" give the same picture. nullptr, with nothing
// logged beyond the decoder's own line, for a missing bundle, file or unreadable file. Looks the
// bundle up and reads the file on every call. Any thread; the caller shares the result.
RUX_API std::shared_ptr<Graphics::BitmapImage> RUXGetImage(const std::string& name);

// The opaque colour of a 0xRRGGBB code; bits above 23 are ignored. Any thread.
RUX_API Graphics::Color RUXColorWithHexCode(std::int32_t code);

enum class ScaleVariants { No, Yes };

// Loads "name.type" from the bundle directory, preferring "name@3x.type" at a screen scale above 2
// and "name@2x.type" above 1 when variants are allowed (the next larger variant, for sharpness);
// the image carries the scale of the file it came from. nullptr if no file exists or it cannot be
// read. Any thread.
RUX_API std::shared_ptr<Graphics::BitmapImage>
RUXImageFromBundle(const std::string& bundlePath, const std::string& name, const std::string& type,
                   ScaleVariants variants = ScaleVariants::Yes);
// The same, with the variant chosen for screenScale rather than the main screen's. Any thread.
RUX_API std::shared_ptr<Graphics::BitmapImage> RUXImageFromBundle(const std::string& bundlePath,
                                                                  const std::string& name,
                                                                  const std::string& type,
                                                                  double screenScale);
