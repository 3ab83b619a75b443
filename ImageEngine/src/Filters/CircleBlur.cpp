// Filters::stretchedMask and Filters::circleBlur: the circle blur as three nodes of a recipe, a grey
// mask drawn from a picture stretched into a rectangle, an integer Gaussian of the photo, and the
// sharp photo painted over the blurred one through the mask.
//
// All three work on sRGB-encoded bytes, as a render to a bitmap gives them, since the integer
// kernel's pixels are defined on bytes. Each still renders as any node does (decoded to linear
// light); between themselves, and to a render whose last step they are, they hand bytes on.
#include "Convolution/RowSums.h"
#include "Filters/Nodes.h"
#include "Pipeline/EncodedNode.h"

#include <Foundation/Log.h>
#include <ImageEngine/Convolution.h>
#include <algorithm>
#include <cmath>

namespace ImageEngine {

IntegerKernel integerGaussianKernel(int taps) {
    IntegerKernel kernel;
    taps = std::max(1, taps | 1);
    const int half = (taps - 1) / 2;
    const double sigma = half / 3.0;
    kernel.weights.resize(static_cast<std::size_t>(taps));
    for (int i = 0; i < taps; ++i) {
        // For a single tap sigma is 0 and the centre's 0/0 would be NaN; it is the whole kernel.
        double weight =
            half == 0 ? 255.0 : 255.0 * std::exp(-double(i - half) * (i - half) / (2 * sigma * sigma));
        kernel.weights[static_cast<std::size_t>(i)] = static_cast<std::int16_t>(weight);
        kernel.divisor += kernel.weights[static_cast<std::size_t>(i)];
    }
    return kernel;
}

namespace {

// Beyond this many taps a tile's margin would dwarf the tile; no photograph's circle blur comes near
// it (8 % of the shorter side of a 50000-pixel picture).
constexpr int kMaximumTaps = 4095;

// input's bytes over tile's rect: handed on by an encoded node, otherwise rendered and encoded exactly
// as a render to a bitmap encodes them.
void renderEncodedInput(const Node& input, const ByteTile& tile, RenderState& state) {
    if (copyEncodedSource(input, tile.rect(), [&tile](int y) { return tile.row(y); }))
        return;
    const auto* encoded = dynamic_cast<const EncodedNode*>(&input);
    if (encoded && input.bounds().contains(tile.rect())) {
        encoded->renderEncoded(tile, state);
        return;
    }
    std::unique_ptr<ScratchPool::Buffer> holder;
    const PixelSpan pixels = state.fetchInput(input, tile.rect(), holder);
    for (int y = tile.rect().y; y < tile.rect().maxY(); ++y)
        Simd::encodeRgba8(pixels.at(tile.rect().x, y), static_cast<std::size_t>(tile.rect().w), tile.row(y));
}

// ---- The mask -----------------------------------------------------------------------------------

// White everywhere, with the art drawn stretched into target (recipe coordinates): each pixel centre
// samples the art bilinearly, its edges repeated, and the art's luma lies over the white by the art's
// alpha. Opaque grey.
class StretchedMaskNode final : public EncodedNode {
public:
    StretchedMaskNode(std::shared_ptr<const Graphics::Bitmap> art, const Graphics::Rect& target)
        : EncodedNode(Graphics::Rect::infinite()), m_art(std::move(art)), m_target(target) {
        // The art's samples are worked out once rather than four times for every pixel of every
        // render, unless the art is so large that the table would outweigh it.
        if (!m_art || m_target.isEmpty() ||
            static_cast<std::size_t>(m_art->width()) * static_cast<std::size_t>(m_art->height()) >
                kMostTabled)
            return;
        m_samples.reserve(static_cast<std::size_t>(m_art->width()) *
                          static_cast<std::size_t>(m_art->height()));
        for (int y = 0; y < m_art->height(); ++y)
            for (int x = 0; x < m_art->width(); ++x)
                m_samples.push_back(sampleOf(*m_art, x, y));
    }

