#include <Foundation/Cache.h>
#include <algorithm>
#include <mutex>
#include <vector>

namespace Foundation {

namespace {

std::mutex& registryMutex() {
    static std::mutex mutex;
    return mutex;
}

// Every live cache; guarded by registryMutex(). A purge holds that mutex while it empties
// each cache, which is why unregistering waits for a purge in progress.
std::vector<detail::PurgeableCache*>& registry() {
    static std::vector<detail::PurgeableCache*> caches;
    return caches;
}

} // namespace

namespace detail {

void PurgeableCache::enroll() {
    std::lock_guard lock(registryMutex());
    if (!m_registered) {
        registry().push_back(this);
        m_registered = true;
    }
}

PurgeableCache::~PurgeableCache() {
    unregister();
}

void PurgeableCache::unregister() {
    std::lock_guard lock(registryMutex());
    if (m_registered) {
        std::erase(registry(), this);
        m_registered = false;
    }
}

} // namespace detail

void purgeCachesForMemoryPressure() {
    std::vector<std::shared_ptr<void>> released;
    {
        std::lock_guard lock(registryMutex());
        for (detail::PurgeableCache* cache : registry()) {
            released.push_back(cache->takeAll());
        }
    }
    // released goes out of scope here, after the registry lock: values may own caches.
}

} // namespace Foundation
