#include <Foundation/Log.h>
#include <Graphics/BitmapContext.h>
#include <Graphics/ImageContext.h>
#include <algorithm>
#include <cmath>
#include <numbers>

namespace Graphics {

namespace {

// Vertical anti-aliasing: coverage is sampled on this many sub-scanlines a pixel row; horizontally
// it is exact.
constexpr int kSubScanlines = 16;

struct Edge {
    double x0, y0, x1, y1;
    int winding;
};

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

bool isFinite(const Rect& r) {
    return std::isfinite(r.origin.x) && std::isfinite(r.origin.y) && std::isfinite(r.size.width) &&
           std::isfinite(r.size.height);
}

// NaN (a colour or alpha of NaN) becomes 0 rather than an undefined conversion.
inline std::uint8_t toByte(double v) {
    return static_cast<std::uint8_t>((v > 0 ? std::min(v, 1.0) : 0.0) * 255 + 0.5);
}

} // namespace

BitmapContext::BitmapContext(std::shared_ptr<Bitmap> bitmap) : m_bitmap(std::move(bitmap)) {
    m_state.clip = Rect(0, 0, m_bitmap->width(), m_bitmap->height());
}

std::unique_ptr<BitmapContext> BitmapContext::create(std::shared_ptr<Bitmap> target) {
    if (!target)
        return nullptr;
    return std::unique_ptr<BitmapContext>(new BitmapContext(std::move(target)));
}

std::unique_ptr<BitmapContext> BitmapContext::create(int width, int height, bool opaque) {
    std::shared_ptr<Bitmap> bitmap = Bitmap::create(
        width, height, PixelFormat::RGBA8, opaque ? AlphaInfo::NoneSkipLast : AlphaInfo::PremultipliedLast);
    if (!bitmap)
        return nullptr;
    auto context = create(bitmap);
    if (opaque)
        context->clearRect(Rect(0, 0, width, height));
    return context;
}

void BitmapContext::saveGState() {
    m_saved.push_back(m_state);
}

void BitmapContext::restoreGState() {
    if (m_saved.empty())
        return;
    m_state = m_saved.back();
    m_saved.pop_back();
}

void BitmapContext::translateCTM(double x, double y) {
    m_state.ctm = m_state.ctm.translated(x, y);
}
void BitmapContext::scaleCTM(double sx, double sy) {
    m_state.ctm = m_state.ctm.scaled(sx, sy);
}
void BitmapContext::rotateCTM(double angle) {
    m_state.ctm = m_state.ctm.rotated(angle);
}
void BitmapContext::concatCTM(const AffineTransform& transform) {
    m_state.ctm = AffineTransform::concat(transform, m_state.ctm);
}

void BitmapContext::setLineDash(double phase, std::vector<double> lengths) {
    const bool usable =
        std::any_of(lengths.begin(), lengths.end(), [](double l) { return l > 0; }) &&
        std::all_of(lengths.begin(), lengths.end(), [](double l) { return l >= 0 && std::isfinite(l); });
    m_state.dashPhase = std::isfinite(phase) ? phase : 0;
    m_state.dashLengths = usable ? std::move(lengths) : std::vector<double>();
}

void BitmapContext::setAlpha(double alpha) {
    m_state.alpha = std::clamp(std::isnan(alpha) ? 1.0 : alpha, 0.0, 1.0);
}

void BitmapContext::clipToRect(const Rect& rect) {
    m_state.clip = m_state.clip.intersection(m_state.ctm.applyToRect(rect));
}

void BitmapContext::fillRect(const Rect& rect) {
    Path path;
    path.addRect(rect);
    fillPath(path);
}

void BitmapContext::clearRect(const Rect& rect) {
    const Rect device = m_state.ctm.applyToRect(rect).intersection(m_state.clip);
    if (device.isNull() || !isFinite(device))
        return;
    const int height = m_bitmap->height();
    const int x0 = std::max(0, static_cast<int>(std::lround(device.minX())));
    const int x1 = std::min(m_bitmap->width(), static_cast<int>(std::lround(device.maxX())));
    const int rowTop = std::max(0, height - static_cast<int>(std::lround(device.maxY())));
    const int rowBottom = std::min(height, height - static_cast<int>(std::lround(device.minY())));
    const bool opaque = m_bitmap->alphaInfo() == AlphaInfo::NoneSkipLast;
    const std::size_t bytes = m_bitmap->bytesPerPixel();
    for (int row = rowTop; row < rowBottom; ++row)
        for (int x = x0; x < x1; ++x) {
            std::uint8_t* p = m_bitmap->mutableRow(row) + static_cast<std::size_t>(x) * bytes;
            std::fill(p, p + bytes, 0);
            if (opaque && bytes == 4)
                p[3] = 255;
        }
}

void BitmapContext::strokeRect(const Rect& rect) {
    Path path;
    path.addRect(rect);
    strokePath(path);
}

void BitmapContext::strokePath() {
    const std::optional<AffineTransform> inverse = m_state.ctm.inverted();
    if (inverse)
        strokePath(m_path.transformed(*inverse));
    m_path = Path();
}

void BitmapContext::fillPath(FillRule rule) {
    fillDevicePath(m_path, rule, m_state.fill);
    m_path = Path();
}

void BitmapContext::fillPath(const Path& path, FillRule rule) {
    fillDevicePath(path.transformed(m_state.ctm), rule, m_state.fill);
}

void BitmapContext::strokePath(const Path& path) {
    if (!(m_state.lineWidth > 0))
        return;
    fillDevicePath(strokeOutline(path).transformed(m_state.ctm), FillRule::NonZero, m_state.stroke);
}

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
            if (a.y == b.y)
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

