// Keyed transform animation: position, rotation and scale keys sampled at any time.
#pragma once

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

// Spherical linear interpolation along the shorter arc (q and -q are the same rotation).
Quat Slerp(const Quat& a, const Quat& b, float t);

}  // namespace standin
