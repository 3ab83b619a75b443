#pragma once

#include <Foundation/Export.h>
#include <cstddef>
#include <functional>

namespace Foundation {

enum class Wait { No, Yes };

// True on the process's main thread: the thread that ran static initialisation, which is the
// thread that runs the main run loop. Any thread may call it.
RUX_API bool isMainThread();

// Hands a closure to the main thread's run loop. With Wait::Yes from a background thread the
// caller blocks until the main loop has run the closure (so the loop must be driven, and the
// main thread must not be waiting on the caller); with Wait::Yes on the main thread the closure
// runs at once, before this returns. Wait::No only queues it; closures queued by one thread run
// in the order queued. An empty closure is ignored. Any thread may call it.
RUX_API void performOnMainThread(std::function<void()> work, Wait wait);

// The global concurrent queue of high priority: a shared pool of worker threads
// (one per core, at least two) that lives for the whole process. Submission never blocks;
// tasks start in submission order, with no ordering between tasks that run at the same time.
// An exception escaping a task is logged and dropped. Any thread may call it.
RUX_API void dispatchAsyncGlobal(std::function<void()> work);

// Runs body(i) for every i in [0, count) on the shared pool and returns when all have run.
// The calling thread takes part, so calling it from a pool thread cannot deadlock even when
// every worker is busy. body must be safe to call concurrently; it is not used after this
// returns. Any thread may call it.
RUX_API void parallelFor(std::size_t count, const std::function<void(std::size_t)>& body);

// Tasks submitted to the global queue (parallelFor's helpers included) that have not finished
// yet. A host uses it to tell when background work is over: a task's hand-over to the main thread
// is queued before it counts as finished. Any thread.
RUX_API std::size_t globalQueueUnfinishedTaskCount();

// Number of threads the shared pool runs, the caller of parallelFor not counted. Any thread.
RUX_API std::size_t globalQueueThreadCount();

} // namespace Foundation
