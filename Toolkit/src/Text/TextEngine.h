#pragma once

#include <Graphics/Geometry.h>
#include <Toolkit/Color.h>
#include <string>
#include <vector>

namespace Graphics {
class BitmapContext;
}

namespace Toolkit {
class Font;
}

namespace Toolkit::Text {

// Code points of a UTF-8 string; malformed bytes become U+FFFD.
std::u32string decodeUtf8(const std::string& text);

// Per-point metrics of the regular or bold system face (em fractions), zero when no face loads.
struct FaceMetrics {
    double ascender = 0, descender = 0, lineHeight = 0;
};
FaceMetrics faceMetrics(bool bold);

// Advance of each code point in points at pointSize.
std::vector<double> advances(const std::u32string& text, bool bold, double pointSize);

// Draws text with its baseline starting at origin (the context's user space: the view's
// coordinates, y down), glyphs rasterised at the context's pixel scale and blended in colour.
void drawText(Graphics::BitmapContext& context, const std::u32string& text, const Font& font,
              Graphics::Point origin, Color color);

} // namespace Toolkit::Text
