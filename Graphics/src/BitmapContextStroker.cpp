#include "BitmapContextSupport.h"

#include <Foundation/Log.h>
#include <Graphics/BitmapContext.h>
#include <Graphics/ImageContext.h>
#include <algorithm>
#include <cmath>
#include <numbers>

// The stroker: a stroke becomes a filled outline of rectangles, discs and joins, dashed first.

namespace Graphics {

namespace {

double signedArea(const std::vector<Point>& polygon) {
    double area = 0;
    for (std::size_t i = 0, n = polygon.size(); i < n; ++i) {
        const Point& a = polygon[i];
        const Point& b = polygon[(i + 1) % n];
        area += a.x * b.y - b.x * a.y;
    }
    return area / 2;
}

// Stroke pieces are unioned with the non-zero rule, so each must wind the same way.
void addCounterClockwise(Path& path, std::vector<Point> polygon) {
    if (polygon.size() < 3)
        return;
    if (signedArea(polygon) < 0)
        std::reverse(polygon.begin(), polygon.end());
    path.moveTo(polygon[0]);
    for (std::size_t i = 1; i < polygon.size(); ++i)
        path.lineTo(polygon[i]);
    path.closeSubpath();
}

void addDisc(Path& path, Point center, double radius) {
    std::vector<Point> polygon;
    const int n = std::clamp(static_cast<int>(radius * 4), 12, 128);
    for (int i = 0; i < n; ++i) {
        const double angle = 2 * std::numbers::pi * i / n;
        polygon.push_back({center.x + radius * std::cos(angle), center.y + radius * std::sin(angle)});
    }
    addCounterClockwise(path, std::move(polygon));
}

// One straight piece of a stroke: a rectangle along a → b, extended by the square cap.
void addSegment(Path& path, Point a, Point b, double halfWidth, double startExtension, double endExtension) {
    const double dx = b.x - a.x, dy = b.y - a.y;
    const double length = std::hypot(dx, dy);
    if (length == 0) {
        if (startExtension > 0)
            addCounterClockwise(path, {{a.x - halfWidth, a.y - halfWidth},
                                       {a.x + halfWidth, a.y - halfWidth},
                                       {a.x + halfWidth, a.y + halfWidth},
                                       {a.x - halfWidth, a.y + halfWidth}});
        return;
    }
    const double ux = dx / length, uy = dy / length;
    const double nx = -uy * halfWidth, ny = ux * halfWidth;
    const Point s{a.x - ux * startExtension, a.y - uy * startExtension};
    const Point e{b.x + ux * endExtension, b.y + uy * endExtension};
    addCounterClockwise(
        path, {{s.x + nx, s.y + ny}, {s.x - nx, s.y - ny}, {e.x - nx, e.y - ny}, {e.x + nx, e.y + ny}});
}

// Cuts a polyline into its dashes.
std::vector<std::vector<Point>> dashed(const std::vector<Point>& line, double phase,
                                       const std::vector<double>& lengths) {
    std::vector<std::vector<Point>> dashes;
    double total = 0;
    for (double l : lengths)
        total += l;
    std::size_t index = 0;
    double remaining = lengths[0];
    bool on = true;
    // Skip into the pattern by the phase.
    double skip = std::fmod(std::fmod(phase, total) + total, total);
    while (skip > 0) {
        const double step = std::min(skip, remaining);
        remaining -= step;
        skip -= step;
        if (remaining <= 0) {
            index = (index + 1) % lengths.size();
            remaining = lengths[index];
            on = !on;
        }
    }
    std::vector<Point> current;
    if (on)
        current.push_back(line.front());
    for (std::size_t i = 1; i < line.size(); ++i) {
        Point a = line[i - 1];
        const Point b = line[i];
        double segment = std::hypot(b.x - a.x, b.y - a.y);
        while (segment > 0) {
            const double step = std::min(segment, remaining);
            const double t = step / segment;
            const Point p{a.x + (b.x - a.x) * t, a.y + (b.y - a.y) * t};
            if (on)
                current.push_back(p);
            segment -= step;
            remaining -= step;
            a = p;
            if (remaining <= 1e-12) {
                if (on && current.size() >= 2)
                    dashes.push_back(current);
                current.clear();
                index = (index + 1) % lengths.size();
                remaining = lengths[index];
                on = !on;
                if (on)
                    current.push_back(a);
            }
        }
    }
    if (on && current.size() >= 2)
        dashes.push_back(current);
    return dashes;
}

} // namespace

Path BitmapContext::strokeOutline(const Path& userPath) const {
    Path outline;
    const double half = m_state.lineWidth / 2;
    for (const Path::Subpath& subpath : userPath.subpaths()) {
        if (subpath.points.empty())
            continue;
        std::vector<Point> line = subpath.points;
        if (subpath.closed && line.size() > 1)
            line.push_back(line.front());
        std::vector<std::vector<Point>> pieces;
        if (m_state.dashLengths.empty())
            pieces.push_back(line);
        else if (line.size() > 1)
            pieces = dashed(line, m_state.dashPhase, m_state.dashLengths);
        const bool closedSolid = subpath.closed && m_state.dashLengths.empty();
        for (const std::vector<Point>& piece : pieces) {
            const double cap = closedSolid ? 0 : m_state.cap == LineCap::Square ? half : 0;
            if (piece.size() == 1) {
                if (m_state.cap == LineCap::Square)
                    addSegment(outline, piece[0], piece[0], half, half, half);
                else if (m_state.cap == LineCap::Round)
                    addDisc(outline, piece[0], half);
                continue;
            }
            for (std::size_t i = 1; i < piece.size(); ++i)
                addSegment(outline, piece[i - 1], piece[i], half, i == 1 ? cap : 0,
                           i + 1 == piece.size() ? cap : 0);
            // Joins: a square patch at each corner fills the notch (a miter for the right angles the
            // interface draws), rounded joins and caps a disc.
            for (std::size_t i = 1; i + 1 < piece.size() + (closedSolid ? 1 : 0); ++i) {
                const Point& p = piece[i % piece.size()];
                if (m_state.cap == LineCap::Round)
                    addDisc(outline, p, half);
                else
                    addCounterClockwise(outline, {{p.x - half, p.y - half},
                                                  {p.x + half, p.y - half},
                                                  {p.x + half, p.y + half},
                                                  {p.x - half, p.y + half}});
            }
            if (m_state.cap == LineCap::Round && !closedSolid) {
                addDisc(outline, piece.front(), half);
                addDisc(outline, piece.back(), half);
            }
        }
    }
    return outline;
}

} // namespace Graphics
