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

// Parses and checks: magic and constant words, a positive frame rate, the exact file size for the
// counts, flags holding only the four key-frame bits, finite root tracks with rotations in [0, 2 pi],
// finite unit-length quaternions, zero-padded marker names and finite marker positions. Every
// broken rule is an error.
VlaReadResult ReadVla(std::span<const std::uint8_t> bytes);

// True when the bytes start like a VLA file.
bool LooksLikeVla(std::span<const std::uint8_t> bytes);

}  // namespace vlo
