#pragma once

#include <Foundation/Export.h>
#include <cstddef>
#include <list>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace Foundation {

// Empties every live Cache, as the platform does when memory runs short; what was cached is
// rebuilt by its users on the next miss. Values are released after the caches' locks are
// dropped, so a value's destructor may use caches. Any thread may call it.
RUX_API void purgeCachesForMemoryPressure();

namespace detail {

// Lets purgeCachesForMemoryPressure reach every cache whatever its types.
class RUX_API PurgeableCache {
public:
    PurgeableCache() = default;
    virtual ~PurgeableCache();
    PurgeableCache(const PurgeableCache&) = delete;
    PurgeableCache& operator=(const PurgeableCache&) = delete;
    // Empties the cache and hands back what it held, to be released by the caller unlocked.
    virtual std::shared_ptr<void> takeAll() = 0;

protected:
    // The derived constructor calls enroll() last and its destructor unregister() first, so a
    // purge on another thread never reaches a half-built or half-destroyed cache. Calling
    // unregister() twice is harmless.
    void enroll();
    void unregister();

private:
    bool m_registered = false; // guarded by the registry's mutex
};

} // namespace detail

// A cache of objects keyed by object identity: two keys match only if they are the same object.
// The cache keeps its keys and values alive while they are in it (so a key's address cannot be
// reused by another object while its entry exists). With a cost or count limit, storing past
// the limit evicts the least recently used entries, the new one last. All functions are safe to
// call from any thread at the same time; values are released outside the cache's lock.
//
//   Cache<Recipe, Picture> thumbnails;
//   if (auto picture = thumbnails.objectForKey(recipe)) ...; else thumbnails.setObject(recipe, built);
template <class Key, class Value>
class Cache final : public detail::PurgeableCache {
public:
    Cache() { enroll(); }
    ~Cache() override { unregister(); }

    // The value stored under key, or nullptr if there is none (or key is nullptr). A hit makes
    // the entry the most recently used. The caller shares ownership of what it returns.
    std::shared_ptr<Value> objectForKey(const std::shared_ptr<Key>& key) {
        if (!key) {
            return nullptr;
        }
        std::lock_guard lock(m_mutex);
        auto it = m_index.find(key.get());
        if (it == m_index.end()) {
            return nullptr;
        }
        m_entries.splice(m_entries.begin(), m_entries, it->second);
        return it->second->value;
    }

    // Stores value under key with the given cost, replacing what was there; a nullptr value
    // removes the entry and a nullptr key is ignored.
    void setObject(const std::shared_ptr<Key>& key, std::shared_ptr<Value> value, std::size_t cost = 0) {
        if (!key) {
            return;
        }
        std::vector<Entry> released;
        {
            std::lock_guard lock(m_mutex);
            eraseLocked(key.get(), released);
            if (value) {
                m_entries.push_front(Entry{key, std::move(value), cost});
                m_index.emplace(key.get(), m_entries.begin());
                m_totalCost += cost;
                evictLocked(released);
            }
        }
    }

    void removeObjectForKey(const std::shared_ptr<Key>& key) { setObject(key, nullptr); }

    void removeAllObjects() { auto released = takeAll(); }

    // 0 means no limit. Lowering a limit evicts at once.
    std::size_t totalCostLimit() const {
        std::lock_guard lock(m_mutex);
        return m_totalCostLimit;
    }
    void setTotalCostLimit(std::size_t limit) {
        std::vector<Entry> released;
        std::lock_guard lock(m_mutex);
        m_totalCostLimit = limit;
        evictLocked(released);
    }
    std::size_t countLimit() const {
        std::lock_guard lock(m_mutex);
        return m_countLimit;
    }
    void setCountLimit(std::size_t limit) {
        std::vector<Entry> released;
        std::lock_guard lock(m_mutex);
        m_countLimit = limit;
        evictLocked(released);
    }

    std::size_t count() const {
        std::lock_guard lock(m_mutex);
        return m_entries.size();
    }
    std::size_t totalCost() const {
        std::lock_guard lock(m_mutex);
        return m_totalCost;
    }

    std::shared_ptr<void> takeAll() override {
        auto taken = std::make_shared<std::list<Entry>>();
        std::lock_guard lock(m_mutex);
        taken->swap(m_entries);
        m_index.clear();
        m_totalCost = 0;
        return taken;
    }

private:
    struct Entry {
        std::shared_ptr<Key> key;
        std::shared_ptr<Value> value;
        std::size_t cost;
    };

    // Caller holds m_mutex; moves the removed entry into released so it dies unlocked.
    void eraseLocked(const Key* key, std::vector<Entry>& released) {
        auto it = m_index.find(key);
        if (it == m_index.end()) {
            return;
        }
        m_totalCost -= it->second->cost;
        released.push_back(std::move(*it->second));
        m_entries.erase(it->second);
        m_index.erase(it);
    }

    // Caller holds m_mutex.
    void evictLocked(std::vector<Entry>& released) {
        while (!m_entries.empty() && ((m_totalCostLimit > 0 && m_totalCost > m_totalCostLimit) ||
                                      (m_countLimit > 0 && m_entries.size() > m_countLimit))) {
            eraseLocked(m_entries.back().key.get(), released);
        }
    }

    mutable std::mutex m_mutex;
    // All guarded by m_mutex. m_entries is most recently used first.
    std::list<Entry> m_entries;
    std::unordered_map<const Key*, typename std::list<Entry>::iterator> m_index;
    std::size_t m_totalCost = 0;
    std::size_t m_totalCostLimit = 0;
    std::size_t m_countLimit = 0;
};

} // namespace Foundation
