// Work shared by several threads whose failures come back to the caller: a task that throws
// (the computer runs short of memory in a worker, most often) stops the others and becomes
// an Error, instead of ending the program from a thread nobody waits on.
#pragma once

#include "analysis/ProgressSink.h"
#include "state/Result.h"

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

namespace tavrik {

// The Analysis error of a task that could not get the memory it needed; what names the task
// ("the bootstrap").
Error memoryShortage(const std::string& what);

// Turns what a task threw into an Error naming the task.
Error errorFromException(std::exception_ptr thrown, const std::string& what);

// Runs work() on up to `threads` threads, the caller's among them, and returns when all have
// returned. work must look at `stop` between its pieces and return once it is true; the pool
// sets it when a task throws. A thread that cannot be started leaves its share to the others
// (the results never depend on the number of threads).
template <typename Work>
[[nodiscard]] Status
runOnThreads(unsigned threads, std::atomic<bool>& stop, const std::string& what, Work&& work)
{
    std::mutex guard;
    std::exception_ptr first;
    const auto guarded = [&] {
        try {
            work();
        } catch (...) {
            const std::lock_guard lock(guard);
            if (!first) {
                first = std::current_exception();
            }
            stop.store(true);
        }
    };
    {
        // std::thread, not std::jthread, which not every standard library has yet
        struct Joined
        {
            std::vector<std::thread> threads;
            ~Joined()
            {
                for (std::thread& t : threads) {
                    t.join();
                }
            }
        } pool;
        try {
            pool.threads.reserve(threads > 1 ? threads - 1 : 0);
            for (unsigned w = 1; w < threads; ++w) {
                pool.threads.emplace_back(guarded);
            }
        } catch (const std::system_error&) {
            // fewer threads than asked for: the caller's and those started share the work
        } catch (const std::bad_alloc&) {
        }
        guarded();
    } // joins
    if (first) {
        return errorFromException(first, what);
    }
    return Done{};
}

// Hands [0, count) out in batches of `batch` to up to `threads` threads. Each thread calls
// makeWorker() once and gives what it returns every batch it takes: worker(first, last). Before
// each batch a thread asks the sink whether the user has cancelled; once one has seen it, no
// thread starts another batch, and the stage ends with cancelledRun() after every batch begun
// has ended. With reportSteps, the caller's thread reports the tasks done after each of its
// batches.
template <typename MakeWorker>
[[nodiscard]] Status runBatches(std::size_t count,
                                std::size_t batch,
                                unsigned threads,
                                ProgressSink& progress,
                                bool reportSteps,
                                const std::string& what,
                                MakeWorker&& makeWorker)
{
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    std::atomic<bool> stopped{false};
    std::atomic<bool> cancelled{false};
    const std::thread::id caller = std::this_thread::get_id();
    const auto work = [&] {
        auto worker = makeWorker();
        for (std::size_t first = next.fetch_add(batch); first < count;
             first = next.fetch_add(batch)) {
            if (stopped.load(std::memory_order_relaxed)) {
                return;
            }
            if (progress.cancelled()) {
                cancelled = true;
                stopped = true;
                return;
            }
            const std::size_t last = std::min(count, first + batch);
            worker(first, last);
            const std::size_t finished = done += last - first;
            if (reportSteps && std::this_thread::get_id() == caller) {
                progress.stepProgress(finished, count);
            }
        }
    };
    if (auto st = runOnThreads(threads, stopped, what, work); !st) {
        return st.error();
    }
    if (cancelled) {
        return cancelledRun();
    }
    return Done{};
}

// runBatches of one task each: task(i) for every i in [0, count).
template <typename Task>
[[nodiscard]] Status runEach(std::size_t count,
                             unsigned threads,
                             ProgressSink& progress,
                             bool reportSteps,
                             const std::string& what,
                             Task&& task)
{
    return runBatches(count, 1, threads, progress, reportSteps, what, [&task] {
        return [&task](std::size_t first, std::size_t last) {
            for (std::size_t i = first; i < last; ++i) {
                task(i);
            }
        };
    });
}

} // namespace tavrik
