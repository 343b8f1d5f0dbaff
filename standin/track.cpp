#include "standin/track.h"

#include <algorithm>
#include <cmath>

namespace standin {

namespace {

bool IsMinusZero(float f) { return f == 0 && std::signbit(f); }
bool HasMinusZero(const Quat& q) { return IsMinusZero(q.x) || IsMinusZero(q.y) || IsMinusZero(q.z) || IsMinusZero(q.w); }

}  // namespace

Quat Slerp(const Quat& a, const Quat& bIn, float t) {
    Quat r;
    if (t == 0.0f && IsFinite(a) && IsFinite(bIn) && !HasMinusZero(a)) {
        // A sample on a key (the common case): each part of the blend below is a's part plus zero
        // times b's, a zero of either sign, which changes no bit of a finite part other than -0: the
        // blend is a itself.
        r = a;
    } else {
        Quat b = bIn;
        double cosom = double(a.x) * b.x + double(a.y) * b.y + double(a.z) * b.z + double(a.w) * b.w;
        if (cosom < 0) {
            cosom = -cosom;
            b = Quat(-b.x, -b.y, -b.z, -b.w);
        }
        double s0 = 1.0 - t, s1 = t;
        // At t = 0 the arc's weights are exactly 1 and 0: no need to measure it.
        if (t != 0.0f && 1.0 - cosom > 1e-6) {
            const double omega = std::acos(std::min(1.0, cosom)), sinom = std::sin(omega);
            s0 = std::sin((1.0 - t) * omega) / sinom;
            s1 = std::sin(t * omega) / sinom;
        }
        r = Quat(float(s0 * a.x + s1 * b.x), float(s0 * a.y + s1 * b.y), float(s0 * a.z + s1 * b.z),
                 float(s0 * a.w + s1 * b.w));
    }
    const float len = std::sqrt(r.x * r.x + r.y * r.y + r.z * r.z + r.w * r.w);
    // A length of exactly 1 (which only finite parts give) would change no bit in the division.
    if (len == 1.0f) return r;
    return len > 0 ? Quat(r.x / len, r.y / len, r.z / len, r.w / len) : a;
}

namespace {

Point3 Lerp(const Point3& a, const Point3& b, float t) { return a + (b - a) * t; }
Quat Lerp(const Quat& a, const Quat& b, float t) { return Slerp(a, b, t); }

// The index of the last key at or before ticks, which lies strictly between the first and the last
// key's times: the cursor's key or the next when they fit, else a binary search.
template <class T>
std::size_t KeyBefore(const std::vector<Key<T>>& keys, double ticks, std::size_t cursor) {
    const std::size_t last = keys.size() - 1;
    for (std::size_t i = std::min(cursor, last - 1), stop = std::min(cursor + 2, last); i < stop; ++i)
        if (keys[i].time <= ticks && ticks < keys[i + 1].time) return i;
    const auto next = std::upper_bound(keys.begin(), keys.end(), ticks, [](double t, const Key<T>& k) { return t < k.time; });
    return std::size_t(next - keys.begin()) - 1;
}

constexpr std::size_t kPrefetchKeys = 8;

template <class T, class Fallback>
T Sample(const std::vector<Key<T>>& keys, double ticks, Interpolation mode, std::size_t& cursor, Fallback fallback) {
    if (keys.empty()) return fallback();
    if (ticks <= keys.front().time) return keys.front().value;
    if (ticks >= keys.back().time) return keys.back().value;
    cursor = KeyBefore(keys, ticks, cursor);
    // A track sampled frame by frame reads its keys as a stream, one of many (a stream per channel of
    // every node): asking for the keys a few frames ahead keeps the wait for memory off the samples.
    __builtin_prefetch(&keys[std::min(cursor + kPrefetchKeys, keys.size() - 1)]);
    const Key<T>& prev = keys[cursor];
    if (mode == Interpolation::Step) return prev.value;
    const Key<T>& next = keys[cursor + 1];
    const double span = next.time - prev.time;
    // A sample on its key (keys on frames, the common case) has weight 0 without the division.
    const float f = span > 0 && ticks != prev.time ? float((ticks - prev.time) / span) : 0.0f;
    return Lerp(prev.value, next.value, f);
}

struct BaseParts {
    Point3 translation, scale;
    Quat rotation;
};

BaseParts Split(const Matrix3& base) {
    Matrix3 rotationOnly = base;
    rotationOnly.NoTrans();
    const Point3 scale(base[0].Length(), base[1].Length(), base[2].Length());
    rotationOnly.NoScale();
    return {base.GetTrans(), scale, Quat(rotationOnly)};
}

// Whether every part is a finite number other than zero.
bool AllNonZeroFinite(const Point3& a) { return IsFinite(a) && a.x != 0 && a.y != 0 && a.z != 0; }

// ScaleMatrix(s) * r * TransMatrix(p), bit for bit. Where each scaled row s_i * r[i] has only finite
// parts other than zero, every other term of the two products is a zero added to one of those
// parts, which changes no bit: the rows are the scaled rows themselves, and the translation is
// p + 0 (the products' zero translation added to p, which turns -0 into +0). Other transforms (a
// zero part, whose sign the added zeros decide, or a non-finite one) take the products.
Matrix3 Compose(const Point3& s, const Quat& q, const Point3& p) {
    const Matrix3 r = q.MakeMatrix();
    const Point3 x = r[0] * s.x, y = r[1] * s.y, z = r[2] * s.z;
    if (AllNonZeroFinite(x) && AllNonZeroFinite(y) && AllNonZeroFinite(z)) return Matrix3(x, y, z, p + Point3(0, 0, 0));
    return ScaleMatrix(s) * r * TransMatrix(p);
}

}  // namespace

Matrix3 TransformTrack::Evaluate(double ticks) const {
    const BaseParts b = Split(base);
    TrackCursor c;
    const Point3 p = Sample(position, ticks, positionMode, c.position, [&] { return b.translation; });
    const Quat q = Sample(rotation, ticks, rotationMode, c.rotation, [&] { return b.rotation; });
    const Point3 s = Sample(scale, ticks, scaleMode, c.scale, [&] { return b.scale; });
    return Compose(s, q, p);
}

TrackSampler::TrackSampler(TransformTrack track) : track_(std::move(track)) {
    const BaseParts b = Split(track_.base);
    baseTranslation_ = b.translation;
    baseScale_ = b.scale;
    baseRotation_ = b.rotation;
}

Matrix3 TrackSampler::At(double ticks) {
    const TransformTrack& t = track_;
    const Point3 p = Sample(t.position, ticks, t.positionMode, cursor_.position, [&] { return baseTranslation_; });
    const Quat q = Sample(t.rotation, ticks, t.rotationMode, cursor_.rotation, [&] { return baseRotation_; });
    const Point3 s = Sample(t.scale, ticks, t.scaleMode, cursor_.scale, [&] { return baseScale_; });
    return Compose(s, q, p);
}

}  // namespace standin