    void renderEncoded(const ByteTile& tile, RenderState&) const override {
        const PixelRect& rect = tile.rect();
        for (int y = rect.y; y < rect.maxY(); ++y)
            std::fill(tile.row(y), tile.row(y) + static_cast<std::size_t>(rect.w) * 4, 255);
        if (!m_art || m_target.isEmpty())
            return;
        if (m_samples.empty()) {
            draw(tile, [this](int x, int y) { return sampleOf(*m_art, x, y); });
        } else {
            const auto width = static_cast<std::size_t>(m_art->width());
            draw(tile, [this, width](int x, int y) {
                return m_samples[static_cast<std::size_t>(y) * width + static_cast<std::size_t>(x)];
            });
        }
    }

private:
    // An art pixel's alpha, and its grey (the engine's luma weights for colour art) times its alpha,
    // in 0 … 1.
    struct Sample {
        double alpha, premultiplied;
    };
    static constexpr std::size_t kMostTabled = std::size_t(1) << 18;

    static Sample sampleOf(const Graphics::Bitmap& art, int x, int y) {
        const std::uint8_t* p = art.row(y) + static_cast<std::size_t>(x) * art.bytesPerPixel();
        if (art.format() == Graphics::PixelFormat::Gray8)
            return {1.0, p[0] / 255.0};
        const double level = (0.2125 * p[0] + 0.7154 * p[1] + 0.0721 * p[2]) / 255.0;
        const double alpha = art.alphaInfo() == Graphics::AlphaInfo::NoneSkipLast ? 1.0 : p[3] / 255.0;
        return {alpha, level * alpha};
    }

    // The art drawn into tile, sampleAt(x, y) giving the art pixel at column x and row y.
    template <typename SampleAt>
    void draw(const ByteTile& tile, SampleAt sampleAt) const {
        const PixelRect& rect = tile.rect();
        const int artWidth = m_art->width(), artHeight = m_art->height();
        // The pixels whose squares meet the target, clipped to the tile in floating point first: a
        // target far off the picture must not overflow the conversion to pixel indices.
        auto clip = [](double v, int low, int high) {
            return static_cast<int>(std::clamp(v, double(low), double(high)));
        };
        const int x0 = clip(std::floor(m_target.minX()), rect.x, rect.maxX());
        const int x1 = clip(std::ceil(m_target.maxX()), rect.x, rect.maxX());
        const int y0 = clip(std::floor(m_target.minY()), rect.y, rect.maxY());
        const int y1 = clip(std::ceil(m_target.maxY()), rect.y, rect.maxY());
        if (x0 >= x1 || y0 >= y1)
            return;
        const double sx = artWidth / m_target.width(), sy = artHeight / m_target.height();
        // Each pixel centre samples the art bilinearly, its edges repeated; the art's columns and the
        // weight of the second are the same on every row.
        struct Column {
            int first, second;
            double weight;
        };
        std::vector<Column> columns(static_cast<std::size_t>(x1 - x0));
        for (int x = x0; x < x1; ++x) {
            const double u = (x + 0.5 - m_target.minX()) * sx - 0.5;
            const int u0 = static_cast<int>(std::floor(u));
            columns[static_cast<std::size_t>(x - x0)] = {std::clamp(u0, 0, artWidth - 1),
                                                         std::clamp(u0 + 1, 0, artWidth - 1), u - u0};
        }
        for (int y = y0; y < y1; ++y) {
            // The art's memory row 0 is its top, at the target's top edge.
            const double v = (m_target.maxY() - (y + 0.5)) * sy - 0.5;
            const int v0 = static_cast<int>(std::floor(v));
            const double fv = v - v0;
            const int top = std::clamp(v0, 0, artHeight - 1), bottom = std::clamp(v0 + 1, 0, artHeight - 1);
            std::uint8_t* p = tile.row(y) + static_cast<std::size_t>(x0 - rect.x) * 4;
            for (const Column& column : columns) {
                const double fu = column.weight;
                const Sample s00 = sampleAt(column.first, top), s10 = sampleAt(column.second, top);
                const Sample s01 = sampleAt(column.first, bottom), s11 = sampleAt(column.second, bottom);
                auto mix = [&](double c00, double c10, double c01, double c11) {
                    return (c00 * (1 - fu) + c10 * fu) * (1 - fv) + (c01 * (1 - fu) + c11 * fu) * fv;
                };
                const double alpha = mix(s00.alpha, s10.alpha, s01.alpha, s11.alpha);
                const double level =
                    mix(s00.premultiplied, s10.premultiplied, s01.premultiplied, s11.premultiplied) +
                    (1 - alpha);
                const auto byte = static_cast<std::uint8_t>(std::lround(std::clamp(level, 0.0, 1.0) * 255));
                p[0] = p[1] = p[2] = byte;
                p += 4;
            }
        }
    }

