// Per-frame samples of the skeleton: root travel and heading, bone rotations, marker tracks.
#include <algorithm>
#include <cmath>

#include "plugin/exporter.h"

namespace {

constexpr float kTwoPi = 6.2831855f;

float SafeAcos(float x) { return std::acos(std::clamp(x, -1.0f, 1.0f)); }

Matrix3 RotationPart(Matrix3 m) {
    m.NoTrans();
    m.NoScale();
    return m;
}

}  // namespace

TimeValue VloExporter::ReferenceTime() {
    const int tpf = pxInterface->GetTicksPerFrame();
    if (keyFrameFlags[3].enabled) return keyFrameFlags[3].frame * tpf;
    if (keyFrameFlags[1].enabled) return keyFrameFlags[1].frame * tpf;
    return startTime;
}

// The root's X axis projected on the ground plane, of unit length. When the X axis is vertical (or the
// transform is degenerate) the heading is undefined; fallback is used so no NaN reaches the file.
Point3 VloExporter::RootHeading(TimeValue t, const Point3& fallback) {
    Point3 h = VectorTransform(RotationPart(boneNodes[0]->GetNodeTM(t)), Point3(1, 0, 0));
    h.z = 0;
    const float len = h.Length();
    if (!(len > 0.0f) || !std::isfinite(len)) return fallback;
    return h * (1.0f / len);
}

void VloExporter::ComputeRootRotationBase() {
    rootRotationBase = 0;
    if (!zeroInitialRootRotation) return;
    // An undefined heading at the reference time counts as facing +Y: no base turn.
    const Point3 n = RootHeading(ReferenceTime(), Point3(0, 1, 0));
    float a = SafeAcos(n.y);
    if (CrossProd(n, Point3(0, 1, 0)).z < 0) a = -a;
    rootRotationBase = a;
}

void VloExporter::SampleRootPositions() {
    rootPositions.clear();
    const int tpf = pxInterface->GetTicksPerFrame();
    const Point3 p0 = boneNodes[0]->GetNodeTM(ReferenceTime()).GetTrans();
    const Matrix3 r = RotateZMatrix(rootRotationBase);
    const float inverseScale = 1.0f / worldScale;
    for (int f = startFrame; f <= endFrame; f += frameStep) {
        const Point3 p = boneNodes[0]->GetNodeTM(f * tpf).GetTrans();
        Point3 travel = Point3(p.x - p0.x, p.y - p0.y, p.z) * r;
        if (swapYZ) std::swap(travel.y, travel.z);
        rootPositions.push_back(travel * inverseScale);
    }
}

void VloExporter::SampleRootRotations() {
    rootRotations.clear();
    const int tpf = pxInterface->GetTicksPerFrame();
    // An undefined heading takes the previous frame's (the reference heading on the first frame);
    // an undefined reference heading counts as +X.
    const Point3 a0 = RootHeading(ReferenceTime(), Point3(1, 0, 0));
    Point3 previous = a0;
    for (int f = startFrame; f <= endFrame; f += frameStep) {
        const Point3 b = RootHeading(f * tpf, previous);
        previous = b;
        const float d = std::clamp(b.y * a0.y + b.x * a0.x + b.z * a0.z, -1.0f, 1.0f);
        float angle = -std::acos(d);
        if (a0.x * b.y - a0.y * b.x < 0) angle = std::acos(d);
        while (angle < 0) angle += kTwoPi;
        while (angle > kTwoPi) angle -= kTwoPi;
        rootRotations.push_back(angle);
    }
}

void VloExporter::SampleBoneKeys() {
    boneKeys.clear();
    const int tpf = pxInterface->GetTicksPerFrame();
    int k = 0;
    for (int f = startFrame; f <= endFrame; f += frameStep, ++k) {
        const Matrix3 z = RotateZMatrix(rootRotations[std::size_t(k)] + rootRotationBase);
        for (int i = 0; i < numBones; ++i) {
            INode* node = boneNodes[std::size_t(i)];
            const Matrix3 w = RotationPart(node->GetNodeTM(f * tpf));
            const Matrix3 p = RotationPart(node->GetParentTM(f * tpf));
            Matrix3 local = w * Inverse(p);
            if (i == 0) local = local * z;
            Quat q(local);
            // A degenerate (zero-scale) bone has no proper rotation; its quaternion is made unit length.
            const float len = std::sqrt(q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w);
            if (std::isfinite(len) && len > 0.0f && std::fabs(len - 1.0f) > 1e-5f) q = Quat(q.x / len, q.y / len, q.z / len, q.w / len);
            vlo::BoneKey key{q.x, q.y, q.z, q.w};
            if (swapYZ) std::swap(key.y, key.z);
            boneKeys.push_back(key);
        }
    }
}

void VloExporter::SampleMarkerTracks() {
    const int tpf = pxInterface->GetTicksPerFrame();
    const float inverseScale = 1.0f / worldScale;
    for (INode* marker : markerNodes) {
        std::vector<Point3>& track = markerTracks.emplace_back();
        int k = 0;
        for (int f = startFrame; f <= endFrame; f += frameStep, ++k) {
            const Point3 m = marker->GetNodeTM(f * tpf).GetTrans();
            const Point3 r = boneNodes[0]->GetNodeTM(f * tpf).GetTrans();
            Point3 p = Point3(m.x - r.x, m.y - r.y, 0) * RotateZMatrix(rootRotations[std::size_t(k)] + rootRotationBase);
            if (swapYZ) std::swap(p.y, p.z);
            track.push_back(p * inverseScale);
        }
    }
}