    std::vector<double> coverage(static_cast<std::size_t>(columnEnd - columnBegin) + 1);
    std::vector<std::pair<double, int>> crossings;
    for (int y = yBegin; y < yEnd; ++y) {
        std::fill(coverage.begin(), coverage.end(), 0.0);
        bool any = false;
        for (int s = 0; s < kSubScanlines; ++s) {
            const double sampleY = y + (s + 0.5) / kSubScanlines;
            if (sampleY < clipY0 || sampleY >= clipY1)
                continue;
            crossings.clear();
            for (const Edge& e : edges)
                if (sampleY >= e.y0 && sampleY < e.y1)
                    crossings.push_back({e.x0 + (sampleY - e.y0) * (e.x1 - e.x0) / (e.y1 - e.y0), e.winding});
            if (crossings.size() < 2)
                continue;
            std::sort(crossings.begin(), crossings.end());
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
                for (int p = p0 + 1; p < p1; ++p)
                    coverage[static_cast<std::size_t>(p - columnBegin)] += 1;
                if (p1 < columnEnd)
                    coverage[static_cast<std::size_t>(p1 - columnBegin)] += x1 - p1;
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

void BitmapContext::drawImage(const Rect& rect, const BitmapImage& image) {
    std::shared_ptr<const Bitmap> source = uprightBitmap(image);
    if (!source)
        return;
    const Rect device = m_state.ctm.applyToRect(rect);
    const Rect visible = device.intersection(m_state.clip);
    if (visible.isNull() || visible.isEmpty() || !isFinite(visible) || !(device.width() > 0) ||
        !(device.height() > 0) || !std::isfinite(device.width()) || !std::isfinite(device.height()))
        return;
    const int height = m_bitmap->height();
    const int x0 = std::max(0, static_cast<int>(std::floor(visible.minX())));
    const int x1 = std::min(m_bitmap->width(), static_cast<int>(std::ceil(visible.maxX())));
    const int y0 = std::max(0, static_cast<int>(std::floor(visible.minY())));
    const int y1 = std::min(height, static_cast<int>(std::ceil(visible.maxY())));
    const double sx = source->width() / device.width(), sy = source->height() / device.height();
    const bool gray = m_bitmap->format() == PixelFormat::Gray8;
    const bool sourceGray = source->format() == PixelFormat::Gray8;
    const bool sourceOpaque = sourceGray || source->alphaInfo() == AlphaInfo::NoneSkipLast;
    const bool opaque = m_bitmap->alphaInfo() == AlphaInfo::NoneSkipLast;
    const double globalAlpha = m_state.alpha;
    auto sample = [&](int px, int py, double* out) {
        px = std::clamp(px, 0, source->width() - 1);
        py = std::clamp(py, 0, source->height() - 1);
        const std::uint8_t* p = source->row(py) + static_cast<std::size_t>(px) * source->bytesPerPixel();
        if (sourceGray) {
            out[0] = out[1] = out[2] = p[0], out[3] = 255;
            return;
        }
        out[0] = p[0], out[1] = p[1], out[2] = p[2], out[3] = sourceOpaque ? 255 : p[3];
    };
    for (int y = y0; y < y1; ++y) {
        const double centerY = y + 0.5;
        if (centerY < visible.minY() || centerY >= visible.maxY())
            continue;
        // Device y runs up, image rows run down from the top edge.
        const double v = (device.maxY() - centerY) * sy - 0.5;
        const int vy = static_cast<int>(std::floor(v));
        const double fy = v - vy;
        std::uint8_t* row = m_bitmap->mutableRow(height - 1 - y);
        for (int x = x0; x < x1; ++x) {
            const double centerX = x + 0.5;
            if (centerX < visible.minX() || centerX >= visible.maxX())
                continue;
            const double u = (centerX - device.minX()) * sx - 0.5;
            const int ux = static_cast<int>(std::floor(u));
            const double fx = u - ux;
            double a[4], b[4], c[4], d[4], s[4];
            sample(ux, vy, a), sample(ux + 1, vy, b), sample(ux, vy + 1, c), sample(ux + 1, vy + 1, d);
            for (int k = 0; k < 4; ++k)
                s[k] = ((a[k] * (1 - fx) + b[k] * fx) * (1 - fy) + (c[k] * (1 - fx) + d[k] * fx) * fy) / 255 *
                       globalAlpha;
            const double keep = 1 - s[3];
            if (gray) {
                row[x] = toByte(s[0] + row[x] / 255.0 * keep);
                continue;
            }
            std::uint8_t* p = row + static_cast<std::size_t>(x) * 4;
            for (int k = 0; k < 3; ++k)
                p[k] = toByte(s[k] + p[k] / 255.0 * keep);
            p[3] = opaque ? 255 : toByte(s[3] + p[3] / 255.0 * keep);
        }
    }
}

std::shared_ptr<const Bitmap> createImageMask(const Bitmap& gray) {
    if (gray.format() != PixelFormat::Gray8) {
        Foundation::log("createImageMask: the mask must be a grey bitmap");
        return nullptr;
    }
    return gray.copy();
}

std::shared_ptr<BitmapImage> createMaskedImage(const BitmapImage& image,
                                               const std::shared_ptr<const Bitmap>& mask) {
    std::shared_ptr<const Bitmap> source = image.bitmap();
    if (!mask || mask->format() != PixelFormat::Gray8 || source->format() != PixelFormat::RGBA8) {
        Foundation::log("createMaskedImage: needs an RGBA image and a grey mask");
        return nullptr;
    }
    std::shared_ptr<Bitmap> result = Bitmap::create(source->width(), source->height(), PixelFormat::RGBA8,
                                                    AlphaInfo::PremultipliedLast, source->colorSpace());
    if (!result)
        return nullptr;
    const bool sourceOpaque = source->alphaInfo() == AlphaInfo::NoneSkipLast;
    for (int y = 0; y < source->height(); ++y) {
        // Nearest mask sample: the platform applies masks without interpolation.
        const int my =
            std::min(mask->height() - 1, static_cast<int>((y + 0.5) * mask->height() / source->height()));
        const std::uint8_t* in = source->row(y);
        const std::uint8_t* m = mask->row(my);
        std::uint8_t* out = result->mutableRow(y);
        for (int x = 0; x < source->width(); ++x) {
            const int mx =
                std::min(mask->width() - 1, static_cast<int>((x + 0.5) * mask->width() / source->width()));
            const unsigned opacity = 255u - m[mx];
            for (int k = 0; k < 3; ++k)
                out[x * 4 + k] = static_cast<std::uint8_t>((in[x * 4 + k] * opacity + 127) / 255);
            out[x * 4 + 3] =
                static_cast<std::uint8_t>(((sourceOpaque ? 255u : in[x * 4 + 3]) * opacity + 127) / 255);
        }
    }
    return BitmapImage::create(std::move(result), image.scale(), image.orientation());
}

} // namespace Graphics
