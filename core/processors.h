// How many processors this process may run on, and independent work spread over them.
#pragma once

#include <cstddef>
#include <functional>

namespace vlo {

// The processors the process may be scheduled on (its affinity: taskset, a container's cpuset), at
// least 1. Work split across threads beyond this count only waits for a processor.
unsigned AvailableProcessors();

// Calls work(i) once for every i in [0, count), on up to `threads` threads, the calling thread one of
// them; returns when every call has returned. Indices are taken in increasing order as threads come
// free, so calls must not depend on each other. A thread that cannot be created leaves its share to
// the others.
void ForEachIndex(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& work);

}  // namespace vlo
