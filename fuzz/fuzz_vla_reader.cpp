// Any bytes into the VLA reader: findings, never a crash, and the verdict of an independent reading
// of the layout.
#include <cstdint>
#include <span>

#include "format/vla_reader.h"
#include "layout_check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> bytes(data, size);
    const auto result = vlo::ReadVla(bytes);
    if (result.Valid() && result.animation.frames.size() != result.animation.header.numFrames) __builtin_trap();
    if (result.Valid() != layout::VlaIsValid(bytes)) __builtin_trap();
    return 0;
}
