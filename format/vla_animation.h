// A VLA animation as data: the header, a record per frame, a record per marker, plus what only its
// information text shows. The animation pass produces one, the writer turns it into bytes and text,
// the reader gives one back from bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "format/records.h"

namespace vlo {

struct VlaMarkerTrack {
    VlaMarkerHeader header;        // the name, cut to 32 bytes
    std::vector<Vec3> positions;   // one per frame, metres
    bool operator==(const VlaMarkerTrack&) const = default;
};

// What the information text prints that the file does not hold.
struct AnimationTextInfo {
    std::vector<BoneRecord> bones;         // the bone list, lengths in metres
    std::vector<std::string> markerNames;  // the markers' whole names
    std::vector<std::string> boneNames;    // the bones' whole names (the file cuts them to 32 bytes)
    bool operator==(const AnimationTextInfo&) const = default;
};

struct VlaAnimation {
    AnimationHeader header;                // numBones, numFrames, frameRate, numMarkers
    std::vector<VlaFrameHeader> frames;    // numFrames, in frame order
    std::vector<BoneKey> keys;             // numFrames x numBones, frame-major
    std::vector<VlaMarkerTrack> markers;   // numMarkers
    AnimationTextInfo text;
    // How the frames were sampled (not in the file): the first frame on the host's timeline, the
    // ticks per frame, the reference time of the root motion, the turn added to every root rotation
    // (radians) and the scene units per metre.
    struct Sampling {
        int startFrame = 0, ticksPerFrame = 160;
        std::int64_t referenceTime = 0;
        float rootTurn = 0;
        float worldScale = 1;
        bool operator==(const Sampling&) const = default;
    } sampling;

    BoneKey& Key(std::size_t frame, std::size_t bone) { return keys[frame * header.numBones + bone]; }
    const BoneKey& Key(std::size_t frame, std::size_t bone) const { return keys[frame * header.numBones + bone]; }
    // The file's size for the header's counts.
    std::uint64_t FileSize() const;
    bool operator==(const VlaAnimation&) const = default;
};

}  // namespace vlo
