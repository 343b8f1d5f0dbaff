// Per-frame samples of a skeleton: the root's travel and heading, every bone's rotation relative to
// its parent, and the markers' places around the root.
#pragma once

#include <optional>
#include <vector>

#include "core/export_settings.h"
#include "core/export_space.h"
#include "format/records.h"
#include "host/scene.h"

namespace vlo {

// Whole frames of the host's timeline, sampled at frame x ticksPerFrame.
struct FrameRange {
    TimeValue startTime = 0;  // the host's range, in ticks
    int startFrame = 0, endFrame = 0;
    int ticksPerFrame = 160;
    int Count() const { return endFrame - startFrame + 1; }
};

// The time the root motion is measured from: ADDRESS_BALL's frame, else MOUSE_SWING_START's, else the
// start of the host's range. nullopt when that key frame's time does not fit the host's time values.
std::optional<TimeValue> ReferenceTime(const KeyFrameFlags& keyFrames, const FrameRange& range);

// Whether a transform scales one of its axes to nothing (an axis of no length, so no rotation can be
// taken from it). A squared length is 0 exactly when the length is.
inline bool FlattensAnAxis(const Point3& x, const Point3& y, const Point3& z) {
    return x.LengthSquared() == 0.0f || y.LengthSquared() == 0.0f || z.LengthSquared() == 0.0f;
}
inline bool FlattensAnAxis(const Matrix3& m) { return FlattensAnAxis(m[0], m[1], m[2]); }

struct SampleRequest {
    const std::vector<INode*>& bones;    // bone 0 is the root; every parent before its children
    const std::vector<INode*>& markers;
    FrameRange range;
    TimeValue referenceTime;
    bool zeroInitialRootRotation;        // turn the tracks so the root faces +Y at the reference time
    const ExportSpace& space;            // axes and scale of the tracks (no origin is applied)
};

struct Samples {
    float rootRotationBase = 0;       // radians added to every root turn of the keys and markers
    std::vector<Vec3> rootPositions;  // per frame: travel on the ground since the reference, absolute height
    std::vector<float> rootRotations;  // per frame: the turn about the vertical since the reference, [0, 2 pi]
    std::vector<BoneKey> keys;        // frame-major: frame k's bone i at k x bones + i
    std::optional<std::size_t> firstNonFiniteKey;  // index into keys of the first with a NaN or infinity
    // Indices into keys, in increasing order, of the bones scaled to nothing on their frames: their
    // keys are whatever the degenerate transform gives, not a rotation of the bone.
    std::vector<std::size_t> flatKeys;
    std::vector<std::vector<Vec3>> markerTracks;  // per marker, per frame: its place around the root
};

// Samples every frame of the range. An undefined heading (the root's X axis vertical) takes the
// previous frame's, so no value is ever NaN for finite transforms.
Samples SampleSkeleton(const SampleRequest& request);

}  // namespace vlo
