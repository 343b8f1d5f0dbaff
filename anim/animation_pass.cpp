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
    auto flat = [t](INode* n) { return FlattensAnAxis(n->GetNodeTM(t)); };
    INode* found = nullptr;
    for (INode* n = bone->GetParentNode(); n && !n->IsRootNode() && flat(n); n = n->GetParentNode()) found = n;
    return found;
}

// Whether the axes of node's transform at t hold a value that is not finite (the source of its
// rotation; a parent bone's such axes spoil its own key first, so the bone whose key is the first
// spoilt holds them itself when anything does).
bool AxesNotFinite(INode* node, TimeValue t) {
    const Matrix3 m = node->GetNodeTM(t);
    return !(IsFinite(m[0]) && IsFinite(m[1]) && IsFinite(m[2]));
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
            const TimeValue t = (range.startFrame + int(k)) * range.ticksPerFrame;
            if (INode* flat = ScaledToNothingAbove(bones.nodes[bone], t)) {
                object = flat->GetName();
                what += ", which has none while '" + object +
                        "' above it is scaled to nothing (the file holds no scale: keep it above zero)";
            } else if (AxesNotFinite(bones.nodes[bone], t)) {
                what += ", whose transform is not finite there (a value beyond a float's range, or scales whose "
                        "product is: keep them smaller)";
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

// A bone scaled to nothing on a frame has no rotation there, and what its transform gives instead is
// arbitrary (a bone flattened to a point comes out turned half a circle). Its key on such a frame
// repeats its rotation on the nearest earlier frame where it has one (for a run of such frames from
// the first frame, on the first frame where it has one), so the bone holds still where the scene
// hides it, with a warning: the file holds no scale, so the game shows the bone. A bone scaled to
// nothing on every frame keeps its keys as they are. (Bones below such a bone have no finite keys
// there and are refused before this.)
void HoldFlatKeys(Samples& s, const FrameRange& range, const BoneList& bones, NoticeSink& notices) {
    const std::size_t count = bones.nodes.size(), frames = s.rootPositions.size();
    std::vector<std::vector<std::size_t>> flatFrames(count);  // per bone, in increasing order
    for (const std::size_t index : s.flatKeys) flatFrames[index % count].push_back(index / count);
    auto frame = [&](std::size_t k) { return "frame " + std::to_string(range.startFrame + int(k)); };
    for (std::size_t b = 0; b < count; ++b) {
        const std::vector<std::size_t>& flat = flatFrames[b];
        if (flat.empty()) continue;
        const std::string name = FieldText(bones.records[b].name);
        auto warn = [&](const std::string& when, const std::string& keys) {
            notices.Report(Notice::Warning("Bone '" + name + "' is scaled to nothing " + when +
                                               ", where it has no rotation: " + keys +
                                               " (the file holds no scale: keep it above zero)",
                                           name));
        };
        // The first frame where the bone has a rotation: the length of the run of flat frames from the start.
        std::size_t firstDefined = 0;
        while (firstDefined < flat.size() && flat[firstDefined] == firstDefined) ++firstDefined;
        if (firstDefined == frames) {
            warn("on every frame", "its keys hold whatever its transform gives");
            continue;
        }
        auto heldFrom = [&](std::size_t k) { return k < firstDefined ? firstDefined : k - 1; };
        // In increasing order, so a key copied from the frame before is already that frame's held one.
        for (const std::size_t k : flat) s.keys[k * count + b] = s.keys[heldFrom(k) * count + b];
        if (flat.size() == 1) {
            warn("at " + frame(flat[0]), "its key there repeats its rotation at " + frame(heldFrom(flat[0])));
        } else {
            const std::string run = std::to_string(flat.size()) + " frames from " + frame(flat.front());
            warn("on " + run + " to " + frame(flat.back()),
                 "its keys there repeat its rotation at the nearest earlier frame where it has one" +
                     (firstDefined > 0 ? ", or at " + frame(firstDefined) + " for those before it" : std::string()));
        }
    }
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
    HoldFlatKeys(samples, *range, bones, notices);

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
