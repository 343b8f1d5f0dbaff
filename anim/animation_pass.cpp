#include "anim/animation_pass.h"

#include <cmath>
#include <optional>
#include <string>

#include "anim/keyframe_text.h"
#include "anim/sampling.h"
#include "skin/bones.h"

namespace vlo {
namespace {

// The host's animation range in whole frames (truncated toward zero); fails when it is empty.
Result<FrameRange> ReadAnimationRange(Interface& host) {
    const Interval interval = host.GetAnimRange();
    FrameRange range;
    range.startTime = interval.Start();
    range.ticksPerFrame = host.GetTicksPerFrame();
    if (interval.Start() == interval.End()) return Notice::Stop("No animation interval to export");
    range.startFrame = interval.Start() / range.ticksPerFrame;
    range.endFrame = interval.End() / range.ticksPerFrame;
    if (range.Count() <= 0) return Notice::Stop("No animation interval to export");  // an end before the start
    return range;
}

// The node above bone that is scaled to nothing at t (its transform has an axis of no length while
// its parent's has none), which leaves the bone's rotation relative to its parent undefined; null when
// no node above it is.
INode* ScaledToNothingAbove(INode* bone, TimeValue t) {
    auto flat = [t](INode* n) {
        const Matrix3 m = n->GetNodeTM(t);
        return m[0].Length() == 0.0f || m[1].Length() == 0.0f || m[2].Length() == 0.0f;
    };
    INode* found = nullptr;
    for (INode* n = bone->GetParentNode(); n && !n->IsRootNode() && flat(n); n = n->GetParentNode()) found = n;
    return found;
}

// Infinite or undefined transforms in the scene would put NaN into the game's file: the first frame
// with one, and what is wrong there.
std::optional<Notice> FindNonFinite(const Samples& s, const FrameRange& range, const BoneList& bones,
                                    const std::vector<INode*>& markers) {
    const std::size_t numBones = bones.nodes.size();
    for (std::size_t k = 0; k < s.rootPositions.size(); ++k) {
        std::string what, object;
        if (!IsFinite(s.rootPositions[k]) || !std::isfinite(s.rootRotations[k])) what = "the root's position or heading";
        if (what.empty() && s.firstNonFiniteKey && *s.firstNonFiniteKey / numBones == k) {
            const std::size_t bone = *s.firstNonFiniteKey % numBones;
            object = FieldText(bones.records[bone].name);
            what = "the rotation of bone '" + object + "'";
            if (INode* flat = ScaledToNothingAbove(bones.nodes[bone], (range.startFrame + int(k)) * range.ticksPerFrame)) {
                object = flat->GetName();
                what += ", which has none while '" + object +
                        "' above it is scaled to nothing (the file holds no scale: keep it above zero)";
            }
        }
        for (std::size_t m = 0; m < markers.size() && what.empty(); ++m)
            if (!IsFinite(s.markerTracks[m][k])) {
                object = markers[m]->GetName();
                what = "the position of marker '" + object + "'";
            }
        if (!what.empty())
            return Notice::Stop("The animation has a non-finite value at frame " + std::to_string(range.startFrame + int(k)) +
                                    ": " + what + ". Nothing was exported",
                                object);
    }
    return std::nullopt;
}

}  // namespace

Result<VlaAnimation> BuildAnimation(const AnimationRequest& r, NoticeSink& notices) {
    const ExportSettings& settings = r.settings;
    const BoneList bones = BuildBoneList(r.root, r.figure, notices);
    if (bones.records.empty()) return Notice::Stop("Failed to create internal bone structure");
    const auto range = ReadAnimationRange(r.host);
    if (!range.Ok()) return range.Failure();

    const auto reference = ReferenceTime(settings.keyFrames, *range);
    if (!reference) {
        const int slot = settings.keyFrames[kAddressBall].enabled ? kAddressBall : kMouseSwingStart;
        return Notice::Stop(std::string("The key frame ") + kKeyFrameNames[slot] + " at frame " +
                            std::to_string(settings.keyFrames[std::size_t(slot)].frame) +
                            " lies beyond the host's time line, so the root motion has no reference time. "
                            "Nothing was exported");
    }
    const ExportSpace space(Point3(0, 0, 0), r.worldScale, settings.swapYZ);
    Samples samples = SampleSkeleton(
        {bones.nodes, settings.markers, *range, *reference, settings.zeroInitialRootRotation, space});
    if (auto refused = FindNonFinite(samples, *range, bones, settings.markers)) return *refused;

    VlaAnimation a;
    a.sampling = {range->startFrame, range->ticksPerFrame, *reference, samples.rootRotationBase, r.worldScale};
    a.header.numBones = std::uint32_t(bones.records.size());
    a.header.numFrames = std::uint32_t(range->Count());
    a.header.frameRate = r.host.GetFrameRate();
    a.header.numMarkers = std::uint32_t(settings.markers.size());
    const std::vector<std::uint32_t> flags = BuildFrameFlags(settings.keyFrames, range->startFrame, range->endFrame);
    a.frames.resize(flags.size());
    for (std::size_t k = 0; k < flags.size(); ++k)
        a.frames[k] = VlaFrameHeader{flags[k], samples.rootPositions[k], samples.rootRotations[k]};
    a.keys = std::move(samples.keys);
    for (std::size_t m = 0; m < settings.markers.size(); ++m) {
        VlaMarkerTrack& track = a.markers.emplace_back();
        CopyBounded(track.header.name, settings.markers[m]->GetName());
        track.positions = std::move(samples.markerTracks[m]);
        a.text.markerNames.push_back(settings.markers[m]->GetName() ? settings.markers[m]->GetName() : "");
    }
    a.text.bones = ExportBones(bones, space);
    for (INode* n : bones.nodes) a.text.boneNames.push_back(n->GetName() ? n->GetName() : "");
    return a;
}

}  // namespace vlo
