#include <Foundation/Cache.h>
#include <Foundation/Dispatch.h>
#include <Foundation/RunLoop.h>
#include <Foundation/UndoManager.h>
#include <benchmark/benchmark.h>
#include <memory>
#include <vector>

using namespace Foundation;

// A task on the shared pool hands its result to the main thread, which is woken and runs it:
// the path every background render and thumbnail takes.
static void PoolToMainThreadHandOver(benchmark::State& state) {
    for (auto _ : state) {
        bool shown = false;
        dispatchAsyncGlobal([&] { performOnMainThread([&] { shown = true; }, Wait::No); });
        RunLoop::main().runUntil([&] { return shown; });
    }
}
BENCHMARK(PoolToMainThreadHandOver)->UseRealTime();

// A pool task waits for the main thread to run a closure, as a render waits for its picture to
// be shown.
static void WaitingHandOverRoundTrip(benchmark::State& state) {
    for (auto _ : state) {
        bool done = false;
        dispatchAsyncGlobal([&] {
            performOnMainThread([] {}, Wait::Yes);
            // Signalled through the loop so the main thread wakes at once rather than at its
            // next look at the condition.
            performOnMainThread([&] { done = true; }, Wait::No);
        });
        RunLoop::main().runUntil([&] { return done; });
    }
}
BENCHMARK(WaitingHandOverRoundTrip)->UseRealTime();

// Fixed cost of spreading small work over the pool (the per-index body is nearly empty).
static void ParallelForOverhead(benchmark::State& state) {
    const auto count = static_cast<std::size_t>(state.range(0));
    std::vector<int> out(count);
    for (auto _ : state) {
        parallelFor(count, [&](std::size_t i) { out[i] = static_cast<int>(i); });
        benchmark::DoNotOptimize(out.data());
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(ParallelForOverhead)->Arg(16)->Arg(1024)->UseRealTime();

struct Key {};
struct Value {
    int n = 0;
};

// Thumbnail lookups: hits on a cache of one entry per look, from one and two threads at once.
static void CacheHit(benchmark::State& state) {
    static Cache<Key, Value> cache;
    static std::vector<std::shared_ptr<Key>> keys = [] {
        std::vector<std::shared_ptr<Key>> k;
        for (int i = 0; i < 14; ++i) {
            k.push_back(std::make_shared<Key>());
            cache.setObject(k.back(), std::make_shared<Value>());
        }
        return k;
    }();
    std::size_t i = static_cast<std::size_t>(state.thread_index());
    for (auto _ : state) {
        benchmark::DoNotOptimize(cache.objectForKey(keys[i++ % keys.size()]));
    }
}
BENCHMARK(CacheHit)->Threads(1)->Threads(2);

// One edit's history step at the full depth of 100: register as its own group, then undo it
// and redo it.
static void UndoStepAtFullHistory(benchmark::State& state) {
    auto undo = UndoManager::create();
    undo->setLevelsOfUndo(100);
    undo->setGroupsByEvent(false);
    auto target = std::make_shared<int>(0);
    std::function<void()> again;
    again = [&] { undo->registerUndo(target, again); };
    for (int i = 0; i < 100; ++i) {
        undo->registerUndo(target, again);
    }
    for (auto _ : state) {
        undo->registerUndo(target, again);
        undo->undo();
        undo->redo();
    }
}
BENCHMARK(UndoStepAtFullHistory);
