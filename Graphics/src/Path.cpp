#include <Graphics/Path.h>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace Graphics {

namespace {
// Curves become this many segments at the least; long ones more, about one per two units.
constexpr int kMinCurveSegments = 8;

int segmentsFor(double length) {
    // Clamped as a double: a NaN or huge length must not reach the integer conversion.
    return length / 2 < 512    ? std::max(static_cast<int>(length / 2), kMinCurveSegments)
           : length / 2 >= 512 ? 512
                               : kMinCurveSegments;
}
} // namespace

void Path::moveTo(Point p) {
    m_subpaths.push_back({{p}, false});
}

void Path::lineTo(Point p) {
    if (m_subpaths.empty() || m_subpaths.back().closed)
        moveTo(m_subpaths.empty() ? p : m_subpaths.back().points.front());
    m_subpaths.back().points.push_back(p);
}

void Path::quadCurveTo(Point control, Point end) {
    if (m_subpaths.empty())
        moveTo(control);
    const Point start = m_subpaths.back().points.back();
    const double length = std::hypot(control.x - start.x, control.y - start.y) +
                          std::hypot(end.x - control.x, end.y - control.y);
    const int n = segmentsFor(length);
    for (int i = 1; i <= n; ++i) {
        const double t = static_cast<double>(i) / n, u = 1 - t;
        lineTo({u * u * start.x + 2 * u * t * control.x + t * t * end.x,
                u * u * start.y + 2 * u * t * control.y + t * t * end.y});
    }
}

void Path::curveTo(Point c1, Point c2, Point end) {
    if (m_subpaths.empty())
        moveTo(c1);
    const Point s = m_subpaths.back().points.back();
    const double length = std::hypot(c1.x - s.x, c1.y - s.y) + std::hypot(c2.x - c1.x, c2.y - c1.y) +
                          std::hypot(end.x - c2.x, end.y - c2.y);
    const int n = segmentsFor(length);
    for (int i = 1; i <= n; ++i) {
        const double t = static_cast<double>(i) / n, u = 1 - t;
        const double a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
        lineTo({a * s.x + b * c1.x + c * c2.x + d * end.x, a * s.y + b * c1.y + c * c2.y + d * end.y});
    }
}

void Path::addArc(Point center, double radius, double startAngle, double endAngle, ArcDirection direction) {
    const bool clockwise = direction == ArcDirection::Clockwise;
    double sweep = endAngle - startAngle;
    if (clockwise && sweep > 0)
        sweep -= 2 * std::numbers::pi * std::ceil(sweep / (2 * std::numbers::pi));
    if (!clockwise && sweep < 0)
        sweep += 2 * std::numbers::pi * std::ceil(-sweep / (2 * std::numbers::pi));
    const Point first{center.x + radius * std::cos(startAngle), center.y + radius * std::sin(startAngle)};
    if (m_subpaths.empty() || m_subpaths.back().closed)
        moveTo(first);
    else
        lineTo(first);
    const int n = std::max(kMinCurveSegments, segmentsFor(std::abs(sweep) * radius));
    for (int i = 1; i <= n; ++i) {
        const double angle = startAngle + sweep * i / n;
        lineTo({center.x + radius * std::cos(angle), center.y + radius * std::sin(angle)});
    }
}

void Path::closeSubpath() {
    if (!m_subpaths.empty())
        m_subpaths.back().closed = true;
}

void Path::addRect(const Rect& rect) {
    const Rect r = rect.standardized();
    moveTo({r.minX(), r.minY()});
    lineTo({r.maxX(), r.minY()});
    lineTo({r.maxX(), r.maxY()});
    lineTo({r.minX(), r.maxY()});
    closeSubpath();
}

void Path::addEllipseInRect(const Rect& rect) {
    const Rect r = rect.standardized();
    const double rx = r.width() / 2, ry = r.height() / 2;
    const int n = std::max(16, segmentsFor(std::numbers::pi * (rx + ry)));
    moveTo({r.midX() + rx, r.midY()});
    for (int i = 1; i < n; ++i) {
        const double angle = 2 * std::numbers::pi * i / n;
        lineTo({r.midX() + rx * std::cos(angle), r.midY() + ry * std::sin(angle)});
    }
    closeSubpath();
}

void Path::addRoundedRect(const Rect& rect, double cornerRadius) {
    const Rect r = rect.standardized();
    const double radius = std::clamp(cornerRadius, 0.0, std::min(r.width(), r.height()) / 2);
    if (radius <= 0) {
        addRect(r);
        return;
    }
    const double pi = std::numbers::pi;
    m_subpaths.push_back({{}, false});
    addArc({r.maxX() - radius, r.minY() + radius}, radius, -pi / 2, 0, ArcDirection::CounterClockwise);
    addArc({r.maxX() - radius, r.maxY() - radius}, radius, 0, pi / 2, ArcDirection::CounterClockwise);
    addArc({r.minX() + radius, r.maxY() - radius}, radius, pi / 2, pi, ArcDirection::CounterClockwise);
    addArc({r.minX() + radius, r.minY() + radius}, radius, pi, 3 * pi / 2, ArcDirection::CounterClockwise);
    closeSubpath();
}

Rect Path::boundingBox() const {
    Rect box = Rect::null();
    for (const Subpath& subpath : m_subpaths)
        for (const Point& p : subpath.points)
            box = box.unionWith(Rect(p.x, p.y, 0, 0));
    return box;
}

Path Path::transformed(const AffineTransform& transform) const {
    Path result = *this;
    for (Subpath& subpath : result.m_subpaths)
        for (Point& p : subpath.points)
            p = transform.applyToPoint(p);
    return result;
}

} // namespace Graphics
