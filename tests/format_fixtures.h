// Small files of both formats built as data, with every kind of record and values that differ from
// record to record: the starting points of the format and checker tests.
#pragma once

#include "format/vla_animation.h"
#include "format/vlo_model.h"

namespace support {

vlo::TextureName FieldName(const char* text);

// A skinned model with every chunk the format has: 3 bones (one name of 40 characters), 2 textures,
// a sound, 4 vertices with links and tangent frames, 3 polygons, bump and specular maps, 2 markers
// (one name of exactly 32 characters).
vlo::VloModel EveryChunkModel();

// An animation of 2 bones over 4 frames at 24 fps, with key-frame flags, a turning root and 2 markers
// (one name of exactly 32 characters).
vlo::VlaAnimation SmallAnimation();

}  // namespace support
