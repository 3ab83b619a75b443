#include "Pipeline/Node.h"
#include "Pipeline/Srgb.h"

#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <ImageEngine/Context.h>
#include <atomic>
#include <cmath>
#include <new>

namespace ImageEngine {

namespace {

// 128 × 128 float pixels are 256 KB: a tile and the blur's margins stay in the second-level cache.
constexpr int kDefaultTileSize = 128;

// Into [0, 1], NaN to 0: a NaN that reached a table index or a byte conversion would be undefined.
float unitClamp(float v) {
    return v > 0.0f ? (v < 1.0f ? v : 1.0f) : 0.0f;
}

std::uint8_t encodeOpaque(const SrgbTables& tables, float v) {
    v = unitClamp(v);
    return tables.encode16[static_cast<int>(v * 65535.0f + 0.5f)];
}

// Linear premultiplied floats to sRGB premultiplied bytes, rect's top row first.
void encodeTile(const PixelSpan& tile, const PixelRect& target, Graphics::Bitmap& bitmap) {
    const SrgbTables& tables = SrgbTables::get();
    for (int y = tile.rect.y; y < tile.rect.maxY(); ++y) {
        const float* p = tile.row(y);
        std::uint8_t* d =
            bitmap.mutableRow(target.maxY() - 1 - y) + static_cast<std::size_t>(tile.rect.x - target.x) * 4;
        for (int x = 0; x < tile.rect.w; ++x, p += 4, d += 4) {
            float alpha = p[3];
            if (alpha >= 1.0f) {
                d[0] = encodeOpaque(tables, p[0]);
                d[1] = encodeOpaque(tables, p[1]);
                d[2] = encodeOpaque(tables, p[2]);
                d[3] = 255;
            } else if (alpha > 0.0f) {
                // Encoding acts on straight colour; the bytes are premultiplied again afterwards.
                float scale = alpha * 255.0f, inverse = 1.0f / alpha;
                for (int c = 0; c < 3; ++c) {
                    float v = unitClamp(p[c] * inverse);
                    d[c] = static_cast<std::uint8_t>(std::min(srgbEncode(v) * scale + 0.5f, 255.0f));
                }
                d[3] = static_cast<std::uint8_t>(scale + 0.5f);
            } else {
                d[0] = d[1] = d[2] = d[3] = 0;
            }
        }
    }
}

} // namespace

struct Context::State {
    RenderOptions options;
};

std::shared_ptr<Context> Context::create() {
    return std::make_shared<Context>();
}

std::shared_ptr<Context> Context::create(const RenderOptions& options) {
    return std::make_shared<Context>(options);
}

Context::Context(const RenderOptions& options) : m_state(std::make_unique<State>()) {
    m_state->options = options;
    if (m_state->options.tileWidth < 1)
        m_state->options.tileWidth = kDefaultTileSize;
    if (m_state->options.tileHeight < 1)
        m_state->options.tileHeight = kDefaultTileSize;
}

Context::Context() : Context(RenderOptions{}) {}

Context::~Context() = default;

std::shared_ptr<Graphics::Bitmap> Context::createCGImage(const ImagePtr& image,
                                                         const Graphics::Rect& rect) const {
    if (!image || !image->node() || rect.isEmpty() || rect.isInfinite())
        return nullptr;
    Graphics::Rect whole = rect.integral();
    if (!(std::abs(whole.minX()) < kPixelBound && std::abs(whole.minY()) < kPixelBound &&
          whole.width() < kPixelBound && whole.height() < kPixelBound)) {
        Foundation::log("ImageEngine: render rect %g x %g beyond the pixel range", whole.width(),
                        whole.height());
        return nullptr;
    }
    PixelRect target{static_cast<int>(whole.minX()), static_cast<int>(whole.minY()),
                     static_cast<int>(whole.width()), static_cast<int>(whole.height())};
    std::shared_ptr<Graphics::Bitmap> bitmap = Graphics::Bitmap::create(target.w, target.h);
    if (!bitmap)
        return nullptr;

    const RenderOptions& options = m_state->options;
    const RenderPlan plan(image->node());
    const int columns = (target.w + options.tileWidth - 1) / options.tileWidth;
    const int rows = (target.h + options.tileHeight - 1) / options.tileHeight;
    const std::size_t tiles = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    std::atomic<std::size_t> next{0};
    std::atomic<bool> outOfMemory{false};
    // Each worker claims tiles until none are left; tiles never overlap, so they write disjoint
    // parts of the bitmap without a lock.
    auto worker = [&](std::size_t) {
        for (std::size_t index = next++; index < tiles; index = next++)
            try {
                int column = static_cast<int>(index % static_cast<std::size_t>(columns));
                int row = static_cast<int>(index / static_cast<std::size_t>(columns));
                PixelRect tile{target.x + column * options.tileWidth,
                               target.maxY() - (row + 1) * options.tileHeight, options.tileWidth,
                               options.tileHeight};
                tile = tile.intersection(target);
                RenderState state(plan, tile);
                ScratchPool::Buffer buffer(state.scratch(), static_cast<std::size_t>(tile.w) *
                                                                static_cast<std::size_t>(tile.h) * 4);
                PixelSpan span = buffer.span(tile);
                state.renderInput(*plan.root(), span);
                encodeTile(span, target, *bitmap);
            } catch (const std::bad_alloc&) {
                // A recipe can ask for more scratch than there is (a tiny scale reaching back over a
                // huge source): the render fails as a whole rather than leaving holes.
                outOfMemory = true;
                next = tiles;
            }
    };
    std::size_t threads = options.maxThreads > 0 ? static_cast<std::size_t>(options.maxThreads)
                                                 : Foundation::globalQueueThreadCount() + 1;
    threads = std::min(threads, tiles);
    if (threads <= 1)
        worker(0);
    else
        Foundation::parallelFor(threads, worker);
    if (outOfMemory) {
        Foundation::log("ImageEngine: out of memory rendering %d x %d", target.w, target.h);
        return nullptr;
    }
    return bitmap;
}

} // namespace ImageEngine
