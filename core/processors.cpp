#include "core/processors.h"

#include <algorithm>
#include <atomic>
#include <system_error>
#include <thread>
#include <vector>

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

void ForEachIndex(std::size_t count, unsigned threads, const std::function<void(std::size_t)>& work) {
    std::atomic<std::size_t> next{0};
    auto run = [&] {
        for (std::size_t i; (i = next++) < count;) work(i);
    };
    std::vector<std::thread> helpers;
    const std::size_t wanted = std::min<std::size_t>(std::max(threads, 1u), count);
    try {
        while (helpers.size() + 1 < wanted) helpers.emplace_back(run);
    } catch (const std::system_error&) {
        // Fewer threads than asked for: the ones there are take every index.
    }
    run();
    for (std::thread& t : helpers) t.join();
}

}  // namespace vlo
