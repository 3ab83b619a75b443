#include <Foundation/Cache.h>
#include <Foundation/Dispatch.h>
#include <atomic>
#include <gtest/gtest.h>
#include <latch>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace Foundation;

namespace {

struct Key {
    std::string name;
};
struct CachedValue {
    int number = 0;
};

std::shared_ptr<Key> key(const char* name) {
    return std::make_shared<Key>(Key{name});
}
std::shared_ptr<CachedValue> value(int n) {
    return std::make_shared<CachedValue>(CachedValue{n});
}

} // namespace

TEST(Cache, KeysMatchByIdentityAndStayAliveWhileCached) {
    Cache<Key, CachedValue> cache;
    auto first = key("same");
    auto second = key("same");
    std::weak_ptr<Key> weakFirst = first;
    cache.setObject(first, value(1));
    EXPECT_EQ(cache.objectForKey(second), nullptr);
    cache.setObject(second, value(2));
    EXPECT_EQ(cache.objectForKey(first)->number, 1);
    EXPECT_EQ(cache.objectForKey(second)->number, 2);

    cache.setObject(first, value(3));
    EXPECT_EQ(cache.objectForKey(first)->number, 3);
    EXPECT_EQ(cache.count(), 2u);

    first.reset();
    EXPECT_FALSE(weakFirst.expired());
    cache.setObject(weakFirst.lock(), nullptr);
    EXPECT_TRUE(weakFirst.expired());
    EXPECT_EQ(cache.objectForKey(nullptr), nullptr);
}

TEST(Cache, OverTheCostLimitTheLeastRecentlyUsedGoFirst) {
    Cache<Key, CachedValue> cache;
    cache.setTotalCostLimit(10);
    auto a = key("a"), b = key("b"), c = key("c"), huge = key("huge");
    cache.setObject(a, value(1), 4);
    cache.setObject(b, value(2), 4);
    ASSERT_NE(cache.objectForKey(a), nullptr); // a is now the most recent
    cache.setObject(c, value(3), 4);
    EXPECT_EQ(cache.objectForKey(b), nullptr);
    EXPECT_NE(cache.objectForKey(a), nullptr);
    EXPECT_NE(cache.objectForKey(c), nullptr);
    EXPECT_EQ(cache.totalCost(), 8u);

    // An object dearer than the whole budget cannot stay, and takes the rest with it.
    cache.setObject(huge, value(4), 11);
    EXPECT_EQ(cache.count(), 0u);
    EXPECT_EQ(cache.totalCost(), 0u);
}

TEST(Cache, OverTheCountLimitTheLeastRecentlyUsedGoFirst) {
    Cache<Key, CachedValue> cache;
    auto a = key("a"), b = key("b"), c = key("c");
    cache.setCountLimit(2);
    cache.setObject(a, value(1), 100);
    cache.setObject(b, value(2), 100);
    cache.setObject(c, value(3), 100);
    EXPECT_EQ(cache.objectForKey(a), nullptr);
    cache.setCountLimit(1);
    EXPECT_EQ(cache.count(), 1u);
    EXPECT_NE(cache.objectForKey(c), nullptr);
}

// A value whose destructor uses caches must not deadlock however it is released.
TEST(Cache, ValuesAreReleasedOutsideTheLock) {
    struct Reentrant {
        Cache<Key, Reentrant>* cache;
        ~Reentrant() { cache->setObject(std::make_shared<Key>(), nullptr); }
    };
    Cache<Key, Reentrant> cache;
    cache.setCountLimit(1);
    auto a = key("a"), b = key("b");
    cache.setObject(a, std::make_shared<Reentrant>(Reentrant{&cache}));
    cache.setObject(b, std::make_shared<Reentrant>(Reentrant{&cache})); // evicts a
    cache.setObject(b, std::make_shared<Reentrant>(Reentrant{&cache})); // replaces b
    purgeCachesForMemoryPressure();
    EXPECT_EQ(cache.count(), 0u);
    cache.setObject(a, std::make_shared<Reentrant>(Reentrant{&cache}));
    cache.removeAllObjects();
    EXPECT_EQ(cache.count(), 0u);
}

TEST(Cache, ConcurrentReadersWritersAndPurgesKeepItConsistent) {
    Cache<Key, CachedValue> cache;
    cache.setCountLimit(8);
    std::vector<std::shared_ptr<Key>> keys;
    for (int i = 0; i < 16; ++i) {
        keys.push_back(key("k"));
    }
    std::atomic<int> wrongValue{0};
    parallelFor(4000, [&](std::size_t i) {
        const std::size_t k = (i * 7) % keys.size();
        switch (i % 5) {
        case 0:
        case 1:
            cache.setObject(keys[k], value(static_cast<int>(k)), 1);
            break;
        case 2:
            cache.removeObjectForKey(keys[k]);
            break;
        case 3:
            if (i % 100 == 3) {
                purgeCachesForMemoryPressure();
            }
            break;
        default:
            if (auto v = cache.objectForKey(keys[k]); v && v->number != static_cast<int>(k)) {
                ++wrongValue;
            }
        }
    });
    EXPECT_EQ(wrongValue, 0);
    EXPECT_LE(cache.count(), 8u);
    EXPECT_EQ(cache.totalCost(), cache.count());
}

// Caches made and destroyed while another thread purges must neither be missed by a purge nor be
// touched after they are gone (the sanitizer builds see the latter).
TEST(Cache, CachesComingAndGoingDuringPurgesAreAllPurged) {
    std::atomic<bool> stop{false};
    std::atomic<long> purges{0};
    std::latch purging(1);
    std::thread purger([&] {
        purging.count_down();
        while (!stop) {
            purgeCachesForMemoryPressure();
            ++purges;
        }
    });
    purging.wait();
    int wrongValues = 0;
    for (int i = 0; i < 200; ++i) {
        Cache<Key, CachedValue> cache;
        auto k = key("a");
        cache.setObject(k, value(i));
        // Either still there with its own value, or purged.
        if (auto v = cache.objectForKey(k); v && v->number != i) {
            ++wrongValues;
        }
    }
    EXPECT_EQ(wrongValues, 0);

    // A cache made while purges run is reached by a purge that starts after it was filled.
    Cache<Key, CachedValue> survivor;
    auto k = key("b");
    survivor.setObject(k, value(1));
    const long seen = purges.load();
    while (purges.load() < seen + 2) {
        std::this_thread::yield();
    }
    stop = true;
    purger.join();
    EXPECT_EQ(survivor.objectForKey(k), nullptr);
    EXPECT_EQ(survivor.count(), 0u);
}
