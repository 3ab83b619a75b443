#include "Icons.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace ResourceArt {

namespace {

using Kind = GlyphShape::Kind;
using Role = GlyphShape::Role;

constexpr double kLine = 2.0; // the stroke weight shared by all icons, in points

GlyphShape stroke(std::vector<GlyphPoint> points, double width = kLine, bool closed = false) {
    return {Kind::Stroke, std::move(points), closed, width, Role::Primary};
}

GlyphShape fill(std::vector<GlyphPoint> points, Role role = Role::Primary) {
    return {Kind::Fill, std::move(points), true, 0.0, role};
}

// Points along a circular arc; angles in degrees, clockwise on screen (y grows downwards).
std::vector<GlyphPoint> arc(GlyphPoint centre, double radius, double fromDegrees, double toDegrees) {
    const int steps = std::max(8, static_cast<int>(std::abs(toDegrees - fromDegrees) / 3.0));
    std::vector<GlyphPoint> points;
    for (int i = 0; i <= steps; ++i) {
        const double a = (fromDegrees + (toDegrees - fromDegrees) * i / steps) * std::numbers::pi / 180.0;
        points.push_back({centre.x + radius * std::cos(a), centre.y + radius * std::sin(a)});
    }
    return points;
}

GlyphShape disc(GlyphPoint centre, double radius, Role role = Role::Primary) {
    return fill(arc(centre, radius, 0.0, 360.0), role);
}

// The two barbs of an arrow whose tip is at tip and which points in the direction of the given angle.
GlyphShape arrowHead(GlyphPoint tip, double directionDegrees, double size = 5.0) {
    const double a = directionDegrees * std::numbers::pi / 180.0;
    auto barb = [&](double turn) {
        const double b = a + std::numbers::pi + turn;
        return GlyphPoint{tip.x + size * std::cos(b), tip.y + size * std::sin(b)};
    };
    return stroke({barb(-std::numbers::pi / 4), tip, barb(std::numbers::pi / 4)});
}

// A circular arrow: an arc that ends in an arrow head pointing along it.
std::vector<GlyphShape> circularArrow(GlyphPoint centre, double radius, double fromDegrees,
                                      double toDegrees) {
    const double direction = toDegrees + (toDegrees > fromDegrees ? 90.0 : -90.0);
    const double end = toDegrees * std::numbers::pi / 180.0;
    const GlyphPoint tip{centre.x + radius * std::cos(end), centre.y + radius * std::sin(end)};
    return {stroke(arc(centre, radius, fromDegrees, toDegrees)), arrowHead(tip, direction)};
}

std::vector<GlyphPoint> mirroredX(std::vector<GlyphPoint> points, double width) {
    for (auto& p : points)
        p.x = width - p.x;
    return points;
}

std::vector<GlyphShape> mirroredX(std::vector<GlyphShape> shapes, double width) {
    for (auto& s : shapes)
        s.points = mirroredX(std::move(s.points), width);
    return shapes;
}

std::vector<GlyphShape> transposed(std::vector<GlyphShape> shapes) {
    for (auto& s : shapes)
        for (auto& p : s.points)
            std::swap(p.x, p.y);
    return shapes;
}

template <typename... Parts>
std::vector<GlyphShape> join(Parts&&... parts) {
    std::vector<GlyphShape> all;
    auto add = [&](auto&& part) {
        if constexpr (std::is_same_v<std::decay_t<decltype(part)>, GlyphShape>)
            all.push_back(part);
        else
            all.insert(all.end(), part.begin(), part.end());
    };
    (add(parts), ...);
    return all;
}

// Undo: a hooked arrow turning back to the left. Redo is its mirror image.
std::vector<GlyphShape> undoArrow() {
    std::vector<GlyphPoint> path{{14.0, 17.0}, {25.0, 17.0}};
    const auto bend = arc({25.0, 23.5}, 6.5, -90.0, 90.0);
    path.insert(path.end(), bend.begin() + 1, bend.end());
    path.push_back({17.0, 30.0});
    return {stroke(path), arrowHead({14.0, 17.0}, 180.0)};
}

// A drop, the usual sign for colour intensity; the right half filled.
std::vector<GlyphShape> drop() {
    const GlyphPoint tip{24.0, 11.0};
    const GlyphPoint centre{24.0, 28.0};
    const double radius = 8.5;
    std::vector<GlyphPoint> outline{tip};
    const auto body = arc(centre, radius, -30.0, 210.0);
    outline.insert(outline.end(), body.begin(), body.end());
    std::vector<GlyphPoint> half{tip};
    const auto rightBody = arc(centre, radius, -30.0, 90.0);
    half.insert(half.end(), rightBody.begin(), rightBody.end());
    return {stroke(outline, kLine, true), fill(half)};
}

// Two triangles mirrored across a dashed axis: the shape of a horizontal flip.
std::vector<GlyphShape> horizontalFlip() {
    std::vector<GlyphShape> shapes{
        fill({{10.0, 34.0}, {20.0, 15.0}, {20.0, 34.0}}),
        stroke({{28.0, 15.0}, {38.0, 34.0}, {28.0, 34.0}}, kLine, true),
    };
    for (double y = 11.0; y < 37.0; y += 5.0)
        shapes.push_back(stroke({{24.0, y}, {24.0, y + 2.0}}, 1.5));
    return shapes;
}

std::vector<Glyph> makeGlyphs() {
    constexpr double bar = 44.0;  // the main screen's top bar
    constexpr double tool = 48.0; // toolbar, OK/Cancel bar and rotate buttons
    std::vector<Glyph> all;
    auto add = [&](std::string name, double w, double h, std::vector<GlyphShape> shapes,
                   bool disabled = false) {
        all.push_back({std::move(name), w, h, std::move(shapes), disabled});
    };

    add("ic_arrow_back", bar, bar,
        {stroke({{14.0, 22.0}, {31.0, 22.0}}), arrowHead({14.0, 22.0}, 180.0, 7.0)});
    add("ic_filter_back", bar, bar, undoArrow(), true);
    add("ic_filter_next", bar, bar, mirroredX(undoArrow(), bar), true);

    add("ic_crop", tool, tool,
        {stroke({{17.0, 10.0}, {17.0, 31.0}, {38.0, 31.0}}),
         stroke({{10.0, 17.0}, {31.0, 17.0}, {31.0, 38.0}})});
    std::vector<GlyphShape> sun{stroke(arc({24.0, 24.0}, 5.0, 0.0, 360.0), kLine, true)};
    for (int i = 0; i < 8; ++i) {
        const double a = i * std::numbers::pi / 4.0;
        sun.push_back(stroke({{24.0 + 9.0 * std::cos(a), 24.0 + 9.0 * std::sin(a)},
                              {24.0 + 12.5 * std::cos(a), 24.0 + 12.5 * std::sin(a)}}));
    }
    add("ic_brightness", tool, tool, sun);
    add("ic_saturation", tool, tool, drop());
    add("ic_contrast", tool, tool,
        {stroke(arc({24.0, 24.0}, 11.0, 0.0, 360.0), kLine, true),
         fill(arc({24.0, 24.0}, 11.0, 90.0, 270.0))});
    std::vector<GlyphShape> focus{disc({24.0, 24.0}, 4.0)};
    for (int i = 0; i < 12; ++i)
        focus.push_back(stroke(arc({24.0, 24.0}, 11.0, i * 30.0 + 6.0, i * 30.0 + 18.0)));
    add("ic_blur", tool, tool, focus);
    add("ic_rotate", tool, tool,
        join(stroke({{16.0, 22.0}, {30.0, 22.0}, {30.0, 36.0}, {16.0, 36.0}}, kLine, true),
             circularArrow({23.0, 29.0}, 15.0, -160.0, -40.0)));

    // The added tools.
    // Straighten: a level line with a tilted frame about it.
    {
        std::vector<GlyphPoint> frame;
        const double a = -12.0 * std::numbers::pi / 180.0;
        for (GlyphPoint p : {GlyphPoint{-11.0, -8.0}, GlyphPoint{11.0, -8.0}, GlyphPoint{11.0, 8.0},
                             GlyphPoint{-11.0, 8.0}}) {
            frame.push_back(
                {24.0 + p.x * std::cos(a) - p.y * std::sin(a), 24.0 + p.x * std::sin(a) + p.y * std::cos(a)});
        }
        add("ic_straighten", tool, tool,
            {stroke(frame, kLine, true), stroke({{8.0, 24.0}, {40.0, 24.0}}, 1.5)});
    }
    // White balance: a thermometer.
    add("ic_white_balance", tool, tool,
        {stroke({{21.0, 29.0}, {21.0, 12.0}, {27.0, 12.0}, {27.0, 29.0}}),
         stroke(arc({24.0, 33.0}, 5.0, -53.0, 233.0)), disc({24.0, 33.0}, 2.5),
         stroke({{24.0, 30.0}, {24.0, 18.0}}), stroke({{30.0, 16.0}, {34.0, 16.0}}, 1.5),
         stroke({{30.0, 21.0}, {34.0, 21.0}}, 1.5), stroke({{30.0, 26.0}, {34.0, 26.0}}, 1.5)});
    // Exposure: a square split on its diagonal, plus and minus.
    add("ic_exposure", tool, tool,
        {stroke({{12.0, 12.0}, {36.0, 12.0}, {36.0, 36.0}, {12.0, 36.0}}, kLine, true),
         fill({{12.0, 36.0}, {36.0, 12.0}, {36.0, 36.0}}), stroke({{15.5, 19.0}, {23.5, 19.0}}),
         stroke({{19.5, 15.0}, {19.5, 23.0}}), stroke({{25.0, 30.0}, {33.0, 30.0}}, kLine)});
    // Highlights and shadows: a circle, its lower half filled, with rays above.
    {
        std::vector<GlyphShape> hs{stroke(arc({24.0, 28.0}, 9.0, 0.0, 360.0), kLine, true),
                                   fill(arc({24.0, 28.0}, 9.0, 0.0, 180.0))};
        for (int i = 0; i < 5; ++i) {
            const double a = (-180.0 + 45.0 * i) * std::numbers::pi / 180.0;
            hs.push_back(stroke({{24.0 + 12.0 * std::cos(a), 28.0 + 12.0 * std::sin(a)},
                                 {24.0 + 15.5 * std::cos(a), 28.0 + 15.5 * std::sin(a)}}));
        }
        add("ic_highlights_shadows", tool, tool, hs);
    }
    // Vibrance: a drop with a spark beside it.
    add("ic_vibrance", tool, tool,
        join(drop(), stroke({{36.0, 10.0}, {36.0, 18.0}}, 1.5), stroke({{32.0, 14.0}, {40.0, 14.0}}, 1.5)));
    // Tone curve: a framed graph with an S through it.
    {
        std::vector<GlyphPoint> curve;
        for (int i = 0; i <= 24; ++i) {
            const double t = i / 24.0;
            const double y = t * t * (3.0 - 2.0 * t);
            curve.push_back({12.0 + 24.0 * t, 36.0 - 24.0 * (0.5 * t + 0.5 * y * y * (3.0 - 2.0 * y))});
        }
        add("ic_tone_curve", tool, tool,
            {stroke({{12.0, 12.0}, {36.0, 12.0}, {36.0, 36.0}, {12.0, 36.0}}, 1.5, true), stroke(curve),
             disc({20.0, 30.4}, 2.5), disc({30.0, 16.4}, 2.5)});
    }
    // Vignette: a frame with an oval clearing.
    add("ic_vignette", tool, tool,
        {stroke({{10.0, 13.0}, {38.0, 13.0}, {38.0, 35.0}, {10.0, 35.0}}, kLine, true),
         stroke(
             [] {
                 std::vector<GlyphPoint> oval = arc({24.0, 24.0}, 1.0, 0.0, 360.0);
                 for (GlyphPoint& p : oval) {
                     p = {24.0 + (p.x - 24.0) * 10.0, 24.0 + (p.y - 24.0) * 7.0};
                 }
                 return oval;
             }(),
             kLine, true)});
    // Sharpen: a triangle, half filled, its edge crisp.
    add("ic_sharpen", tool, tool,
        {stroke({{24.0, 11.0}, {37.0, 35.0}, {11.0, 35.0}}, kLine, true),
         fill({{24.0, 11.0}, {24.0, 35.0}, {11.0, 35.0}})});

    add("ic_control_done", tool, tool, {stroke({{14.0, 25.0}, {21.0, 32.0}, {35.0, 17.0}}, 2.5)});
    add("ic_control_cancel", tool, tool,
        {stroke({{16.0, 16.0}, {32.0, 32.0}}, 2.5), stroke({{32.0, 16.0}, {16.0, 32.0}}, 2.5)});

    // The slider's centre mark sits on its 1-point track; the knob rides the track inside a 48 × 80 thumb
    // whose top 34 points show the value, so it stays under 20 points across.
    add("ic_control_centre", 10.0, 10.0, {disc({5.0, 5.0}, 3.0)});
    add("ic_control_drag", 24.0, 24.0, {disc({12.0, 12.0}, 9.0), disc({12.0, 12.0}, 3.0, Role::Secondary)});

    add("ic_rotate_left", tool, tool, circularArrow({24.0, 24.0}, 11.0, 300.0, 0.0));
    add("ic_rotate_right", tool, tool, mirroredX(circularArrow({24.0, 24.0}, 11.0, 300.0, 0.0), tool));
    add("ic_flip_v", tool, tool, transposed(horizontalFlip()));
    add("ic_flip_h", tool, tool, horizontalFlip());
    return all;
}

struct Colour {
    double r, g, b;
};

constexpr Colour kLight{1.0, 1.0, 1.0};
constexpr Colour kAccent{0xFF / 255.0, 0x57 / 255.0, 0x22 / 255.0};
// A disabled icon keeps its shape but recedes to the tone of the bar's inactive text.
constexpr double kDisabledOpacity = 0.3;

double distanceToSegment(GlyphPoint p, GlyphPoint a, GlyphPoint b) {
    const double dx = b.x - a.x;
    const double dy = b.y - a.y;
    const double length2 = dx * dx + dy * dy;
    const double t =
        length2 > 0.0 ? std::clamp(((p.x - a.x) * dx + (p.y - a.y) * dy) / length2, 0.0, 1.0) : 0.0;
    return std::hypot(p.x - (a.x + t * dx), p.y - (a.y + t * dy));
}

// Signed distance from p to the shape's edge in points, negative inside.
double signedDistance(const GlyphShape& shape, GlyphPoint p) {
    const auto& pts = shape.points;
    const std::size_t n = pts.size();
    const bool closed = shape.kind == Kind::Fill || shape.closed;
    double nearest = 1e9;
    bool inside = false;
    for (std::size_t i = 0; i + 1 < n || (closed && i < n); ++i) {
        const GlyphPoint a = pts[i];
        const GlyphPoint b = pts[(i + 1) % n];
        nearest = std::min(nearest, distanceToSegment(p, a, b));
        if ((a.y > p.y) != (b.y > p.y) && p.x < a.x + (p.y - a.y) / (b.y - a.y) * (b.x - a.x))
            inside = !inside;
    }
    if (n == 1)
        nearest = std::hypot(p.x - pts[0].x, p.y - pts[0].y);
    if (shape.kind == Kind::Stroke)
        return nearest - shape.lineWidth / 2.0;
    return inside ? -nearest : nearest;
}

} // namespace

