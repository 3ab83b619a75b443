#include "Filters/Nodes.h"
#include "Pipeline/Simd.h"
#include "Pipeline/Srgb.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

namespace ImageEngine {

namespace {

// A bitmap decoded on read: sRGB bytes to linear premultiplied floats. Quarter turns, mirrors,
// whole-pixel moves and whole-pixel crops of a bitmap are folded into the read itself, so the
// photo's orientation costs no pass and no intermediate tile.
class SourceNode final : public Node {
public:
    // placement maps the bitmap's pixel grid (y up) onto the recipe's and maps pixel centres onto
    // pixel centres; window is the part kept, in the recipe's space (whole pixels or infinite).
    SourceNode(std::shared_ptr<const Graphics::Bitmap> bitmap, const Graphics::AffineTransform& placement,
               const Graphics::Rect& window)
        : Node(placement.applyToRect(Graphics::Rect(0, 0, bitmap->width(), bitmap->height()))
                   .intersection(window)),
          m_bitmap(std::move(bitmap)), m_placement(placement), m_inverse(*placement.inverted()),
          m_window(window) {}

    const std::shared_ptr<const Graphics::Bitmap>& bitmap() const { return m_bitmap; }
    const Graphics::AffineTransform& placement() const { return m_placement; }
    const Graphics::Rect& window() const { return m_window; }

    bool describe(ContentKey& key) const override {
        key.addShared(m_bitmap);
        key.add(m_placement);
        key.add(m_window);
        return true;
    }

    void render(const PixelSpan& out, RenderState&) const override {
        const bool gray = m_bitmap->format() == Graphics::PixelFormat::Gray8;
        const bool opaque = m_bitmap->alphaInfo() == Graphics::AlphaInfo::NoneSkipLast;
        const std::ptrdiff_t step = pixelStep(m_inverse.a, m_inverse.b);
        const std::size_t width = static_cast<std::size_t>(out.rect.w);
        if (gray) {
            const SrgbTables& tables = SrgbTables::get();
            for (int y = out.rect.y; y < out.rect.maxY(); ++y) {
                const std::uint8_t* source = firstOfRow(out.rect, y);
                float* pixel = out.row(y);
                for (std::size_t i = 0; i < width; ++i, pixel += 4) {
                    float v = tables.decode8[source[static_cast<std::ptrdiff_t>(i) * step]];
                    pixel[0] = pixel[1] = pixel[2] = v;
                    pixel[3] = 1.0f;
                }
            }
            return;
        }
        if (step == 1) {
            for (int y = out.rect.y; y < out.rect.maxY(); ++y)
                Simd::decodeRgba8(firstOfRow(out.rect, y), 1, width, opaque, out.row(y));
            return;
        }
        // Turned or mirrored: a band of rows is copied into a small tile first (a turn's in blocks
        // transposed in registers), so that the bitmap is read along its rows, then decoded from there.
        constexpr std::size_t kBandRows = 8, kBandPixels = 256;
        alignas(64) std::uint8_t band[kBandRows][kBandPixels * 4];
        std::uint8_t* bandRows[kBandRows];
        for (std::size_t r = 0; r < kBandRows; ++r)
            bandRows[r] = band[r];
        const std::ptrdiff_t rowStep = pixelStep(m_inverse.c, m_inverse.d);
        for (int y = out.rect.y; y < out.rect.maxY(); y += static_cast<int>(kBandRows)) {
            const std::size_t rows = std::min(kBandRows, static_cast<std::size_t>(out.rect.maxY() - y));
            const std::uint8_t* source = firstOfRow(out.rect, y);
            for (std::size_t x = 0; x < width; x += kBandPixels) {
                const std::size_t count = std::min(kBandPixels, width - x);
                Simd::copyPixels(source + static_cast<std::ptrdiff_t>(x) * step * 4, step, rowStep, count,
                                 rows, bandRows);
                for (std::size_t r = 0; r < rows; ++r)
                    Simd::decodeRgba8(band[r], 1, count, opaque, out.row(y + static_cast<int>(r)) + x * 4);
            }
        }
    }

