// Writing VLA animation files: the header, then a record per frame, then a record per marker.
#pragma once

#include <cstdint>
#include <vector>

#include "format/byte_sink.h"
#include "format/vla_animation.h"

namespace vlo {

// Writes the whole file. The animation's vectors must hold what its header counts: numFrames frames,
// numFrames x numBones keys and numMarkers markers of numFrames positions each.
void WriteVla(const VlaAnimation& animation, ByteSink& sink);

// The file's bytes.
std::vector<std::uint8_t> EncodeVla(const VlaAnimation& animation);

}  // namespace vlo
