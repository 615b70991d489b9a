#include "python/batch/parallel.hpp"

#include <sched.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <utility>

namespace cobalis::batch {
namespace {

thread_local std::int64_t parallel_nanoseconds = 0;

// What the threads of one run_tasks call share. A helper that the system
// starts late may find every task taken, and the call already returned: it
// then touches nothing but this, which it co-owns, and ends.
struct Tasks {
    Tasks(std::size_t count, const std::function<void(std::size_t)>& task) noexcept : count(count), task(task) {}

    // Takes tasks until none is left.
    void work() noexcept {
        for (std::size_t i; (i = next.fetch_add(1)) < count;) {
            if (!failed.load(std::memory_order_relaxed)) {
                try {
                    task(i);
                } catch (...) {
                    failed.store(true, std::memory_order_relaxed);
                }
            }
            const std::lock_guard lock(mutex);
            if (++finished == count) all_finished.notify_all();
        }
    }

    const std::size_t count;
    const std::function<void(std::size_t)>& task;  // used only for a task taken, so before the call returns
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::mutex mutex;
    std::condition_variable all_finished;
    std::size_t finished = 0;
};

}  // namespace

std::int64_t take_parallel_nanoseconds() noexcept { return std::exchange(parallel_nanoseconds, 0); }

int usable_cores() noexcept {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return std::max(1, CPU_COUNT(&set));
    return static_cast<int>(std::max(1u, std::thread::hardware_concurrency()));
}

bool run_tasks(std::size_t count, int threads, const std::function<void(std::size_t)>& task) noexcept {
    const auto start = std::chrono::steady_clock::now();
    std::shared_ptr<Tasks> tasks;
    try {
        tasks = std::make_shared<Tasks>(count, task);
    } catch (...) {
        return false;
    }
    // The helpers are not joined: the call waits for the tasks, not for
    // helpers that a busy system has not got round to starting, which find
    // nothing left to do once they run.
    const std::size_t helpers = std::min(count, static_cast<std::size_t>(std::max(threads, 1))) - (count != 0);
    for (std::size_t i = 0; i < helpers; ++i) {
        try {
            std::thread([tasks] { tasks->work(); }).detach();
        } catch (...) {
            break;  // out of threads: the ones started, and this one, do the work
        }
    }
    tasks->work();
    {
        std::unique_lock lock(tasks->mutex);
        tasks->all_finished.wait(lock, [&] { return tasks->finished == count; });
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    parallel_nanoseconds += std::chrono::duration_cast<std::chrono::nanoseconds>(elapsed).count();
    return !tasks->failed.load();
}

}  // namespace cobalis::batch
