// Writing VLO model files: the chunks of a VloModel, in file order, with back-patched sizes.
#pragma once

#include <cstdint>
#include <vector>

#include "format/byte_sink.h"
#include "format/vlo_model.h"

namespace vlo {

// Writes the whole file: the file's block header, the object chunk with its header and chunk list.
// Chunks present: hierarchy and vertex links when the model's flags say hierarchy, one texture chunk
// per texture, sound when set, vertices and polygons always, bump map with tangents when a bump map
// is set, specular map when set, markers when there are any.
void WriteVlo(const VloModel& model, ByteSink& sink);

// The file's bytes.
std::vector<std::uint8_t> EncodeVlo(const VloModel& model);

}  // namespace vlo
