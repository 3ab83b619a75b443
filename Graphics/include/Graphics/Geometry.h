#pragma once

#include <algorithm>
#include <cmath>
#include <limits>

namespace Graphics {

struct Point {
    double x = 0;
    double y = 0;
    friend constexpr bool operator==(const Point&, const Point&) = default;
};

struct Size {
    double width = 0;
    double height = 0;
    friend constexpr bool operator==(const Size&, const Size&) = default;
};

// A rectangle with an origin and a size. As in the platform's 2-D library, a rect may have a
// negative size (the functions below standardise first), there is a null rect (the result of
// intersecting disjoint rects: origin at +infinity) and an infinite rect.
struct Rect {
    Point origin;
    Size size;

    constexpr Rect() = default;
    constexpr Rect(double x, double y, double width, double height) : origin{x, y}, size{width, height} {}
    constexpr Rect(Point o, Size s) : origin(o), size(s) {}

    static constexpr Rect null() {
        constexpr double inf = std::numeric_limits<double>::infinity();
        return Rect(inf, inf, 0, 0);
    }
    // Large finite bounds, as the platform uses, so that min/max arithmetic stays finite.
    static constexpr Rect infinite() {
        constexpr double big = std::numeric_limits<double>::max() / 4;
        return Rect(-big / 2, -big / 2, big, big);
    }

    bool isNull() const { return std::isinf(origin.x) || std::isinf(origin.y); }
    bool isInfinite() const {
        return size.width >= infinite().size.width || size.height >= infinite().size.height;
    }
    // Empty: null, or zero width or height.
    bool isEmpty() const { return isNull() || size.width == 0 || size.height == 0; }

    // The same rect with non-negative width and height.
    Rect standardized() const {
        Rect r = *this;
        if (r.size.width < 0) {
            r.origin.x += r.size.width;
            r.size.width = -r.size.width;
        }
        if (r.size.height < 0) {
            r.origin.y += r.size.height;
            r.size.height = -r.size.height;
        }
        return r;
    }

    double minX() const { return standardized().origin.x; }
    double minY() const { return standardized().origin.y; }
    double maxX() const { return standardized().origin.x + std::abs(size.width); }
    double maxY() const { return standardized().origin.y + std::abs(size.height); }
    double midX() const { return (minX() + maxX()) / 2; }
    double midY() const { return (minY() + maxY()) / 2; }
    double width() const { return std::abs(size.width); }
    double height() const { return std::abs(size.height); }

    bool containsPoint(Point p) const {
        return !isNull() && p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
    }
    bool containsRect(const Rect& r) const {
        if (isNull() || r.isNull())
            return false;
        return r.minX() >= minX() && r.maxX() <= maxX() && r.minY() >= minY() && r.maxY() <= maxY();
    }

    // The common part; the null rect when they do not overlap (touching edges do not overlap).
    Rect intersection(const Rect& other) const {
        if (isNull() || other.isNull())
            return null();
        double x0 = std::max(minX(), other.minX()), y0 = std::max(minY(), other.minY());
        double x1 = std::min(maxX(), other.maxX()), y1 = std::min(maxY(), other.maxY());
        if (x1 < x0 || y1 < y0)
            return null();
        return Rect(x0, y0, x1 - x0, y1 - y0);
    }
    bool intersects(const Rect& other) const {
        Rect i = intersection(other);
        return !i.isNull() && !i.isEmpty();
    }
    // The smallest rect holding both; a null rect does not contribute.
    Rect unionWith(const Rect& other) const {
        if (isNull())
            return other.standardized();
        if (other.isNull())
            return standardized();
        double x0 = std::min(minX(), other.minX()), y0 = std::min(minY(), other.minY());
        double x1 = std::max(maxX(), other.maxX()), y1 = std::max(maxY(), other.maxY());
        return Rect(x0, y0, x1 - x0, y1 - y0);
    }
    // Moves every edge inward by dx and dy (outward when negative); null if nothing is left.
    Rect insetBy(double dx, double dy) const {
        if (isNull())
            return null();
        Rect r = standardized();
        r.origin.x += dx;
        r.origin.y += dy;
        r.size.width -= 2 * dx;
        r.size.height -= 2 * dy;
        if (r.size.width < 0 || r.size.height < 0)
            return null();
        return r;
    }
    Rect offsetBy(double dx, double dy) const {
        if (isNull())
            return null();
        return Rect(origin.x + dx, origin.y + dy, size.width, size.height);
    }
    // The smallest rect with integral origin and size that holds this one.
    Rect integral() const {
        if (isNull())
            return null();
        double x0 = std::floor(minX()), y0 = std::floor(minY());
        double x1 = std::ceil(maxX()), y1 = std::ceil(maxY());
        return Rect(x0, y0, x1 - x0, y1 - y0);
    }

    friend bool operator==(const Rect& a, const Rect& b) {
        if (a.isNull() || b.isNull())
            return a.isNull() && b.isNull();
        Rect sa = a.standardized(), sb = b.standardized();
        return sa.origin == sb.origin && sa.size == sb.size;
    }
};

} // namespace Graphics
