#include "importer/animation.h"

#include "importer/convert.h"

namespace importer {

double ClipTicksPerSecond(const aiAnimation& clip) { return clip.mTicksPerSecond > 0 ? clip.mTicksPerSecond : 25.0; }

standin::TransformTrack TrackFromChannel(const aiNodeAnim& channel, double fileTicksPerSecond, const Matrix3& base) {
    standin::TransformTrack track;
    track.base = base;
    const double toHost = double(TIME_TICKSPERSEC) / fileTicksPerSecond;
    for (unsigned i = 0; i < channel.mNumPositionKeys; ++i)
        track.position.push_back({channel.mPositionKeys[i].mTime * toHost, ToPoint3(channel.mPositionKeys[i].mValue)});
    for (unsigned i = 0; i < channel.mNumRotationKeys; ++i) {
        // assimp's quaternion rotates column vectors; the host quaternion of the same rotation is
        // taken from its matrix.
        const aiMatrix3x3 r = channel.mRotationKeys[i].mValue.GetMatrix();
        track.rotation.push_back({channel.mRotationKeys[i].mTime * toHost, Quat(ToMatrix3(aiMatrix4x4(r)))});
    }
    for (unsigned i = 0; i < channel.mNumScalingKeys; ++i)
        track.scale.push_back({channel.mScalingKeys[i].mTime * toHost, ToPoint3(channel.mScalingKeys[i].mValue)});
    return track;
}

}  // namespace importer
