#include <Foundation/Dispatch.h>
#include <Foundation/Log.h>
#include <Foundation/RunLoop.h>
#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <memory>
#include <mutex>
#include <pthread.h>
#include <thread>
#include <vector>

namespace Foundation {

namespace {

std::thread::id mainThreadId() {
    static const std::thread::id id = std::this_thread::get_id();
    return id;
}

// Static initialisation runs on the process's initial thread, so touching the id here fixes the
// main thread before any other thread can exist, even if no one asks until much later.
[[maybe_unused]] const bool g_mainThreadRecorded = (mainThreadId(), true);

void runGuarded(const std::function<void()>& work) {
    try {
        work();
    } catch (...) {
        log("Dispatch: a task threw an exception; it was dropped");
    }
}

// The global concurrent queue: one FIFO shared by a fixed set of workers.
class ThreadPool {
public:
    ThreadPool() {
        const unsigned cores = std::thread::hardware_concurrency();
        m_threadCount = std::max<std::size_t>(2, cores);
        for (std::size_t i = 0; i < m_threadCount; ++i) {
            m_threads.emplace_back([this, i] {
                char name[16];
                std::snprintf(name, sizeof name, "rux-global-%zu", i);
                pthread_setname_np(pthread_self(), name);
                work();
            });
        }
    }

    void submit(std::function<void()> task) {
        m_unfinished.fetch_add(1);
        {
            std::lock_guard lock(m_mutex);
            m_queue.push_back(std::move(task));
        }
        m_available.notify_one();
    }

    std::size_t threadCount() const { return m_threadCount; }
    std::size_t unfinished() const { return m_unfinished.load(); }

private:
    void work() {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock lock(m_mutex);
                m_available.wait(lock, [this] { return !m_queue.empty(); });
                task = std::move(m_queue.front());
                m_queue.pop_front();
            }
            runGuarded(task);
            // After the task: whatever it handed to the main thread is queued before the count drops.
            m_unfinished.fetch_sub(1);
        }
    }

    std::size_t m_threadCount = 0;
    std::mutex m_mutex;
    std::condition_variable m_available;
    std::deque<std::function<void()>> m_queue; // guarded by m_mutex
    std::vector<std::thread> m_threads;
    std::atomic<std::size_t> m_unfinished{0};
};

ThreadPool& pool() {
    // Deliberately leaked, never joined: workers may be mid-task while static destructors run.
    static ThreadPool* instance = new ThreadPool;
    return *instance;
}

// One parallelFor call. Shared with the helper tasks, which may start long after the call
// returned (all workers busy) and must then find nothing left to claim.
struct ParallelRange {
    std::size_t count = 0;
    const std::function<void(std::size_t)>* body = nullptr; // valid while finished < count
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> finished{0};

    std::size_t chunk = 1; // indices claimed at a time, so cheap bodies do not fight over next

    // Claims and runs chunks of indices until none are left.
    void drain() {
        for (;;) {
            const std::size_t begin = next.fetch_add(chunk, std::memory_order_relaxed);
            if (begin >= count) {
                return;
            }
            const std::size_t end = std::min(count, begin + chunk);
            for (std::size_t i = begin; i < end; ++i) {
                try {
                    (*body)(i);
                } catch (...) {
                    log("parallelFor: body threw an exception for index %zu", i);
                }
            }
            if (finished.fetch_add(end - begin, std::memory_order_acq_rel) + (end - begin) == count) {
                finished.notify_all();
            }
        }
    }
};

} // namespace

bool isMainThread() {
    return std::this_thread::get_id() == mainThreadId();
}

void performOnMainThread(std::function<void()> work, Wait wait) {
    if (!work) {
        return;
    }
    if (wait == Wait::Yes && isMainThread()) {
        runGuarded(work);
        return;
    }
    if (wait == Wait::No) {
        RunLoop::main().post(std::move(work));
        return;
    }

    struct Completion {
        std::mutex mutex;
        std::condition_variable done;
        bool finished = false; // guarded by mutex
    };
    auto completion = std::make_shared<Completion>();
    // The signal sits in a destructor so that the waiter is released even if work throws.
    struct Signal {
        std::shared_ptr<Completion> completion;
        ~Signal() {
            {
                std::lock_guard lock(completion->mutex);
                completion->finished = true;
            }
            completion->done.notify_all();
        }
    };
    RunLoop::main().post([work = std::move(work), completion] {
        Signal signal{completion};
        work();
    });
    std::unique_lock lock(completion->mutex);
    completion->done.wait(lock, [&] { return completion->finished; });
}

void dispatchAsyncGlobal(std::function<void()> work) {
    if (!work) {
        return;
    }
    pool().submit(std::move(work));
}

void parallelFor(std::size_t count, const std::function<void(std::size_t)>& body) {
    if (count == 0 || !body) {
        return;
    }
    if (count == 1) {
        runGuarded([&] { body(0); });
        return;
    }
    auto range = std::make_shared<ParallelRange>();
    range->count = count;
    range->body = &body;
    const std::size_t helpers = std::min(count - 1, pool().threadCount());
    // A few chunks per thread keep the load balanced when indices differ in cost.
    range->chunk = std::max<std::size_t>(1, count / ((helpers + 1) * 8));
    for (std::size_t i = 0; i < helpers; ++i) {
        pool().submit([range] { range->drain(); });
    }
    // The caller claims whatever the helpers have not, so it only ever waits for indices that
    // are already running on some thread: no deadlock however busy the pool is.
    range->drain();
    for (std::size_t seen = range->finished.load(std::memory_order_acquire); seen < count;
         seen = range->finished.load(std::memory_order_acquire)) {
        range->finished.wait(seen, std::memory_order_acquire);
    }
}

std::size_t globalQueueUnfinishedTaskCount() {
    return pool().unfinished();
}

std::size_t globalQueueThreadCount() {
    return pool().threadCount();
}

} // namespace Foundation
