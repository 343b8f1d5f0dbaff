// Any bytes into the VLA reader: findings, never a crash.
#include <cstdint>
#include <span>

#include "format/vla_reader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto result = vlo::ReadVla(std::span<const std::uint8_t>(data, size));
    if (result.Valid() && result.animation.frames.size() != result.animation.header.numFrames) __builtin_trap();
    return 0;
}
