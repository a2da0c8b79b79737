// Work shared by several threads whose failures come back to the caller: a task that throws
// (the computer runs short of memory in a worker, most often) stops the others and becomes
// an Error, instead of ending the program from a thread nobody waits on.
#pragma once

#include "state/Result.h"

#include <atomic>
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
        std::vector<std::jthread> pool;
        try {
            pool.reserve(threads > 1 ? threads - 1 : 0);
            for (unsigned w = 1; w < threads; ++w) {
                pool.emplace_back(guarded);
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

} // namespace tavrik