std::string iconResourceName(const Glyph& glyph, IconState state) {
    switch (state) {
    case IconState::Normal:
        return glyph.name;
    case IconState::Pressed:
        return glyph.name + "_pressdown";
    case IconState::Disabled:
        return glyph.name + "_disable";
    }
    return glyph.name;
}

const std::vector<Glyph>& glyphs() {
    static const std::vector<Glyph> table = makeGlyphs();
    return table;
}

Raster iconImage(const Glyph& glyph, IconState state, int scale) {
    const int w = static_cast<int>(std::lround(glyph.width * scale));
    const int h = static_cast<int>(std::lround(glyph.height * scale));
    Raster image(w, h);
    const Colour primary = state == IconState::Pressed ? kAccent : kLight;
    const Colour secondary = state == IconState::Pressed    ? kLight
                             : state == IconState::Disabled ? kLight
                                                            : kAccent;
    // Marks are painted opaque and the whole icon dimmed afterwards, so overlapping marks stay even.
    const double opacity = state == IconState::Disabled ? kDisabledOpacity : 1.0;
    std::vector<double> premultiplied(static_cast<std::size_t>(w) * h * 4, 0.0);
    for (const auto& shape : glyph.shapes) {
        const Colour c = shape.role == Role::Primary ? primary : secondary;
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                // Coverage of a one-pixel box by a straight edge at that distance from its centre.
                const GlyphPoint centre{(x + 0.5) / scale, (y + 0.5) / scale};
                const double coverage = std::clamp(0.5 - signedDistance(shape, centre) * scale, 0.0, 1.0);
                if (coverage <= 0.0)
                    continue;
                const double alpha = coverage;
                double* d = &premultiplied[(static_cast<std::size_t>(y) * w + x) * 4];
                d[0] = c.r * alpha + d[0] * (1.0 - alpha);
                d[1] = c.g * alpha + d[1] * (1.0 - alpha);
                d[2] = c.b * alpha + d[2] * (1.0 - alpha);
                d[3] = alpha + d[3] * (1.0 - alpha);
            }
        }
    }
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double* s = &premultiplied[(static_cast<std::size_t>(y) * w + x) * 4];
            std::uint8_t* p = image.pixel(x, y);
            const double a = s[3];
            // Straight alpha: the colour of the marks, the opacity of the coverage.
            for (int channel = 0; channel < 3; ++channel)
                p[channel] =
                    a > 0.0
                        ? static_cast<std::uint8_t>(std::lround(std::clamp(s[channel] / a, 0.0, 1.0) * 255.0))
                        : 0;
            p[3] = static_cast<std::uint8_t>(std::lround(a * opacity * 255.0));
        }
    }
    return image;
}

} // namespace ResourceArt
