// Any bytes into the VLO reader: findings, never a crash.
#include <cstdint>
#include <span>

#include "format/vlo_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto result = vlo::ReadVlo(std::span<const std::uint8_t>(data, size));
    // A file the reader accepts holds consistent counts.
    if (result.Valid() && result.model.links.size() != 0 && result.model.links.size() != result.model.vertices.size())
        __builtin_trap();
    return 0;
}
