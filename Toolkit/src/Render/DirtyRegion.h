#pragma once

#include "Render/Raster.h"

#include <array>
#include <cstddef>

namespace Toolkit {

// The areas of the framebuffer waiting to be redrawn, in pixels. Each area is clipped to the screen;
// an area already covered is dropped, areas it covers are removed, and two areas merge when their
// union is no larger than the two apart. When the small fixed buffer overflows it degrades to one
// full-screen area, which is always correct, only slower.
class DirtyRegion {
public:
    static constexpr std::size_t kCapacity = 16;

    void setBounds(PixelRect bounds) { m_bounds = bounds; }
    void add(PixelRect area);
    void addAll() { add(m_bounds); }
    void clear() { m_count = 0; }
    bool isEmpty() const { return m_count == 0; }
    std::size_t count() const { return m_count; }
    const PixelRect& operator[](std::size_t i) const { return m_areas[i]; }

private:
    static long long area(const PixelRect& r) { return static_cast<long long>(r.width()) * r.height(); }
    static bool contains(const PixelRect& outer, const PixelRect& inner) {
        return inner.x0 >= outer.x0 && inner.y0 >= outer.y0 && inner.x1 <= outer.x1 && inner.y1 <= outer.y1;
    }
    static PixelRect unite(const PixelRect& a, const PixelRect& b) {
        return {std::min(a.x0, b.x0), std::min(a.y0, b.y0), std::max(a.x1, b.x1), std::max(a.y1, b.y1)};
    }
    void removeAt(std::size_t i) { m_areas[i] = m_areas[--m_count]; }

    PixelRect m_bounds;
    std::array<PixelRect, kCapacity> m_areas;
    std::size_t m_count = 0;
};

} // namespace Toolkit
