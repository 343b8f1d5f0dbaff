// Reading and validating VLA animation files: header, per-frame records, marker records. The reader
// never trusts the bytes: counts are checked against the file size before anything is read.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "format/vla_animation.h"
#include "format/vlo_reader.h"

namespace vlo {

struct VlaReadResult {
    VlaAnimation animation;  // the records read; text-only fields stay empty
    std::uint64_t fileSize = 0;
    std::vector<Finding> findings;
    bool Valid() const;
};

// Parses and checks: magic and constant words, the exact file size for the counts, flag bits, finite
// root tracks with rotations in [0, 2 pi], finite unit-length quaternions, finite marker positions.
VlaReadResult ReadVla(std::span<const std::uint8_t> bytes);

// True when the bytes start like a VLA file.
bool LooksLikeVla(std::span<const std::uint8_t> bytes);

}  // namespace vlo
