// Keyed transform animation: position, rotation and scale keys sampled at any time.
#pragma once

#include <cstddef>
#include <vector>

#include "host/geom.h"
#include "host/max_types.h"

namespace standin {

enum class Interpolation { Linear, Step };

template <class T>
struct Key {
    double time;  // ticks (fractions allowed: keys need not fall on whole ticks)
    T value;
};

// Where the last sample of each channel fell: the index of the key at or before its time. Samples
// taken in increasing time then find their keys in constant time.
struct TrackCursor {
    std::size_t position = 0, rotation = 0, scale = 0;
};

// A local transform over time: scale, then rotation, then translation. A channel without keys takes
// its value from base. Before the first key a channel holds its first value, after the last its last.
// Positions and scales interpolate linearly (or step); rotations by spherical linear interpolation
// along the shorter arc (or step).
struct TransformTrack {
    Matrix3 base;
    std::vector<Key<Point3>> position;
    std::vector<Key<Quat>> rotation;  // host quaternions (Quat(Matrix3) convention)
    std::vector<Key<Point3>> scale;
    Interpolation positionMode = Interpolation::Linear;
    Interpolation rotationMode = Interpolation::Linear;
    Interpolation scaleMode = Interpolation::Linear;

    Matrix3 Evaluate(double ticks) const;
    bool Empty() const { return position.empty() && rotation.empty() && scale.empty(); }
};

// A track prepared for sampling: base split into its parts once, a cursor per channel. At(t) gives
// exactly track.Evaluate(t), at constant cost per sample when samples come in increasing time.
class TrackSampler {
public:
    explicit TrackSampler(TransformTrack track);
    Matrix3 At(double ticks);
    const TransformTrack& Track() const { return track_; }

private:
    TransformTrack track_;
    Point3 baseTranslation_, baseScale_;
    Quat baseRotation_;
    TrackCursor cursor_;
};

// Spherical linear interpolation along the shorter arc (q and -q are the same rotation).
Quat Slerp(const Quat& a, const Quat& b, float t);

}  // namespace standin
