// Any bytes into the VLO reader: findings, never a crash, and the verdict of an independent reading
// of the layout.
#include <cstdint>
#include <span>

#include "format/vlo_reader.h"
#include "layout_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const auto result = vlo::ReadVlo(bytes);
    // A file the reader accepts holds consistent counts.
    if (result.Valid() && result.model.links.size() != 0 && result.model.links.size() != result.model.vertices.size())
        __builtin_trap();
    if (result.Valid() != layout::VloIsValid(bytes)) __builtin_trap();
    return 0;
}
