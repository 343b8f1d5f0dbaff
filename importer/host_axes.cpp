#include "importer/host_axes.h"

#include <bit>
#include <cstdint>

#include "importer/convert.h"

namespace importer {
namespace {

// Whether a and b have the same parts and a's translation is +0 (a -0 added to a zero sum keeps it
// -0). Zeros in the axis rows may have either sign: they only multiply, giving zeros like any.
bool SameWithPlusZeroTranslation(const Matrix3& a, const Matrix3& b) {
    for (int c = 0; c < 3; ++c)
        if (std::bit_cast<std::uint32_t>(a[3][c]) != 0) return false;
    return a == b;
}

// Whether x is finite, and when nonZero also not zero: its magnitude's bits in [nonZero, largest
// finite].
bool Finite(float x, bool nonZero) {
    const std::uint32_t magnitude = std::bit_cast<std::uint32_t>(x) & 0x7fffffffu;
    return magnitude - std::uint32_t(nonZero) < 0x7f800000u - std::uint32_t(nonZero);
}

// Whether the parts of m may be moved instead of multiplied: no zero or non-finite part in its axis
// rows, no non-finite part in its translation.
bool MovableParts(const Matrix3& m) {
    bool movable = true;
    for (int r = 0; r < 4; ++r)
        for (int c = 0; c < 3; ++c) movable &= Finite(m[r][c], r < 3);
    return movable;
}

}  // namespace

HostAxesTransform::HostAxesTransform(const Matrix3& rest, const Matrix3& toHost, const Matrix3& fromHost)
    : rest_(rest), to_(toHost), from_(fromHost) {
    // The translation of from only multiplies: any zero will do, so == compares it.
    if (!SameWithPlusZeroTranslation(rest, Matrix3())) return;
    if (SameWithPlusZeroTranslation(toHost, Matrix3()) && fromHost == Matrix3()) turn_ = Turn::None;
    if (SameWithPlusZeroTranslation(toHost, YUpToZUp()) && fromHost == Inverse(YUpToZUp())) turn_ = Turn::YUpToZUp;
}

Matrix3 HostAxesTransform::operator()(const Matrix3& m) const {
    if (turn_ == Turn::Other || !MovableParts(m)) return from_ * (m * rest_) * to_;
    const Point3 zero(0, 0, 0);
    if (turn_ == Turn::None) return Matrix3(m[0], m[1], m[2], m[3] + zero);
    // v * YUpToZUp is (v.x, -v.z, v.y); its inverse on the left takes the rows 0, -2 and 1.
    auto turned = [](const Point3& v) { return Point3(v.x, -v.z, v.y); };
    return Matrix3(turned(m[0]), -turned(m[2]), turned(m[1]), turned(m[3]) + zero);
}

}  // namespace importer
