#include "anim/sampling.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <unordered_map>

namespace vlo {
namespace {

constexpr float kTwoPi = 6.2831855f;

float SafeAcos(float x) { return std::acos(std::clamp(x, -1.0f, 1.0f)); }

Matrix3 RotationPart(Matrix3 m) {
    m.NoTrans();
    m.NoScale();
    return m;
}

// The root's X axis projected on the ground plane, of unit length; fallback when it is undefined (the
// X axis vertical, or a degenerate transform).
Point3 Heading(INode* root, TimeValue t, const Point3& fallback) {
    Point3 h = VectorTransform(RotationPart(root->GetNodeTM(t)), Point3(1, 0, 0));
    h.z = 0;
    const float len = h.Length();
    if (!(len > 0.0f) || !std::isfinite(len)) return fallback;
    return h * (1.0f / len);
}

float RootRotationBase(INode* root, TimeValue reference, bool zeroInitialRootRotation) {
    if (!zeroInitialRootRotation) return 0;
    // An undefined heading at the reference time counts as facing +Y: no base turn.
    const Point3 n = Heading(root, reference, Point3(0, 1, 0));
    float a = SafeAcos(n.y);
    if (CrossProd(n, Point3(0, 1, 0)).z < 0) a = -a;
    return a;
}

std::vector<Vec3> RootPositions(INode* root, const SampleRequest& r, float base) {
    std::vector<Vec3> out;
    const Point3 p0 = root->GetNodeTM(r.referenceTime).GetTrans();
    const Matrix3 turn = RotateZMatrix(base);
    for (int f = r.range.startFrame; f <= r.range.endFrame; ++f) {
        const Point3 p = root->GetNodeTM(f * r.range.ticksPerFrame).GetTrans();
        out.push_back(r.space.Offset(Point3(p.x - p0.x, p.y - p0.y, p.z) * turn));
    }
    return out;
}

std::vector<float> RootRotations(INode* root, const SampleRequest& r) {
    std::vector<float> out;
    // An undefined heading takes the previous frame's (the reference heading on the first frame); an
    // undefined reference heading counts as +X.
    const Point3 a0 = Heading(root, r.referenceTime, Point3(1, 0, 0));
    Point3 previous = a0;
    for (int f = r.range.startFrame; f <= r.range.endFrame; ++f) {
        const Point3 b = Heading(root, f * r.range.ticksPerFrame, previous);
        previous = b;
        const float d = std::clamp(b.y * a0.y + b.x * a0.x + b.z * a0.z, -1.0f, 1.0f);
        float angle = -std::acos(d);
        if (a0.x * b.y - a0.y * b.x < 0) angle = std::acos(d);
        while (angle < 0) angle += kTwoPi;
        while (angle > kTwoPi) angle -= kTwoPi;
        out.push_back(angle);
    }
    return out;
}

std::vector<BoneKey> BoneKeys(const SampleRequest& r, const std::vector<float>& rootRotations, float base) {
    // A bone's rotation relative to its parent: its world rotation times the inverse of the parent's.
    // Per frame, each bone's world rotation is taken once and each parent's inverse once, however
    // many children share it (bones come parents first, so a parent's are ready for its children).
    const std::size_t count = r.bones.size();
    std::unordered_map<INode*, std::ptrdiff_t> indexOf;
    std::vector<std::ptrdiff_t> parentOf(count, -1);
    for (std::size_t i = 0; i < count; ++i) {
        const auto parent = indexOf.find(r.bones[i]->GetParentNode());
        if (parent != indexOf.end()) parentOf[i] = parent->second;
        indexOf.emplace(r.bones[i], std::ptrdiff_t(i));
    }
    std::vector<Matrix3> world(count), inverse(count);
    std::vector<char> inverted(count);
    std::vector<BoneKey> out;
    out.reserve(std::size_t(r.range.Count()) * count);
    std::size_t k = 0;
    for (int f = r.range.startFrame; f <= r.range.endFrame; ++f, ++k) {
        const TimeValue t = f * r.range.ticksPerFrame;
        const Matrix3 z = RotateZMatrix(rootRotations[k] + base);
        std::fill(inverted.begin(), inverted.end(), 0);
        for (std::size_t i = 0; i < count; ++i) {
            INode* node = r.bones[i];
            world[i] = RotationPart(node->GetNodeTM(t));
            Matrix3 parentInverse;
            if (const std::ptrdiff_t p = parentOf[i]; p >= 0) {
                if (!inverted[std::size_t(p)]) inverse[std::size_t(p)] = Inverse(world[std::size_t(p)]);
                inverted[std::size_t(p)] = 1;
                parentInverse = inverse[std::size_t(p)];
            } else {
                parentInverse = Inverse(RotationPart(node->GetParentTM(t)));
            }
            Matrix3 local = world[i] * parentInverse;
            if (i == 0) local = local * z;
            out.push_back(r.space.Rotation(Quat(local)));
        }
    }
    return out;
}

std::vector<Vec3> MarkerTrack(INode* marker, INode* root, const SampleRequest& r, const std::vector<float>& rootRotations,
                              float base) {
    std::vector<Vec3> track;
    std::size_t k = 0;
    for (int f = r.range.startFrame; f <= r.range.endFrame; ++f, ++k) {
        const TimeValue t = f * r.range.ticksPerFrame;
        const Point3 m = marker->GetNodeTM(t).GetTrans();
        const Point3 p = root->GetNodeTM(t).GetTrans();
        track.push_back(r.space.Offset(Point3(m.x - p.x, m.y - p.y, 0) * RotateZMatrix(rootRotations[k] + base)));
    }
    return track;
}

}  // namespace

std::optional<TimeValue> ReferenceTime(const KeyFrameFlags& keyFrames, const FrameRange& range) {
    for (const int slot : {int(kAddressBall), int(kMouseSwingStart)}) {
        const KeyFrameFlag& flag = keyFrames[std::size_t(slot)];
        if (!flag.enabled) continue;
        // In 64 bits: a frame far out would otherwise wrap around to some other time.
        const long long ticks = (long long)flag.frame * range.ticksPerFrame;
        if (ticks < std::numeric_limits<TimeValue>::min() || ticks > std::numeric_limits<TimeValue>::max()) return std::nullopt;
        return TimeValue(ticks);
    }
    return range.startTime;
}

Samples SampleSkeleton(const SampleRequest& r) {
    INode* root = r.bones[0];
    Samples s;
    s.rootRotationBase = RootRotationBase(root, r.referenceTime, r.zeroInitialRootRotation);
    s.rootPositions = RootPositions(root, r, s.rootRotationBase);
    s.rootRotations = RootRotations(root, r);
    s.keys = BoneKeys(r, s.rootRotations, s.rootRotationBase);
    for (INode* marker : r.markers) s.markerTracks.push_back(MarkerTrack(marker, root, r, s.rootRotations, s.rootRotationBase));
    return s;
}

}  // namespace vlo
