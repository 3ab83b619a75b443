#include "Pipeline/Node.h"

#include <atomic>
#include <cmath>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <unistd.h>
#include <unordered_map>

namespace ImageEngine {

PixelRect pixelBounds(const Graphics::Rect& extent) {
    if (extent.isEmpty())
        return {};
    auto clampCoordinate = [](double v) {
        return static_cast<int>(
            std::clamp(v, -static_cast<double>(kPixelBound), static_cast<double>(kPixelBound)));
    };
    int x0 = clampCoordinate(std::floor(extent.minX())), x1 = clampCoordinate(std::ceil(extent.maxX()));
    int y0 = clampCoordinate(std::floor(extent.minY())), y1 = clampCoordinate(std::ceil(extent.maxY()));
    if (x1 <= x0 || y1 <= y0)
        return {};
    return {x0, y0, x1 - x0, y1 - y0};
}

void clearSpan(const PixelSpan& span) {
    for (int y = span.rect.y; y < span.rect.maxY(); ++y)
        std::memset(span.row(y), 0, static_cast<std::size_t>(span.rect.w) * 4 * sizeof(float));
}

void copySpan(const PixelSpan& src, const PixelSpan& dst) {
    for (int y = dst.rect.y; y < dst.rect.maxY(); ++y)
        std::memcpy(dst.row(y), src.at(dst.rect.x, y),
                    static_cast<std::size_t>(dst.rect.w) * 4 * sizeof(float));
}

namespace {

std::atomic<std::size_t> g_scratchBytes{0};

} // namespace

ScratchStorage::ScratchStorage(std::size_t floats) : m_floats(floats) {
    const std::size_t page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    m_bytes = (std::max<std::size_t>(floats, 1) * sizeof(float) + page - 1) / page * page;
    void* memory = mmap(nullptr, m_bytes, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory == MAP_FAILED)
        throw std::bad_alloc();
    m_data = static_cast<float*>(memory);
    g_scratchBytes.fetch_add(m_bytes, std::memory_order_relaxed);
}

ScratchStorage::~ScratchStorage() {
    munmap(m_data, m_bytes);
    g_scratchBytes.fetch_sub(m_bytes, std::memory_order_relaxed);
}

std::size_t scratchBytesHeld() {
    return g_scratchBytes.load(std::memory_order_relaxed);
}

ScratchPool::Buffer::Buffer(ScratchPool& pool, std::size_t floats) : m_pool(pool) {
    // The smallest idle buffer that is large enough; a new one when none is (the pool stays small,
    // so a scan is cheap).
    auto best = pool.m_free.end();
    for (auto it = pool.m_free.begin(); it != pool.m_free.end(); ++it)
        if ((*it)->floats() >= floats && (best == pool.m_free.end() || (*it)->floats() < (*best)->floats()))
            best = it;
    if (best != pool.m_free.end()) {
        m_storage = std::move(*best);
        pool.m_free.erase(best);
    } else {
        if (!pool.m_free.empty()) {
            // Replace the largest idle buffer, which is too small anyway, so the pool does not grow
            // by one buffer for every size it meets.
            auto largest =
                std::max_element(pool.m_free.begin(), pool.m_free.end(),
                                 [](const auto& a, const auto& b) { return a->floats() < b->floats(); });
            pool.m_free.erase(largest);
        }
        m_storage = std::make_unique<ScratchStorage>(floats);
    }
}

ScratchPool::Buffer::~Buffer() {
    m_pool.m_free.push_back(std::move(m_storage));
}

ScratchPool& ScratchPool::forThisThread() {
    thread_local ScratchPool pool;
    return pool;
}

void ScratchPool::trim(std::size_t maxBytes) {
    std::sort(m_free.begin(), m_free.end(),
              [](const auto& a, const auto& b) { return a->bytes() < b->bytes(); });
    std::size_t kept = 0;
    std::size_t count = 0;
    while (count < m_free.size() && kept + m_free[count]->bytes() <= maxBytes)
        kept += m_free[count++]->bytes();
    m_free.resize(count);
}

namespace {

class RenderWideNode final : public Node {
public:
    explicit RenderWideNode(const NodePtr& input) : Node(input->extent(), {input}) {}
    void render(const PixelSpan& out, RenderState& state) const override {
        state.renderInput(*inputs()[0], out);
    }
    bool isRenderWide() const override { return true; }
    bool describe(ContentKey&) const override { return true; }
};

} // namespace

NodePtr makeRenderWideNode(const NodePtr& input) {
    return input ? std::make_shared<RenderWideNode>(input) : nullptr;
}

const PixelSpan* RenderWideStore::find(const Node* node) const {
    for (const Entry& entry : m_entries)
        if (entry.node == node)
            return &entry.span;
    return nullptr;
}

PixelSpan RenderWideStore::add(const Node* node, const PixelRect& rect) {
    auto buffer = std::make_unique<ScratchPool::Buffer>(m_pool, static_cast<std::size_t>(rect.w) *
                                                                    static_cast<std::size_t>(rect.h) * 4);
    const PixelSpan span = buffer->span(rect);
    m_entries.push_back({node, std::move(buffer), nullptr, span});
    return span;
}

void RenderWideStore::add(const Node* node, std::shared_ptr<const KeptPixels> pixels) {
    const PixelSpan span = pixels->span();
    m_entries.push_back({node, nullptr, std::move(pixels), span});
}

KeptPixels::KeptPixels(ContentKey key, const PixelRect& rect)
    : m_key(std::move(key)), m_rect(rect),
      m_pixels(std::make_unique_for_overwrite<float[]>(static_cast<std::size_t>(rect.w) *
                                                       static_cast<std::size_t>(rect.h) * 4)) {}

std::shared_ptr<const KeptPixels> RenderWideCache::find(const ContentKey& key, const PixelRect& rect) {
    std::lock_guard lock(m_mutex);
    for (Entry& entry : m_entries) {
        if (entry.pixels->rect().contains(rect) && entry.pixels->key().matches(key)) {
            entry.lastUse = ++m_clock;
            return entry.pixels;
        }
    }
    return nullptr;
}

void RenderWideCache::keep(std::shared_ptr<const KeptPixels> pixels) {
    if (!pixels || pixels->bytes() > m_maxBytes)
        return;
    std::lock_guard lock(m_mutex);
    // Pixels under the same key are a stale (or smaller) copy; entries whose objects are gone can
    // never be found again.
    std::erase_if(m_entries, [&](const Entry& entry) {
        const bool drop = !entry.pixels->key().objectsAlive() || entry.pixels->key().matches(pixels->key());
        if (drop)
            m_bytes -= entry.pixels->bytes();
        return drop;
    });
    while (!m_entries.empty() && m_bytes + pixels->bytes() > m_maxBytes) {
        auto oldest = std::min_element(m_entries.begin(), m_entries.end(),
                                       [](const Entry& a, const Entry& b) { return a.lastUse < b.lastUse; });
        m_bytes -= oldest->pixels->bytes();
        m_entries.erase(oldest);
    }
    m_bytes += pixels->bytes();
    m_entries.push_back({std::move(pixels), ++m_clock});
}

std::size_t RenderWideCache::bytes() const {
    std::lock_guard lock(m_mutex);
    return m_bytes;
}

std::size_t RenderWideCache::count() const {
    std::lock_guard lock(m_mutex);
    return m_entries.size();
}

RenderPlan::RenderPlan(const NodePtr& root) : m_root(root) {
    // Count the consumers of each node, then order the nodes so that every node comes after all
    // nodes that use it (Kahn's algorithm from the root), which lets a single sweep settle each
    // node's region of interest before it is passed on to its inputs.
    std::unordered_map<const Node*, int> consumers;
    std::vector<const Node*> stack{root.get()};
    consumers[root.get()] = 0;
    while (!stack.empty()) {
        const Node* node = stack.back();
        stack.pop_back();
        for (const NodePtr& input : node->inputs()) {
            auto [it, fresh] = consumers.try_emplace(input.get(), 0);
            ++it->second;
            if (fresh)
                stack.push_back(input.get());
        }
    }
    std::unordered_map<const Node*, int> remaining = consumers;
    std::vector<const Node*> ready{root.get()};
    while (!ready.empty()) {
        const Node* node = ready.back();
        ready.pop_back();
        m_order.push_back(node);
        m_shared.push_back(consumers[node] > 1);
        m_preferredTileSize.width = std::max(m_preferredTileSize.width, node->preferredTileSize().width);
        m_preferredTileSize.height = std::max(m_preferredTileSize.height, node->preferredTileSize().height);
        for (const NodePtr& input : node->inputs())
            if (--remaining[input.get()] == 0)
                ready.push_back(input.get());
    }
    for (std::size_t i = 0; i < m_order.size(); ++i)
        m_index.emplace_back(m_order[i], i);
    std::sort(m_index.begin(), m_index.end());
    // Inputs come after their consumers, so the reversed order puts each render-wide node after
    // the ones it reads.
    std::unordered_map<const Node*, NodePtr> owners{{root.get(), root}};
    for (const Node* node : m_order)
        for (const NodePtr& input : node->inputs())
            owners.try_emplace(input.get(), input);
    for (auto it = m_order.rbegin(); it != m_order.rend(); ++it)
        if ((*it)->isRenderWide())
            m_renderWide.push_back(owners[*it]);
}

std::size_t RenderPlan::indexOf(const Node* node) const {
    auto it = std::lower_bound(m_index.begin(), m_index.end(), std::make_pair(node, std::size_t{0}));
    return it->second;
}

RenderState::RenderState(const RenderPlan& plan, const PixelRect& tile, const RenderWideStore* store)
    : m_plan(plan), m_store(store), m_scratch(ScratchPool::forThisThread()), m_demand(plan.order().size()),
      m_shared(plan.order().size()), m_cached(plan.order().size()) {
    // Propagate the tile's region of interest down the graph; a node's demand is complete once all
    // of its consumers (earlier in the order) have added theirs. A kept node (other than the one
    // this state renders) asks nothing of its inputs.
    std::vector<int> consumers(plan.order().size());
    m_demand[0] = tile.intersection(plan.root()->bounds());
    for (std::size_t i = 0; i < plan.order().size(); ++i) {
        const Node* node = plan.order()[i];
        if (m_demand[i].isEmpty() || (i > 0 && stored(*node, m_demand[i])))
            continue;
        for (std::size_t k = 0; k < node->inputs().size(); ++k) {
            const Node* input = node->inputs()[k].get();
            PixelRect need = node->regionOfInterest(k, m_demand[i]).intersection(input->bounds());
            if (need.isEmpty())
                continue;
            std::size_t j = plan.indexOf(input);
            m_demand[j] = m_demand[j].unionWith(need);
            ++consumers[j];
        }
    }
    for (std::size_t i = 0; i < consumers.size(); ++i)
        m_shared[i] = consumers[i] > 1 && plan.isShared(i);
}

RenderState::~RenderState() = default;

PixelRect RenderState::demandOf(const Node& node) const {
    return m_demand[m_plan.indexOf(&node)];
}

const PixelSpan* RenderState::stored(const Node& node, const PixelRect& rect) const {
    if (!m_store)
        return nullptr;
    const PixelSpan* span = m_store->find(&node);
    return span && span->rect.contains(rect) ? span : nullptr;
}

PixelSpan RenderState::ensureCached(std::size_t index) {
    const PixelRect& demand = m_demand[index];
    if (!m_cached[index]) {
        auto buffer = std::make_unique<ScratchPool::Buffer>(
            m_scratch, static_cast<std::size_t>(demand.w) * static_cast<std::size_t>(demand.h) * 4);
        m_plan.order()[index]->render(buffer->span(demand), *this);
        m_cached[index] = std::move(buffer);
    }
    return m_cached[index]->span(demand);
}

void RenderState::renderInput(const Node& input, const PixelSpan& out) {
    PixelRect inside = out.rect.intersection(input.bounds());
    if (inside != out.rect)
        clearSpan(out);
    if (inside.isEmpty())
        return;
    PixelSpan target{out.at(inside.x, inside.y), out.stride, inside};
    if (const PixelSpan* kept = stored(input, inside)) {
        copySpan(*kept, target);
        return;
    }
    std::size_t index = m_plan.indexOf(&input);
    if (!m_shared[index] || !m_demand[index].contains(inside)) {
        input.render(target, *this);
        return;
    }
    copySpan(ensureCached(index), target);
}

bool RenderState::rendersAnew(const Node& input, const PixelRect& rect) const {
    if (!input.bounds().contains(rect) || stored(input, rect))
        return false;
    const std::size_t index = m_plan.indexOf(&input);
    return !m_shared[index] || !m_demand[index].contains(rect);
}

PixelSpan RenderState::fetchInput(const Node& input, const PixelRect& rect,
                                  std::unique_ptr<ScratchPool::Buffer>& holder) {
    for (const Node* node = &input; node; node = node->passesThrough(rect)) {
        if (const PixelSpan* kept = stored(*node, rect); kept && node->bounds().contains(rect))
            return {kept->at(rect.x, rect.y), kept->stride, rect};
        std::size_t index = m_plan.indexOf(node);
        if (!m_shared[index])
            continue;
        if (node->bounds().contains(rect) && m_demand[index].contains(rect)) {
            PixelSpan cached = ensureCached(index);
            return {cached.at(rect.x, rect.y), cached.stride, rect};
        }
        break;
    }
    holder = std::make_unique<ScratchPool::Buffer>(m_scratch, static_cast<std::size_t>(rect.w) *
                                                                  static_cast<std::size_t>(rect.h) * 4);
    PixelSpan span = holder->span(rect);
    renderInput(input, span);
    return span;
}

} // namespace ImageEngine