    // The encoded bytes a render of rect gives, read straight from the bitmap where a render would
    // give them back unchanged: opaque pixels (an opaque bitmap, or a fourth byte of 255). A row with
    // any other pixel is decoded and encoded as a render would. False for a grey bitmap.
    bool copyEncoded(const PixelRect& rect, const std::function<std::uint8_t*(int)>& rowOf) const {
        if (m_bitmap->format() != Graphics::PixelFormat::RGBA8)
            return false;
        const bool opaque = m_bitmap->alphaInfo() == Graphics::AlphaInfo::NoneSkipLast;
        const std::ptrdiff_t step = pixelStep(m_inverse.a, m_inverse.b);
        const std::ptrdiff_t rowStep = pixelStep(m_inverse.c, m_inverse.d);
        const std::size_t width = static_cast<std::size_t>(rect.w);
        std::vector<float> pixels;
        // Bands of rows: runs copied with their fourth bytes set, a turn's in blocks transposed in
        // registers. A row with a translucent pixel is then decoded and encoded as a render would.
        constexpr int kBandRows = 16;
        std::uint8_t* targets[kBandRows];
        bool opaqueRows[kBandRows];
        for (int y = rect.y; y < rect.maxY(); y += kBandRows) {
            const int rows = std::min(kBandRows, rect.maxY() - y);
            for (int r = 0; r < rows; ++r)
                targets[r] = rowOf(y + r);
            Simd::copyPixels(firstOfRow(rect, y), step, rowStep, width, static_cast<std::size_t>(rows),
                             targets, opaqueRows);
            for (int r = 0; r < rows; ++r) {
                if (opaque || opaqueRows[r])
                    continue;
                pixels.resize(width * 4);
                Simd::decodeRgba8(firstOfRow(rect, y + r), step, width, opaque, pixels.data());
                Simd::encodeRgba8(pixels.data(), width, targets[r]);
            }
        }
        return true;
    }

    // Hands each run of at most runPixels pixels of rect's rows to run as the bitmap's bytes, in the
    // order of the render's pixels: straight from the bitmap where its rows run that way, from small
    // bands copied as render copies them otherwise. False for a grey bitmap.
    bool forEachRun(const PixelRect& rect, std::size_t runPixels, const SourceRun& run) const {
        if (m_bitmap->format() != Graphics::PixelFormat::RGBA8)
            return false;
        const bool opaque = m_bitmap->alphaInfo() == Graphics::AlphaInfo::NoneSkipLast;
        const std::ptrdiff_t step = pixelStep(m_inverse.a, m_inverse.b);
        const std::size_t width = static_cast<std::size_t>(rect.w);
        if (step == 1) {
            for (int y = rect.y; y < rect.maxY(); ++y) {
                const std::uint8_t* row = firstOfRow(rect, y);
                for (std::size_t start = 0; start < width; start += runPixels)
                    run(y, start, std::min(runPixels, width - start), row + start * 4, opaque);
            }
            return true;
        }
        constexpr std::size_t kBandRows = 8;
        thread_local std::vector<std::uint8_t> band;
        band.resize(kBandRows * runPixels * 4);
        std::uint8_t* bandRows[kBandRows];
        for (std::size_t r = 0; r < kBandRows; ++r)
            bandRows[r] = band.data() + r * runPixels * 4;
        const std::ptrdiff_t rowStep = pixelStep(m_inverse.c, m_inverse.d);
        for (int y = rect.y; y < rect.maxY(); y += static_cast<int>(kBandRows)) {
            const std::size_t rows = std::min(kBandRows, static_cast<std::size_t>(rect.maxY() - y));
            const std::uint8_t* source = firstOfRow(rect, y);
            for (std::size_t start = 0; start < width; start += runPixels) {
                const std::size_t count = std::min(runPixels, width - start);
                Simd::copyPixels(source + static_cast<std::ptrdiff_t>(start) * step * 4, step, rowStep, count,
                                 rows, bandRows);
                for (std::size_t r = 0; r < rows; ++r)
                    run(y + static_cast<int>(r), start, count, bandRows[r], opaque);
            }
        }
        return true;
    }

private:
    // The move in memory, in pixels, of a read that moves by (dx, dy) in the bitmap's grid: a step up
    // in the bitmap is a step back in memory.
    std::ptrdiff_t pixelStep(double dx, double dy) const {
        const auto rowPixels =
            static_cast<std::ptrdiff_t>(m_bitmap->bytesPerRow() / m_bitmap->bytesPerPixel());
        return static_cast<std::ptrdiff_t>(dx) - static_cast<std::ptrdiff_t>(dy) * rowPixels;
    }

    // Where the read of row y of rect starts: one step right in the output moves it by
    // pixelStep(a, b), one step up by pixelStep(c, d) of the inverse placement.
    const std::uint8_t* firstOfRow(const PixelRect& rect, int y) const {
        const Graphics::Point first = m_inverse.applyToPoint({rect.x + 0.5, y + 0.5});
        const int sx = static_cast<int>(std::floor(first.x)), sy = static_cast<int>(std::floor(first.y));
        // Memory row 0 is the top of the picture.
        return m_bitmap->row(m_bitmap->height() - 1 - sy) +
               static_cast<std::size_t>(sx) * m_bitmap->bytesPerPixel();
    }

