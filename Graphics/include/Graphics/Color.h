#pragma once

#include <Foundation/Export.h>
namespace Graphics {

// The one colour type of every layer and of the editor: sRGB-encoded red, green, blue and alpha in
// 0…1, not premultiplied. A colour built without an alpha is opaque.
struct RUX_API Color {
    double red = 0, green = 0, blue = 0, alpha = 1;

    static constexpr Color white() { return {1, 1, 1, 1}; }
    static constexpr Color black() { return {0, 0, 0, 1}; }
    static constexpr Color clear() { return {0, 0, 0, 0}; }
    // 0xRRGGBB, opaque.
    static constexpr Color fromHex(unsigned code) {
        return {((code >> 16) & 0xFF) / 255.0, ((code >> 8) & 0xFF) / 255.0, (code & 0xFF) / 255.0, 1};
    }
    constexpr Color withAlpha(double a) const { return {red, green, blue, a}; }

    friend constexpr bool operator==(const Color&, const Color&) = default;
};

} // namespace Graphics
