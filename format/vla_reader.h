// Reading and validating VLA animation files: header, per-frame records, marker records.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "format/records.h"
#include "format/vlo_reader.h"

namespace vlo {

struct VlaFrame {
    std::uint32_t flags = 0;
    Vec3 rootPosition;
    float rootRotation = 0;
    std::vector<BoneKey> keys;  // one per bone
};

struct VlaMarker {
    char name[kNameBytes] = {};
    std::vector<Vec3> positions;  // one per frame
};

struct VlaAnimation {
    std::uint64_t fileSize = 0;
    AnimationHeader header;
    std::vector<VlaFrame> frames;
    std::vector<VlaMarker> markers;
};

struct VlaReadResult {
    VlaAnimation animation;
    std::vector<Finding> findings;
    bool Valid() const;
};

// Parses and checks: magic and constant words, the exact file size for the counts, flag bits, finite
// root tracks with rotations in [0, 2 pi], finite unit-length quaternions, finite marker positions.
VlaReadResult ReadVla(std::span<const std::uint8_t> bytes);

// True when the bytes start like a VLA file.
bool LooksLikeVla(std::span<const std::uint8_t> bytes);

}  // namespace vlo