    std::shared_ptr<const Graphics::Bitmap> m_art;
    Graphics::Rect m_target;
    std::vector<Sample> m_samples; // the art's, row by row, when tabled
};

// ---- The convolution ----------------------------------------------------------------------------

// The integer kernel down the columns and then along the rows of the input's bytes over whole, the
// pixels beyond whole's edges repeating its edge pixels, rounded to bytes after each pass: the same
// bytes as convolveSeparably over a render of whole, one tile at a time.
class IntegerBlurNode final : public EncodedNode {
public:
    IntegerBlurNode(const NodePtr& input, const PixelRect& whole, IntegerKernel kernel)
        : EncodedNode(Graphics::Rect(whole.x, whole.y, whole.w, whole.h), {input}), m_whole(whole),
          m_kernel(std::move(kernel)), m_half(static_cast<int>(m_kernel.weights.size()) / 2),
          m_inverseDivisor(1.0f / static_cast<float>(m_kernel.divisor)) {}

    PixelRect regionOfInterest(std::size_t, const PixelRect& rect) const override {
        return rect.grownBy(m_half).intersection(m_whole);
    }

    // Each tile reads its input over the tile grown by the kernel's reach on every side. Tiles as wide
    // as the photo need no margin across (the vertical pass then computes no column twice), and four
    // reaches high they render the input about 1.5 times over rather than 3.4 times in the default
    // tiles, for a photo's blur (163 taps), while a Save still splits into enough tiles for every
    // thread.
    TileSize preferredTileSize() const override {
        // Whole bands of the vertical pass: a band's margin rows are widened once per band.
        const int height = (std::clamp(4 * m_half, 0, 1024) + Convolution::kBandRows - 1) /
                           Convolution::kBandRows * Convolution::kBandRows;
        return {std::min(m_whole.w, 4096), height};
    }

    void renderEncoded(const ByteTile& tile, RenderState& state) const override {
        renderEncoded(tile, nullptr, state);
    }

