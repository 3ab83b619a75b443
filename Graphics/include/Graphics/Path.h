#pragma once

#include <Foundation/Export.h>
#include <Graphics/AffineTransform.h>
#include <Graphics/Geometry.h>
#include <vector>

namespace Graphics {

// The way an arc turns from its start angle to its end angle, in a y-up space.
enum class ArcDirection { CounterClockwise, Clockwise };

enum class FillRule { NonZero, EvenOdd };

// A vector path of straight and curved segments. Curves are flattened as they are added, finely
// enough for anti-aliased drawing at up to 8× the coordinates' scale.
class RUX_API Path {
public:
    struct Subpath {
        std::vector<Point> points;
        bool closed = false;
    };

    void moveTo(Point p);
    // Starts a subpath at p when there is none.
    void lineTo(Point p);
    void quadCurveTo(Point control, Point end);
    void curveTo(Point control1, Point control2, Point end);
    // An arc about center from startAngle to endAngle (radians, counter-clockwise positive in a y-up
    // space); joined to the current point by a line when a subpath is open.
    void addArc(Point center, double radius, double startAngle, double endAngle, ArcDirection direction);
    void closeSubpath();

    void addRect(const Rect& rect);
    void addEllipseInRect(const Rect& rect);
    void addRoundedRect(const Rect& rect, double cornerRadius);

    bool isEmpty() const { return m_subpaths.empty(); }
    const std::vector<Subpath>& subpaths() const { return m_subpaths; }
    // The smallest rect holding every point; null when empty.
    Rect boundingBox() const;
    Path transformed(const AffineTransform& transform) const;

private:
    std::vector<Subpath> m_subpaths;
};

} // namespace Graphics
