#pragma once

#include "Raster.h"

#include <string>
#include <vector>

namespace ResourceArt {

struct GlyphPoint {
    double x = 0.0;
    double y = 0.0;
};

// One mark of a glyph, in points with the origin at the top-left of the icon.
struct GlyphShape {
    enum class Kind { Stroke, Fill };
    enum class Role { Primary, Secondary }; // secondary marks take the other colour of the pair
    Kind kind = Kind::Stroke;
    std::vector<GlyphPoint> points;
    bool closed = false;    // strokes only; fills are always closed
    double lineWidth = 2.0; // strokes only
    Role role = Role::Primary;
};

// An icon: its size in points and its marks, painted in order.
struct Glyph {
    std::string name;
    double width = 0.0;
    double height = 0.0;
    std::vector<GlyphShape> shapes;
    bool hasDisabledState = false;
};

// The states an icon is drawn in, each its own resource.
enum class IconState { Normal, Pressed, Disabled };

// Resource name of the icon in that state: the base name, "_pressdown" or "_disable".
std::string iconResourceName(const Glyph& glyph, IconState state);

// Every icon of the editor. Any thread may call it; the table is static.
const std::vector<Glyph>& glyphs();

// The icon drawn at a whole pixel scale: light marks on a transparent background (the buttons bring their
// own dark colour), the accent colour while pressed, dimmed while disabled. Edges are anti-aliased from the
// exact distance of each pixel centre to the mark, so every scale is equally crisp.
Raster iconImage(const Glyph& glyph, IconState state, int scale);

} // namespace ResourceArt
