#pragma once

#include <Graphics/Geometry.h>
#include <cmath>
#include <optional>

namespace Graphics {

// The platform's 2-D affine transform: a point (x, y) maps to
// (a·x + c·y + tx, b·x + d·y + ty). Matrices compose as row vectors: concat(t1, t2) applies t1
// first, then t2; rotated/scaled/translated apply the elementary step first, then the current
// transform ("elementary × current").
struct AffineTransform {
    double a = 1, b = 0, c = 0, d = 1, tx = 0, ty = 0;

    static constexpr AffineTransform identity() { return {}; }
    static constexpr AffineTransform makeTranslation(double x, double y) { return {1, 0, 0, 1, x, y}; }
    static constexpr AffineTransform makeScale(double sx, double sy) { return {sx, 0, 0, sy, 0, 0}; }
    // Counter-clockwise by angle (radians) in a y-up space.
    static AffineTransform makeRotation(double angle) {
        double s = std::sin(angle), co = std::cos(angle);
        // Snap exact quarter turns so that pixel grids map onto pixel grids.
        if (std::abs(s) < 1e-15)
            s = 0;
        if (std::abs(co) < 1e-15)
            co = 0;
        return {co, s, -s, co, 0, 0};
    }

    // t1 × t2: apply t1, then t2.
    static constexpr AffineTransform concat(const AffineTransform& t1, const AffineTransform& t2) {
        return {t1.a * t2.a + t1.b * t2.c,           t1.a * t2.b + t1.b * t2.d,
                t1.c * t2.a + t1.d * t2.c,           t1.c * t2.b + t1.d * t2.d,
                t1.tx * t2.a + t1.ty * t2.c + t2.tx, t1.tx * t2.b + t1.ty * t2.d + t2.ty};
    }
    AffineTransform rotated(double angle) const { return concat(makeRotation(angle), *this); }
    constexpr AffineTransform scaled(double sx, double sy) const { return concat(makeScale(sx, sy), *this); }
    constexpr AffineTransform translated(double x, double y) const {
        return concat(makeTranslation(x, y), *this);
    }

    constexpr bool isIdentity() const { return a == 1 && b == 0 && c == 0 && d == 1 && tx == 0 && ty == 0; }
    constexpr bool isIdentityOrTranslation() const { return a == 1 && b == 0 && c == 0 && d == 1; }
    constexpr double determinant() const { return a * d - b * c; }

    // Empty for a singular or non-finite matrix.
    std::optional<AffineTransform> inverted() const {
        double det = determinant();
        if (det == 0 || !std::isfinite(det) || !std::isfinite(tx) || !std::isfinite(ty))
            return std::nullopt;
        AffineTransform r{d / det, -b / det, -c / det, a / det, 0, 0};
        r.tx = -(tx * r.a + ty * r.c);
        r.ty = -(tx * r.b + ty * r.d);
        return r;
    }

    constexpr Point applyToPoint(Point p) const { return {a * p.x + c * p.y + tx, b * p.x + d * p.y + ty}; }
    // Sizes are vectors: the translation does not apply.
    constexpr Size applyToSize(Size s) const {
        return {a * s.width + c * s.height, b * s.width + d * s.height};
    }
    // The bounding box of the four mapped corners (non-negative size); null stays null.
    Rect applyToRect(const Rect& rect) const {
        if (rect.isNull())
            return Rect::null();
        Rect r = rect.standardized();
        Point p[4] = {applyToPoint({r.minX(), r.minY()}), applyToPoint({r.maxX(), r.minY()}),
                      applyToPoint({r.minX(), r.maxY()}), applyToPoint({r.maxX(), r.maxY()})};
        double x0 = p[0].x, x1 = p[0].x, y0 = p[0].y, y1 = p[0].y;
        for (const Point& q : p) {
            x0 = std::min(x0, q.x);
            x1 = std::max(x1, q.x);
            y0 = std::min(y0, q.y);
            y1 = std::max(y1, q.y);
        }
        return Rect(x0, y0, x1 - x0, y1 - y0);
    }

    friend constexpr bool operator==(const AffineTransform&, const AffineTransform&) = default;
};

} // namespace Graphics
