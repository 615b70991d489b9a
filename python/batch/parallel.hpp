// Running the work of one call on several threads at once.
//
// Threads are started for the call and joined before it returns, so nothing
// is left running between calls (nor across a fork).
#pragma once

#include <cstddef>
#include <functional>

namespace cobalis::batch {

// How many cores this process may run on (its CPU affinity mask), at least 1.
int usable_cores() noexcept;

// Runs task(0) ... task(count - 1), each exactly once, on at most `threads`
// threads, the calling one included; a thread that finishes a task takes the
// next one not yet started, so a slow core holds up no more than one task.
// Answers false when any task threw (an allocation failed); the tasks not yet
// started then do not run. Where no thread can be started, the calling
// thread runs them all.
bool run_tasks(std::size_t count, int threads, const std::function<void(std::size_t)>& task) noexcept;

}  // namespace cobalis::batch
