// How many processors this process may run on.
#pragma once

namespace vlo {

// The processors the process may be scheduled on (its affinity: taskset, a container's cpuset), at
// least 1. Work split across threads beyond this count only waits for a processor.
unsigned AvailableProcessors();

}  // namespace vlo