    std::shared_ptr<const Graphics::Bitmap> m_bitmap;
    Graphics::AffineTransform m_placement;
    Graphics::AffineTransform m_inverse;
    Graphics::Rect m_window;
};

// Whole-pixel rects inside the engine's range (or infinite) can be folded into a read.
bool isWholePixelWindow(const Graphics::Rect& rect) {
    if (rect.isInfinite())
        return true;
    if (rect.isEmpty())
        return false;
    auto whole = [](double v) { return std::abs(v) < kPixelBound && v == std::floor(v); };
    return whole(rect.minX()) && whole(rect.minY()) && whole(rect.maxX()) && whole(rect.maxY());
}

} // namespace

bool mapsPixelCentresOntoCentres(const Graphics::AffineTransform& t) {
    auto unit = [](double v) { return v == 0 || v == 1 || v == -1; };
    if (!unit(t.a) || !unit(t.b) || !unit(t.c) || !unit(t.d) || std::abs(t.determinant()) != 1)
        return false;
    return t.tx == std::floor(t.tx) && t.ty == std::floor(t.ty) && std::abs(t.tx) < kPixelBound &&
           std::abs(t.ty) < kPixelBound;
}

double snappedToWholePixel(double v) {
    double whole = std::round(v);
    return std::abs(v - whole) <= kTranslationTolerance ? whole : v;
}

std::optional<Graphics::AffineTransform> snappedToPixelGrid(const Graphics::AffineTransform& t) {
    auto unit = [](double v) {
        for (double target : {0.0, 1.0, -1.0})
            if (std::abs(v - target) <= kLinearTolerance)
                return target;
        return v;
    };
    Graphics::AffineTransform snapped{
        unit(t.a), unit(t.b), unit(t.c), unit(t.d), snappedToWholePixel(t.tx), snappedToWholePixel(t.ty)};
    if (!mapsPixelCentresOntoCentres(snapped))
        return std::nullopt;
    return snapped;
}

NodePtr makeSourceNode(std::shared_ptr<const Graphics::Bitmap> bitmap) {
    if (!bitmap)
        return nullptr;
    return std::make_shared<SourceNode>(std::move(bitmap), Graphics::AffineTransform::identity(),
                                        Graphics::Rect::infinite());
}

bool copyEncodedSource(const Node& node, const PixelRect& rect,
                       const std::function<std::uint8_t*(int)>& rowOf) {
    const auto* source = dynamic_cast<const SourceNode*>(&node);
    return source && source->bounds().contains(rect) && source->copyEncoded(rect, rowOf);
}

bool forEachSourceRun(const Node& node, const PixelRect& rect, std::size_t runPixels, const SourceRun& run) {
    const auto* source = dynamic_cast<const SourceNode*>(&node);
    return source && source->bounds().contains(rect) && source->forEachRun(rect, runPixels, run);
}

std::shared_ptr<const Graphics::Bitmap> sourceBitmapOf(const NodePtr& node) {
    auto source = std::dynamic_pointer_cast<const SourceNode>(node);
    if (!source || !source->window().isInfinite() ||
        !(source->placement() == Graphics::AffineTransform::identity()))
        return nullptr;
    return source->bitmap();
}

NodePtr foldTransformIntoSource(const NodePtr& input, const Graphics::AffineTransform& transform) {
    auto source = std::dynamic_pointer_cast<const SourceNode>(input);
    if (!source || !mapsPixelCentresOntoCentres(transform))
        return nullptr;
    Graphics::Rect window =
        source->window().isInfinite() ? source->window() : transform.applyToRect(source->window());
    if (!isWholePixelWindow(window))
        return nullptr;
    return std::make_shared<SourceNode>(
        source->bitmap(), Graphics::AffineTransform::concat(source->placement(), transform), window);
}

NodePtr foldCropIntoSource(const NodePtr& input, const Graphics::Rect& rect) {
    auto source = std::dynamic_pointer_cast<const SourceNode>(input);
    Graphics::Rect standard = rect.standardized();
    if (!source || !isWholePixelWindow(standard))
        return nullptr;
    return std::make_shared<SourceNode>(source->bitmap(), source->placement(),
                                        source->window().intersection(standard));
}

} // namespace ImageEngine
