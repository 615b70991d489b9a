#include "python/batch/parallel.hpp"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace cobalis::batch {

int usable_cores() noexcept {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return std::max(1u, std::thread::hardware_concurrency());
}

bool run_tasks(std::size_t count, int threads, const std::function<void(std::size_t)>& task) noexcept {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    auto work = [&]() noexcept {
        for (std::size_t i; !failed.load(std::memory_order_relaxed) && (i = next.fetch_add(1)) < count;) {
            try {
                task(i);
            } catch (...) {
                failed.store(true, std::memory_order_relaxed);
            }
        }
    };
    const std::size_t helpers = std::min(count, static_cast<std::size_t>(std::max(threads, 1))) - (count != 0);
    std::vector<std::thread> started;
    try {
        started.reserve(helpers);
        while (started.size() < helpers) started.emplace_back(work);
    } catch (...) {
        // Out of threads or memory: the threads that did start, and this one, do the work.
    }
    work();
    for (std::thread& thread : started) thread.join();
    return !failed.load();
}

}  // namespace cobalis::batch
