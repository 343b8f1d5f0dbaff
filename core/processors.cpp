#include "core/processors.h"

#include <algorithm>
#include <thread>

#ifdef __linux__
#include <sched.h>
#endif

namespace vlo {

unsigned AvailableProcessors() {
#ifdef __linux__
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof set, &set) == 0) return unsigned(std::max(1, CPU_COUNT(&set)));
#endif
    return std::max(1u, std::thread::hardware_concurrency());
}

}  // namespace vlo