    // The same, with the input's own bytes over the tile copied into sharp when given: they are read
    // for the blur anyway.
    void renderEncoded(const ByteTile& tile, const ByteTile* sharp, RenderState& state) const {
        using namespace Convolution;
        const PixelRect& rect = tile.rect();
        const int taps = static_cast<int>(m_kernel.weights.size());
        const std::int16_t* weights = m_kernel.weights.data();
        // The source: the tile grown by the kernel's reach, within whole (edges repeat beyond it).
        const PixelRect sourceRect = rect.grownBy(m_half).intersection(m_whole);
        ByteTile source(state.scratch(), sourceRect);
        renderEncodedInput(*inputs()[0], source, state);
        if (sharp) {
            const std::size_t offset = static_cast<std::size_t>(rect.x - sourceRect.x) * 4;
            for (int y = rect.y; y < rect.maxY(); ++y)
                std::copy(source.row(y) + offset,
                          source.row(y) + offset + static_cast<std::size_t>(rect.w) * 4, sharp->row(y));
        }

        // Vertical pass over the source's columns and the tile's rows, band by band.
        const PixelRect middleRect{sourceRect.x, rect.y, sourceRect.w, rect.h};
        ByteTile middle(state.scratch(), middleRect);
        const std::size_t middleLength = static_cast<std::size_t>(middleRect.w) * 4;
        for (int y0 = rect.y; y0 < rect.maxY(); y0 += kBandRows) {
            // Band row j is source row y0 − half + j, clamped to whole.
            convolveBandVertically(
                [&](int j) { return source.row(std::clamp(y0 - m_half + j, m_whole.y, m_whole.maxY() - 1)); },
                std::min(rect.maxY(), y0 + kBandRows) - y0, middleLength, weights, taps, m_inverseDivisor,
                [&](int i) { return middle.row(y0 + i); });
        }

        // Horizontal pass: each middle row padded to the tile's reach with its edge pixels where whole
        // ends.
        PaddedRow padded(static_cast<std::size_t>(rect.w + 2 * m_half), taps);
        const auto before = static_cast<std::size_t>(middleRect.x - (rect.x - m_half));
        for (int y = rect.y; y < rect.maxY(); ++y)
            padded.convolve(middle.row(y), static_cast<std::size_t>(middleRect.w), before, weights,
                            m_inverseDivisor, static_cast<std::size_t>(rect.w), tile.row(y));
    }

private:
    PixelRect m_whole;
    IntegerKernel m_kernel;
    int m_half;
    float m_inverseDivisor;
};

// ---- The blend ----------------------------------------------------------------------------------

// The sharp picture painted over the blurred one with opacity 1 − the mask's grey (its green byte),
// opaque, over whole.
class SharpOverBlurredNode final : public EncodedNode {
public:
    SharpOverBlurredNode(std::vector<NodePtr> sharpBlurredMask, const PixelRect& whole)
        : EncodedNode(Graphics::Rect(whole.x, whole.y, whole.w, whole.h), std::move(sharpBlurredMask)) {}

