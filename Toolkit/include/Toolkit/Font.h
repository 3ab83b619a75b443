#pragma once

#include <Foundation/Export.h>
#include <Graphics/Geometry.h>
#include <memory>
#include <string>

namespace Toolkit {

// The system typeface (Liberation Sans, regular or bold, whose widths match the phone's system
// font the layouts were made for; fontconfig's "sans-serif" without it) at a size in points. Glyphs are
// rasterised by FreeType at the screen's pixel size and cached. When no typeface can be found, text
// measures zero and draws nothing (one log line). Main thread only.
class RUX_API Font {
public:
    // A size that is not positive and finite becomes the default, 17 points.
    static std::shared_ptr<const Font> systemFont(double pointSize);
    static std::shared_ptr<const Font> boldSystemFont(double pointSize);

    double pointSize() const { return m_pointSize; }
    bool isBold() const { return m_bold; }

    // Line metrics in points: ascender above the baseline, descender below it (positive), and the
    // distance between baselines.
    double ascender() const;
    double descender() const;
    double lineHeight() const;

    // The advance width of a UTF-8 string in points (invalid bytes count as U+FFFD).
    double widthOfText(const std::string& text) const;

    Font(double pointSize, bool bold) : m_pointSize(pointSize), m_bold(bold) {}

private:
    double m_pointSize;
    bool m_bold;
};

} // namespace Toolkit
