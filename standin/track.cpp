#include "standin/track.h"

#include <algorithm>
#include <cmath>

namespace standin {

Quat Slerp(const Quat& a, const Quat& bIn, float t) {
    Quat b = bIn;
    double cosom = double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z + double(a.w) * b.w;
    if (cosom < 0) {
        cosom = -cosom;
        b = Quat(-b.x, -b.y, -b.z, -b.w);
    }
    double s0 = 1.0 - t, s1 = t;
    if (1.0 - cosom > 1e-6) {
        const double omega = std::acos(std::min(1.0, cosom)), sinom = std::sin(omega);
        s0 = std::sin((1.0 - t) * omega) / sinom;
        s1 = std::sin(t * omega) / sinom;
    }
    Quat r(float(s0 * a.x + s1 * b.x), float(s0 * a.y + s1 * b.y), float(s0 * a.z + s1 * b.z), float(s0 * a.w + s1 * b.w));
    const float len = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z + r.w * r.w);
    return len > 0 ? Quat(r.x / len, r.y / len, r.z / len, r.w / len) : a;
}

namespace {

Point3 Lerp(const Point3& a, const Point3& b, float t) { return a + (b - a) * t; }
Quat Lerp(const Quat& a, const Quat& b, float t) { return Slerp(a, b, t); }

template <class T>
T Sample(const std::vector<Key<T>>& keys, double ticks, Interpolation mode, const T& fallback) {
    if (keys.empty()) return fallback;
    if (ticks <= keys.front().time) return keys.front().value;
    if (ticks >= keys.back().time) return keys.back().value;
    const auto next = std::upper_bound(keys.begin(), keys.end(), ticks, [](double t, const Key<T>& k) { return t < k.time; });
    const auto prev = next - 1;
    if (mode == Interpolation::Step) return prev->value;
    const double span = next->time - prev->time;
    const float f = span > 0 ? float((ticks - prev->time) / span) : 0.0f;
    return Lerp(prev->value, next->value, f);
}

}  // namespace

Matrix3 TransformTrack::Evaluate(double ticks) const {
    Matrix3 rotationOnly = base;
    rotationOnly.NoTrans();
    const Point3 baseScale(base[0].Length(), base[1].Length(), base[2].Length());
    rotationOnly.NoScale();
    const Point3 p = Sample(position, ticks, positionMode, base.GetTrans());
    const Quat q = Sample(rotation, ticks, rotationMode, Quat(rotationOnly));
    const Point3 s = Sample(scale, ticks, scaleMode, baseScale);
    return ScaleMatrix(s) * q.MakeMatrix() * TransMatrix(p);
}

}  // namespace standin