    void renderEncoded(const ByteTile& tile, RenderState& state) const override {
        const PixelRect& rect = tile.rect();
        ByteTile sharp(state.scratch(), rect), mask(state.scratch(), rect);
        if (const auto* blur = dynamic_cast<const IntegerBlurNode*>(inputs()[1].get())) {
            blur->renderEncoded(tile, &sharp, state);
        } else {
            renderEncodedInput(*inputs()[0], sharp, state);
            renderEncodedInput(*inputs()[1], tile, state);
        }
        renderEncodedInput(*inputs()[2], mask, state);
        for (int y = rect.y; y < rect.maxY(); ++y) {
            const std::uint8_t* s = sharp.row(y);
            const std::uint8_t* m = mask.row(y);
            std::uint8_t* out = tile.row(y);
            // Each blurred byte is read before it is written. A white mask leaves the blurred pixel
            // as it is, and a black one over an opaque sharp pixel gives the sharp pixel: the sums
            // below would round to the same bytes.
            for (int x = 0; x < rect.w; ++x) {
                if (m[4 * x + 1] == 255) {
                    out[4 * x + 3] = 255;
                    continue;
                }
                if (m[4 * x + 1] == 0 && s[4 * x + 3] == 255) {
                    std::copy(s + 4 * x, s + 4 * x + 4, out + 4 * x);
                    continue;
                }
                const int coverage = 255 - m[4 * x + 1];
                const int sharpAlpha = s[4 * x + 3] * coverage / 255;
                for (int c = 0; c < 3; ++c) {
                    int v = (s[4 * x + c] * coverage + out[4 * x + c] * (255 - sharpAlpha) + 127) / 255;
                    out[4 * x + c] = static_cast<std::uint8_t>(std::min(v, 255));
                }
                out[4 * x + 3] = 255;
            }
        }
    }
};

// The whole pixels of an extent whose edges lie within a millionth of a whole pixel of one, rounded
// outward: the residues of quarter turns (about 1e-16) must not add a row. Empty when the extent is
// empty, infinite or beyond the engine's pixel range.
PixelRect wholePixelsOf(const Graphics::Rect& extent) {
    if (extent.isNull() || extent.isEmpty() || extent.isInfinite())
        return {};
    auto snap = [](double v) {
        double nearest = std::round(v);
        return std::abs(v - nearest) < 1e-6 ? nearest : v;
    };
    const double x0 = std::floor(snap(extent.minX())), y0 = std::floor(snap(extent.minY()));
    const double x1 = std::ceil(snap(extent.maxX())), y1 = std::ceil(snap(extent.maxY()));
    if (!(std::abs(x0) < kPixelBound && std::abs(y0) < kPixelBound && x1 - x0 < kPixelBound &&
          y1 - y0 < kPixelBound))
        return {};
    return {static_cast<int>(x0), static_cast<int>(y0), static_cast<int>(x1 - x0), static_cast<int>(y1 - y0)};
}

// The bitmap behind a recipe made with Image::createWithBitmap, or nullptr for any other recipe.
std::shared_ptr<const Graphics::Bitmap> bitmapOf(const ImagePtr& image) {
    return image ? sourceBitmapOf(image->node()) : nullptr;
}

class StretchedMaskFilter final : public EngineFilter {
public:
    StretchedMaskFilter() : EngineFilter(Filters::stretchedMask) {}

protected:
    void declareInputs() override {
        declareInput(Inputs::image, InputKind::Image, ImagePtr{}, {},
                     "the art, a bitmap's recipe; dark keeps the photo sharp; nil gives a plain white mask");
        declareInput(Inputs::rectangle, InputKind::Rectangle, Vector::make(0, 0, 0, 0), {},
                     "x, y, width, height where the art is stretched; an empty one leaves the mask white");
    }
    ImagePtr build() const override {
        ImagePtr art = imageInput(Inputs::image);
        std::shared_ptr<const Graphics::Bitmap> bitmap = bitmapOf(art);
        if (art && !bitmap) {
            Foundation::log("ImageEngine: %s takes a bitmap's recipe as its art", name().c_str());
            return nullptr;
        }
        const Vector v = vectorInput(Inputs::rectangle);
        Graphics::Rect target(v.values[0], v.values[1], v.values[2], v.values[3]);
        return imageWithNode(std::make_shared<StretchedMaskNode>(std::move(bitmap), target.standardized()));
    }
};

class CircleBlurFilter final : public EngineFilter {
public:
    CircleBlurFilter() : EngineFilter(Filters::circleBlur) {}

protected:
    void declareInputs() override {
        declareInput(
            Inputs::image, InputKind::Image, ImagePtr{}, {},
            "the photo, blurred over its whole pixels; nil or an infinite extent gives a nil output");
        declareInput(
            Inputs::maskImage, InputKind::Image, ImagePtr{}, {},
            "its green channel's byte: 0 keeps the photo sharp, 255 shows it blurred; nil gives a nil "
            "output");
        declareInput(
            Inputs::kernelSize, InputKind::Number, 1.0, {1, kMaximumTaps},
            "taps of the integer Gaussian, made odd upwards; 1 or fewer leaves the photo sharp, more "
            "than 4095 blurs as 4095");
    }
    ImagePtr build() const override {
        NodePtr input = nodeOf(imageInput(Inputs::image));
        NodePtr mask = nodeOf(imageInput(Inputs::maskImage));
        if (!input || !mask)
            return nullptr;
        const PixelRect whole = wholePixelsOf(input->extent());
        if (whole.isEmpty()) {
            Foundation::log("ImageEngine: %s needs a photo of finite, non-empty extent", name().c_str());
            return nullptr;
        }
        const double size = numberInput(Inputs::kernelSize);
        const int taps = size >= 1 ? static_cast<int>(std::min(size, double(kMaximumTaps))) : 1;
        IntegerKernel kernel = integerGaussianKernel(taps);
        // A single tap blurs nothing: the photo is its own blurred picture.
        NodePtr blurred = kernel.weights.size() > 1
                              ? std::make_shared<IntegerBlurNode>(input, whole, std::move(kernel))
                              : input;
        return imageWithNode(
            std::make_shared<SharpOverBlurredNode>(std::vector<NodePtr>{input, blurred, mask}, whole));
    }
};

} // namespace

std::shared_ptr<Filter> makeStretchedMaskFilter() {
    return makePreparedFilter<StretchedMaskFilter>();
}

std::shared_ptr<Filter> makeCircleBlurFilter() {
    return makePreparedFilter<CircleBlurFilter>();
}

} // namespace ImageEngine
