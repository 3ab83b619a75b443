#include "Filters/Nodes.h"
#include "Pipeline/EncodedNode.h"
#include "Pipeline/Node.h"
#include "Pipeline/Simd.h"

#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <ImageEngine/Context.h>
#include <atomic>
#include <cmath>
#include <optional>

namespace ImageEngine {

namespace {

// 192 × 192 float pixels are 576 KB. Smaller tiles repeat more of the work in the blur's margins
// (a shared node is computed over the tile grown by the blur's reach), larger ones fall out of the
// second-level cache; the focus-blur chains ran fastest at this size on a 1 MB L2.
constexpr int kDefaultTileSize = 192;

// Linear premultiplied floats to sRGB premultiplied bytes, rect's top row first.
void encodeTile(const PixelSpan& tile, const PixelRect& target, Graphics::Bitmap& bitmap) {
    for (int y = tile.rect.y; y < tile.rect.maxY(); ++y)
        Simd::encodeRgba8(tile.row(y), static_cast<std::size_t>(tile.rect.w),
                          bitmap.mutableRow(target.maxY() - 1 - y) +
                              static_cast<std::size_t>(tile.rect.x - target.x) * 4);
}

// The render-wide nodes of one render keep at most this much memory; those that would go beyond it
// are computed tile by tile instead, as any other node. The editor's grids take a few megabytes, the
// picture below a slider's edit 25 to 40 MB.
constexpr std::size_t kMaxRenderWideBytes = std::size_t{64} << 20;

// Computes the plan's render-wide nodes over all that target needs of each into store, deepest
// first so that each reads the ones below it there. The threads share each node's rows in bands.
// Those whose graph can be described are looked for in cache first, and kept there once computed;
// what only a found one reads is not computed at all.
void computeRenderWideNodes(const RenderPlan& plan, const PixelRect& target, std::size_t threads,
                            RenderWideStore& store, RenderWideCache& cache) {
    if (plan.renderWideNodes().empty())
        return;
    std::vector<std::optional<ContentKey>> keys;
    {
        const RenderState whole(plan, target);
        for (const NodePtr& node : plan.renderWideNodes()) {
            keys.push_back(contentKeyOf(*node));
            const PixelRect demand = whole.demandOf(*node);
            if (!keys.back() || demand.isEmpty())
                continue;
            if (std::shared_ptr<const KeptPixels> kept = cache.find(*keys.back(), demand))
                store.add(node.get(), std::move(kept));
        }
    }
    // What is left to compute, now that the found nodes ask nothing of their inputs.
    const RenderState whole(plan, target, &store);
    std::size_t bytes = 0;
    for (std::size_t n = 0; n < plan.renderWideNodes().size(); ++n) {
        const NodePtr& node = plan.renderWideNodes()[n];
        if (store.find(node.get()))
            continue;
        const PixelRect demand = whole.demandOf(*node);
        const std::size_t size =
            static_cast<std::size_t>(demand.w) * static_cast<std::size_t>(demand.h) * 4 * sizeof(float);
        if (demand.isEmpty() || bytes + size > kMaxRenderWideBytes)
            continue;
        bytes += size;
        const RenderPlan part(node);
        std::shared_ptr<KeptPixels> kept;
        PixelSpan span;
        if (keys[n]) {
            kept = std::make_shared<KeptPixels>(std::move(*keys[n]), demand);
            span = kept->span();
        } else {
            span = store.add(node.get(), demand);
        }
        // A few bands per thread, so that a slow one does not hold the others up.
        const int bandHeight =
            std::max(8, (demand.h + static_cast<int>(threads) * 4 - 1) / (static_cast<int>(threads) * 4));
        const std::size_t bands = static_cast<std::size_t>((demand.h + bandHeight - 1) / bandHeight);
        std::atomic<std::size_t> next{0};
        auto worker = [&](std::size_t) {
            for (std::size_t index = next++; index < bands; index = next++) {
                const int y = demand.y + static_cast<int>(index) * bandHeight;
                const PixelRect band = PixelRect{demand.x, y, demand.w, bandHeight}.intersection(demand);
                RenderState state(part, band, &store);
                node->render({span.at(band.x, band.y), span.stride, band}, state);
            }
            ScratchPool::forThisThread().trim(Context::kKeptScratchBytesPerThread);
        };
        const std::size_t workers = std::min(threads, bands);
        if (workers <= 1)
            worker(0);
        else
            Foundation::parallelFor(workers, worker);
        if (kept) {
            store.add(node.get(), kept);
            cache.keep(std::move(kept));
        }
    }
}

} // namespace

struct Context::State {
    RenderOptions options;
    // Whether the caller left the tile size to the context, so that a graph may ask for larger tiles.
    bool defaultTileSize = false;
    RenderWideCache keptGrids{kKeptRenderWideBytes};
};

std::shared_ptr<Context> Context::create() {
    return std::make_shared<Context>();
}

std::shared_ptr<Context> Context::create(const RenderOptions& options) {
    return std::make_shared<Context>(options);
}

Context::Context(const RenderOptions& options) : m_state(std::make_unique<State>()) {
    m_state->options = options;
    m_state->defaultTileSize = options.tileWidth < 1 && options.tileHeight < 1;
    if (m_state->options.tileWidth < 1)
        m_state->options.tileWidth = kDefaultTileSize;
    if (m_state->options.tileHeight < 1)
        m_state->options.tileHeight = kDefaultTileSize;
}

Context::Context() : Context(RenderOptions{}) {}

Context::~Context() = default;

std::size_t Context::scratchBytesHeld() {
    return ImageEngine::scratchBytesHeld();
}

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

