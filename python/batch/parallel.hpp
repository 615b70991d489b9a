// Running the work of one call on several threads at once.
//
// Threads are started for the call (no pool lives between calls, nor across
// a fork); each ends once no task is left.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace cobalis::batch {

// How many cores this process may run on (its CPU affinity mask), at least 1.
int usable_cores() noexcept;

// Runs task(0) ... task(count - 1), each exactly once, on at most `threads`
// threads, the calling one included, and returns once all have run; a thread
// that finishes a task takes the next one not yet started, so a slow core
// holds up no more than one task, and a thread the system has not started
// yet holds up none. Answers false when any task threw (an allocation
// failed); the tasks not yet started then do not run. Where no thread can be
// started, the calling thread runs them all.
bool run_tasks(std::size_t count, int threads, const std::function<void(std::size_t)>& task) noexcept;

// Nanoseconds the calling thread has spent in run_tasks, from threads
// starting to the last one joined, since it last asked (for the benchmark's
// account of how much of a call runs in parallel).
std::int64_t take_parallel_nanoseconds() noexcept;

}  // namespace cobalis::batch
