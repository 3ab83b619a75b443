#include "BitmapContextSupport.h"

#include <Foundation/Log.h>
#include <Graphics/BitmapContext.h>
#include <Graphics/ImageContext.h>
#include <algorithm>
#include <cmath>
#include <numbers>

// The rasteriser: fills a device-space path with anti-aliased coverage into the bitmap.

namespace Graphics {

using namespace ContextSupport;

namespace {

// Vertical anti-aliasing: coverage is sampled on this many sub-scanlines a pixel row; horizontally
// it is exact.
constexpr int kSubScanlines = 16;

struct Edge {
    double x0, y0, x1, y1;
    int winding;
};

} // namespace

void BitmapContext::fillDevicePath(const Path& devicePath, FillRule rule, Color color) {
    const Rect bounds = devicePath.boundingBox().intersection(m_state.clip);
    // A NaN coordinate survives the intersection and must not reach the pixel indices.
    if (bounds.isNull() || bounds.isEmpty() || !isFinite(bounds))
        return;
    std::vector<Edge> edges;
    for (const Path::Subpath& subpath : devicePath.subpaths()) {
        const std::size_t n = subpath.points.size();
        for (std::size_t i = 0; i < n; ++i) {
            // Every subpath is filled as if closed.
            const Point a = subpath.points[i], b = subpath.points[(i + 1) % n];
            // A level edge crosses no sample line, nor does one with an undefined end.
            if (a.y == b.y || std::isnan(a.y) || std::isnan(b.y))
                continue;
            edges.push_back(a.y < b.y ? Edge{a.x, a.y, b.x, b.y, 1} : Edge{b.x, b.y, a.x, a.y, -1});
        }
    }
    if (edges.empty())
        return;
    const int height = m_bitmap->height();
    const int columnBegin = std::max(0, static_cast<int>(std::floor(bounds.minX())));
    const int columnEnd = std::min(m_bitmap->width(), static_cast<int>(std::ceil(bounds.maxX())));
    const int yBegin = std::max(0, static_cast<int>(std::floor(bounds.minY())));
    const int yEnd = std::min(height, static_cast<int>(std::ceil(bounds.maxY())));
    if (columnEnd <= columnBegin)
        return;
    const double clipX0 = std::max(m_state.clip.minX(), 0.0), clipX1 = m_state.clip.maxX();
    const double clipY0 = m_state.clip.minY(), clipY1 = m_state.clip.maxY();
    const double alpha = std::clamp(color.alpha, 0.0, 1.0) * m_state.alpha;
    const double source[3] = {color.red * alpha, color.green * alpha, color.blue * alpha};
    const bool gray = m_bitmap->format() == PixelFormat::Gray8;
    const bool opaque = m_bitmap->alphaInfo() == AlphaInfo::NoneSkipLast;

    // The sub-scanlines go down the path in order, so the edges a sample line crosses are kept as
    // an active list: an edge joins when the line reaches its top and leaves past its bottom, and a
    // path of thousands of edges (a stroked curve, a histogram) costs what its crossings cost.
    std::sort(edges.begin(), edges.end(), [](const Edge& a, const Edge& b) { return a.y0 < b.y0; });
    std::size_t nextEdge = 0;
    std::vector<const Edge*> active;

    std::vector<double> coverage(static_cast<std::size_t>(columnEnd - columnBegin) + 1);
    std::vector<std::pair<double, int>> crossings;
    bool any = false;
    // The crossings of the line at sampleY with the active edges, in order along it.
    auto crossLine = [&](double sampleY) {
        crossings.clear();
        for (const Edge* e : active)
            crossings.push_back({e->x0 + (sampleY - e->y0) * (e->x1 - e->x0) / (e->y1 - e->y0), e->winding});
        std::sort(crossings.begin(), crossings.end());
    };
    // Adds one sample line's spans between the crossings. A pixel inside a span is covered by that
    // span alone, so its whole count can be added at once: `interior` is what it gets (0: nothing).
    auto addSpans = [&](double interior) {
        if (crossings.size() < 2)
            return;
        int winding = 0;
        for (std::size_t i = 0; i + 1 < crossings.size(); ++i) {
            winding += crossings[i].second;
            const bool inside = rule == FillRule::NonZero ? winding != 0 : (winding & 1) != 0;
            if (!inside)
                continue;
            // The span [x0, x1) adds its exact horizontal coverage to every pixel it touches.
            const double x0 = std::max({crossings[i].first, clipX0, double(columnBegin)});
            const double x1 = std::min({crossings[i + 1].first, clipX1, double(columnEnd)});
            if (x1 <= x0)
                continue;
            any = true;
            const int p0 = static_cast<int>(std::floor(x0)), p1 = static_cast<int>(std::floor(x1));
            if (p0 == p1) {
                coverage[static_cast<std::size_t>(p0 - columnBegin)] += x1 - x0;
                continue;
            }
            coverage[static_cast<std::size_t>(p0 - columnBegin)] += p0 + 1 - x0;
            if (interior != 0)
                for (int p = p0 + 1; p < p1; ++p)
                    coverage[static_cast<std::size_t>(p - columnBegin)] += interior;
            if (p1 < columnEnd)
                coverage[static_cast<std::size_t>(p1 - columnBegin)] += x1 - p1;
        }
    };
    bool lastRowUniform = false;
    for (int y = yBegin; y < yEnd; ++y) {
        const double firstY = y + 0.5 / kSubScanlines, lastY = y + (kSubScanlines - 0.5) / kSubScanlines;
        bool changed = false;
        while (nextEdge < edges.size() && edges[nextEdge].y0 <= firstY) {
            active.push_back(&edges[nextEdge++]);
            changed = true;
        }
        changed |= std::erase_if(active, [firstY](const Edge* e) { return e->y1 <= firstY; }) != 0;
        // A row that every active edge crosses upright, with no edge starting or ending and no clip
        // edge inside it, has the same crossings on each of its sample lines (a rectangle's, a bar's):
        // they are found once and their spans added once per line. The next such row with the same
        // edges has the same coverage.
        const bool uniform = firstY >= clipY0 && lastY < clipY1 &&
                             (nextEdge == edges.size() || edges[nextEdge].y0 > lastY) &&
                             std::all_of(active.begin(), active.end(), [lastY](const Edge* e) {
                                 return e->y1 > lastY && e->x0 == e->x1 && std::isfinite(e->x0);
                             });
        const bool sameAsLastRow = uniform && lastRowUniform && !changed;
        lastRowUniform = uniform;
        if (sameAsLastRow) {
            // coverage and any stay as the last row left them.
        } else if (uniform) {
            std::fill(coverage.begin(), coverage.end(), 0.0);
            any = false;
            crossLine(firstY);
            addSpans(kSubScanlines);
            for (int s = 1; s < kSubScanlines; ++s)
                addSpans(0);
        } else {
            std::fill(coverage.begin(), coverage.end(), 0.0);
            any = false;
            for (int s = 0; s < kSubScanlines; ++s) {
                const double sampleY = y + (s + 0.5) / kSubScanlines;
                while (nextEdge < edges.size() && edges[nextEdge].y0 <= sampleY)
                    active.push_back(&edges[nextEdge++]);
                std::erase_if(active, [sampleY](const Edge* e) { return e->y1 <= sampleY; });
                if (sampleY < clipY0 || sampleY >= clipY1)
                    continue;
                crossLine(sampleY);
                addSpans(1);
            }
        }
        if (!any)
            continue;
        std::uint8_t* row = m_bitmap->mutableRow(height - 1 - y);
        for (int x = columnBegin; x < columnEnd; ++x) {
            const double c =
                std::min(1.0, coverage[static_cast<std::size_t>(x - columnBegin)] / kSubScanlines);
            if (c <= 0)
                continue;
            if (gray) {
                std::uint8_t& p = row[x];
                p = toByte(source[0] * c + p / 255.0 * (1 - alpha * c));
                continue;
            }
            std::uint8_t* p = row + static_cast<std::size_t>(x) * 4;
            const double keep = 1 - alpha * c;
            for (int k = 0; k < 3; ++k)
                p[k] = toByte(source[k] * c + p[k] / 255.0 * keep);
            p[3] = opaque ? 255 : toByte(alpha * c + p[3] / 255.0 * keep);
        }
    }
}

} // namespace Graphics
