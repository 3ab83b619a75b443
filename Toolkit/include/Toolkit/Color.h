#pragma once

namespace Toolkit {

// The UI toolkit's colour: sRGB-encoded red, green, blue and alpha in 0…1, not premultiplied.
struct Color {
    double red = 0, green = 0, blue = 0, alpha = 0;

    static constexpr Color white() { return {1, 1, 1, 1}; }
    static constexpr Color black() { return {0, 0, 0, 1}; }
    static constexpr Color clear() { return {0, 0, 0, 0}; }
    constexpr Color withAlpha(double a) const { return {red, green, blue, a}; }

    friend constexpr bool operator==(const Color&, const Color&) = default;
};

} // namespace Toolkit