    const RenderPlan plan(image->node());
    RenderOptions options = m_state->options;
    if (m_state->defaultTileSize) {
        options.tileWidth = std::max(options.tileWidth, plan.preferredTileSize().width);
        options.tileHeight = std::max(options.tileHeight, plan.preferredTileSize().height);
    }
    const int columns = (target.w + options.tileWidth - 1) / options.tileWidth;
    const int rows = (target.h + options.tileHeight - 1) / options.tileHeight;
    const std::size_t tiles = static_cast<std::size_t>(columns) * static_cast<std::size_t>(rows);
    const std::size_t threadLimit = options.maxThreads > 0 ? static_cast<std::size_t>(options.maxThreads)
                                                           : Foundation::globalQueueThreadCount() + 1;
    RenderWideStore store;
    computeRenderWideNodes(plan, target, threadLimit, store, m_state->keptGrids);
    const auto* encodedRoot = dynamic_cast<const EncodedNode*>(plan.root().get());
    std::atomic<std::size_t> next{0};
    // Each worker claims tiles until none are left; tiles never overlap, so they write disjoint
    // parts of the bitmap without a lock.
    auto worker = [&](std::size_t) {
        for (std::size_t index = next++; index < tiles; index = next++) {
            int column = static_cast<int>(index % static_cast<std::size_t>(columns));
            int row = static_cast<int>(index / static_cast<std::size_t>(columns));
            PixelRect tile{target.x + column * options.tileWidth,
                           target.maxY() - (row + 1) * options.tileHeight, options.tileWidth,
                           options.tileHeight};
            tile = tile.intersection(target);
            RenderState state(plan, tile, &store);
            // A last step made of bytes gives them as they are, with no decoding and encoding again.
            // A picture that is a bitmap as it is, turned, mirrored, moved or cut by whole pixels has
            // its bytes copied; only rows with translucent pixels go through floats.
            if (copyEncodedSource(*plan.root(), tile, [&](int y) {
                    return bitmap->mutableRow(target.maxY() - 1 - y) +
                           static_cast<std::size_t>(tile.x - target.x) * 4;
                })) {
                continue;
            }
            if (encodedRoot && encodedRoot->bounds().contains(tile)) {
                ByteTile bytes(state.scratch(), tile);
                encodedRoot->renderEncoded(bytes, state);
                for (int y = tile.y; y < tile.maxY(); ++y)
                    std::copy(bytes.row(y), bytes.row(y) + static_cast<std::size_t>(tile.w) * 4,
                              bitmap->mutableRow(target.maxY() - 1 - y) +
                                  static_cast<std::size_t>(tile.x - target.x) * 4);
                continue;
            }
            ScratchPool::Buffer buffer(state.scratch(), static_cast<std::size_t>(tile.w) *
                                                            static_cast<std::size_t>(tile.h) * 4);
            PixelSpan span = buffer.span(tile);
            state.renderInput(*plan.root(), span);
            encodeTile(span, target, *bitmap);
        }
        // A large render must not pin its tiles' memory on this thread for the rest of the
        // session; a few tiles' worth stays so that the next preview does not map it again.
        ScratchPool::forThisThread().trim(kKeptScratchBytesPerThread);
    };
    const std::size_t threads = std::min(threadLimit, tiles);
    if (threads <= 1)
        worker(0);
    else
        Foundation::parallelFor(threads, worker);
    if (!plan.renderWideNodes().empty()) {
        store.clear();
        ScratchPool::forThisThread().trim(kKeptScratchBytesPerThread);
    }
    return bitmap;
}

} // namespace ImageEngine
