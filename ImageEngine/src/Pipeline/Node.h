#pragma once

#include "Pipeline/ContentKey.h"

#include <Graphics/Geometry.h>
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace ImageEngine {

// A rectangle of whole pixels, y up: pixel (x, y) covers [x, x + 1) × [y, y + 1).
struct PixelRect {
    int x = 0, y = 0, w = 0, h = 0;

    bool isEmpty() const { return w <= 0 || h <= 0; }
    int maxX() const { return x + w; }
    int maxY() const { return y + h; }
    PixelRect intersection(const PixelRect& o) const {
        int x0 = std::max(x, o.x), y0 = std::max(y, o.y);
        int x1 = std::min(maxX(), o.maxX()), y1 = std::min(maxY(), o.maxY());
        if (x1 <= x0 || y1 <= y0)
            return {};
        return {x0, y0, x1 - x0, y1 - y0};
    }
    PixelRect unionWith(const PixelRect& o) const {
        if (isEmpty())
            return o;
        if (o.isEmpty())
            return *this;
        int x0 = std::min(x, o.x), y0 = std::min(y, o.y);
        int x1 = std::max(maxX(), o.maxX()), y1 = std::max(maxY(), o.maxY());
        return {x0, y0, x1 - x0, y1 - y0};
    }
    PixelRect grownBy(int d) const { return {x - d, y - d, w + 2 * d, h + 2 * d}; }
    bool contains(const PixelRect& o) const {
        return o.x >= x && o.y >= y && o.maxX() <= maxX() && o.maxY() <= maxY();
    }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};

// Pixel coordinates are kept well inside int range so that growing a rect by a blur's reach or
// mapping it through a matrix cannot overflow; infinite extents clamp to this.
constexpr int kPixelBound = 1 << 29;

// The pixels an extent touches (rounded outward), clamped to the engine's pixel bound; empty for
// a null or empty extent.
PixelRect pixelBounds(const Graphics::Rect& extent);

// A view of float RGBA pixels, linear light, premultiplied: row 0 is the rect's bottom row (min y),
// `stride` floats from one row to the next.
struct PixelSpan {
    float* data = nullptr;
    std::size_t stride = 0;
    PixelRect rect;

    float* row(int y) const { return data + static_cast<std::size_t>(y - rect.y) * stride; }
    float* at(int x, int y) const { return row(y) + static_cast<std::size_t>(x - rect.x) * 4; }
};

// Zeroes every pixel of span.
void clearSpan(const PixelSpan& span);
// Copies the part of src that lies in dst's rect (which src must cover).
void copySpan(const PixelSpan& src, const PixelSpan& dst);

class RenderState;

// One step of a recipe. Immutable once built, so one graph is rendered by many threads at once.
class Node {
public:
    explicit Node(Graphics::Rect extent, std::vector<std::shared_ptr<const Node>> inputs = {})
        : m_extent(extent), m_bounds(pixelBounds(extent)), m_inputs(std::move(inputs)) {}
    virtual ~Node() = default;

    // Where the node is defined; transparent black elsewhere.
    const Graphics::Rect& extent() const { return m_extent; }
    // The whole pixels that may be non-transparent.
    const PixelRect& bounds() const { return m_bounds; }
    const std::vector<std::shared_ptr<const Node>>& inputs() const { return m_inputs; }

    // The rect input `index` must supply so that render() can fill `rect` (region of interest).
    // Callers clip it to the input's bounds.
    virtual PixelRect regionOfInterest(std::size_t index, const PixelRect& rect) const {
        (void)index;
        return rect;
    }
    // Fills out.rect (inside bounds()) with this node's pixels, fetching inputs through state.
    virtual void render(const PixelSpan& out, RenderState& state) const = 0;
    // The smallest tile this node works well in, 0 for any: a node that reads a wide margin around
    // each tile repeats less of its inputs' work in larger tiles.
    struct TileSize {
        int width = 0, height = 0;
    };
    virtual TileSize preferredTileSize() const { return {}; }
    // The input whose pixels this node hands on unchanged over rect, so that a consumer may read
    // them in place; nullptr where it changes them.
    virtual const Node* passesThrough(const PixelRect& rect) const {
        (void)rect;
        return nullptr;
    }
    // Whether a render computes this node once, over everything its tiles need of it, before the
    // tiles start, so that every tile reads it instead of computing its own part with margins: for
    // small pictures (a coarse grid) that each tile reads with a wide margin of its input.
    virtual bool isRenderWide() const { return false; }
    // Writes into key what decides this node's pixels besides its inputs' pixels and its extent (its
    // numbers, the shared objects it reads), so that a picture computed from it can be recognised in
    // a later render of a graph built apart. False when it cannot say; then nothing computed from it
    // is kept across renders.
    virtual bool describe(ContentKey& key) const {
        (void)key;
        return false;
    }

private:
    Graphics::Rect m_extent;
    PixelRect m_bounds;
    std::vector<std::shared_ptr<const Node>> m_inputs;
};

using NodePtr = std::shared_ptr<const Node>;

// The input as it is, computed once per render (see Node::isRenderWide); nullptr for a null input.
NodePtr makeRenderWideNode(const NodePtr& input);

// Page-backed float memory for the scratch pools, mapped and unmapped directly so that what a pool
// gives back leaves the process at once (the allocator would keep large freed blocks in its arenas).
// Every live block counts towards scratchBytesHeld().
class ScratchStorage {
public:
    // Throws std::bad_alloc when the system has no memory left, like any allocation.
    explicit ScratchStorage(std::size_t floats);
    ~ScratchStorage();
    ScratchStorage(const ScratchStorage&) = delete;
    ScratchStorage& operator=(const ScratchStorage&) = delete;
    float* data() const { return m_data; }
    std::size_t floats() const { return m_floats; }
    std::size_t bytes() const { return m_bytes; }

private:
    float* m_data = nullptr;
    std::size_t m_floats = 0;
    std::size_t m_bytes = 0;
};

// The bytes of every ScratchStorage alive in the process.
std::size_t scratchBytesHeld();

// Float buffers for one thread's tiles, reused across tiles and renders so that the hot path
// does not allocate. What a render leaves behind is trimmed when the thread's part of the render
// ends, so a large render does not pin its memory for the rest of the session.
class ScratchPool {
public:
    class Buffer {
    public:
        Buffer(ScratchPool& pool, std::size_t floats);
        ~Buffer();
        Buffer(const Buffer&) = delete;
        Buffer& operator=(const Buffer&) = delete;
        float* data() const { return m_storage->data(); }
        PixelSpan span(const PixelRect& rect) const {
            return {data(), static_cast<std::size_t>(rect.w) * 4, rect};
        }

    private:
        ScratchPool& m_pool;
        std::unique_ptr<ScratchStorage> m_storage;
    };

    // The pool of the calling thread.
    static ScratchPool& forThisThread();

    // Frees idle buffers, largest first, until those kept take at most maxBytes.
    void trim(std::size_t maxBytes);

private:
    std::vector<std::unique_ptr<ScratchStorage>> m_free;
};

// The pixels of a render-wide node over rect, in memory of their own so that they may outlive the
// render that computed them, with the key of the graph they came from.
class KeptPixels {
public:
    KeptPixels(ContentKey key, const PixelRect& rect);
    const ContentKey& key() const { return m_key; }
    const PixelRect& rect() const { return m_rect; }
    PixelSpan span() const { return {m_pixels.get(), static_cast<std::size_t>(m_rect.w) * 4, m_rect}; }
    std::size_t bytes() const {
        return static_cast<std::size_t>(m_rect.w) * static_cast<std::size_t>(m_rect.h) * 4 * sizeof(float);
    }

private:
    ContentKey m_key;
    PixelRect m_rect;
    std::unique_ptr<float[]> m_pixels;
};

// The pixels of the render-wide nodes of one render, each over all that the render needs of it.
// Filled before the tiles start and only read while they run, so the tiles' threads share it
// without a lock. Its memory comes from the pool of the thread that makes it, which must also be
// the one to clear it or let it go.
class RenderWideStore {
public:
    RenderWideStore() : m_pool(ScratchPool::forThisThread()) {}
    // The kept pixels of node, or nullptr when it has none.
    const PixelSpan* find(const Node* node) const;
    // Memory for node's pixels over rect, kept until the store is cleared or goes.
    PixelSpan add(const Node* node, const PixelRect& rect);
    // node's pixels from memory that outlives the store (computed now or in an earlier render).
    void add(const Node* node, std::shared_ptr<const KeptPixels> pixels);
    // Hands every node's memory back to the pool.
    void clear() { m_entries.clear(); }

private:
    struct Entry {
        const Node* node;
        std::unique_ptr<ScratchPool::Buffer> buffer;
        std::shared_ptr<const KeptPixels> kept;
        PixelSpan span;
    };
    ScratchPool& m_pool;
    std::vector<Entry> m_entries;
};

// Render-wide pictures kept from one render to the next, so that a render whose grid depends on
// nothing that changed (a slider step on an edit after it) reads the grid instead of computing it
// again. Found by the key of their graph and the rect they cover; the least recently used go first
// once they hold more than their budget. Any thread may use it.
class RenderWideCache {
public:
    explicit RenderWideCache(std::size_t maxBytes) : m_maxBytes(maxBytes) {}
    // Pixels of a graph with key's content over a rect that covers rect, or nullptr.
    std::shared_ptr<const KeptPixels> find(const ContentKey& key, const PixelRect& rect);
    // Keeps pixels in place of any kept under the same key; nothing larger than the budget is kept.
    void keep(std::shared_ptr<const KeptPixels> pixels);
    std::size_t bytes() const;
    std::size_t count() const;

private:
    struct Entry {
        std::shared_ptr<const KeptPixels> pixels;
        std::uint64_t lastUse;
    };
    mutable std::mutex m_mutex;
    std::vector<Entry> m_entries;
    std::uint64_t m_clock = 0;
    std::size_t m_bytes = 0;
    std::size_t m_maxBytes;
};

// What a render knows before it starts: every node of the graph once, inputs after the nodes that
// use them, and which nodes feed more than one consumer (those are computed once per tile).
class RenderPlan {
public:
    explicit RenderPlan(const NodePtr& root);
    const NodePtr& root() const { return m_root; }
    const std::vector<const Node*>& order() const { return m_order; }
    // Index of node in order(), for the per-tile tables.
    std::size_t indexOf(const Node* node) const;
    bool isShared(std::size_t index) const { return m_shared[index]; }
    // The largest preferredTileSize of the graph's nodes, in each direction.
    Node::TileSize preferredTileSize() const { return m_preferredTileSize; }
    // The render-wide nodes, each after the ones it reads.
    const std::vector<NodePtr>& renderWideNodes() const { return m_renderWide; }

private:
    NodePtr m_root;
    std::vector<NodePtr> m_renderWide;
    std::vector<const Node*> m_order;
    std::vector<bool> m_shared;
    std::vector<std::pair<const Node*, std::size_t>> m_index; // sorted by node
    Node::TileSize m_preferredTileSize;
};

// One tile's render: the region each node must supply and the pixels of the shared nodes.
// Belongs to one thread. The nodes found in store are read from it, and nothing below them is
// computed.
class RenderState {
public:
    RenderState(const RenderPlan& plan, const PixelRect& tile, const RenderWideStore* store = nullptr);
    ~RenderState();

    // What the tile needs of node, one of the plan's.
    PixelRect demandOf(const Node& node) const;

    // Fills out with input's pixels: transparent outside its bounds; a shared input is computed once
    // over the union of what its consumers ask for, then copied.
    void renderInput(const Node& input, const PixelSpan& out);
    // input's pixels over rect, for reading only: a view into the tile's pixels of a shared input
    // (directly or through nodes that pass it on) when they cover rect, so nothing is copied;
    // otherwise rendered into a scratch buffer that holder keeps alive.
    PixelSpan fetchInput(const Node& input, const PixelRect& rect,
                         std::unique_ptr<ScratchPool::Buffer>& holder);
    // input's pixels over rect when the render holds them whole (a kept picture) and rect lies inside
    // input's bounds: a view for reading only, so that a per-pixel step reads them where they are
    // instead of copying them first. nullptr otherwise.
    const PixelSpan* heldPixels(const Node& input, const PixelRect& rect) const {
        return input.bounds().contains(rect) ? stored(input, rect) : nullptr;
    }
    // Whether renderInput of input over rect, inside input's bounds, would render input there anew
    // rather than copy pixels kept or shared: then a consumer may read input's own pixels itself.
    bool rendersAnew(const Node& input, const PixelRect& rect) const;
    ScratchPool& scratch() { return m_scratch; }

private:
    // The pixels of shared node index over its whole demand, computed on first use.
    PixelSpan ensureCached(std::size_t index);

    // The kept pixels of node when they cover rect, else nullptr.
    const PixelSpan* stored(const Node& node, const PixelRect& rect) const;

    const RenderPlan& m_plan;
    const RenderWideStore* m_store;
    ScratchPool& m_scratch;
    std::vector<PixelRect> m_demand;
    // Whether more than one consumer needs the node in this tile.
    std::vector<bool> m_shared;
    std::vector<std::unique_ptr<ScratchPool::Buffer>> m_cached;
};

} // namespace ImageEngine
