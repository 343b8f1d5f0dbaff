#include "host/geom.h"

bool IsFinite(const Point3& p) {
    return std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z);
}

bool IsFinite(const Quat& q) {
    return std::isfinite(q.x) && std::isfinite(q.y) && std::isfinite(q.z) && std::isfinite(q.w);
}

bool Matrix3::operator==(const Matrix3& o) const {
    return m_[0] == o.m_[0] && m_[1] == o.m_[1] && m_[2] == o.m_[2] && m_[3] == o.m_[3];
}

Matrix3 Inverse(const Matrix3& m) {
    // Inverse of the 3x3 part by cofactors (in double for accuracy), then the translation.
    const double a = m[0].x, b = m[0].y, c = m[0].z;
    const double d = m[1].x, e = m[1].y, f = m[1].z;
    const double g = m[2].x, h = m[2].y, i = m[2].z;
    const double A = e * i - f * h, B = -(d * i - f * g), C = d * h - e * g;
    const double det = a * A + b * B + c * C;
    const double s = 1.0 / det;
    Matrix3 r;
    r[0] = Point3(float(A * s), float(-(b * i - c * h) * s), float((b * f - c * e) * s));
    r[1] = Point3(float(B * s), float((a * i - c * g) * s), float(-(a * f - c * d) * s));
    r[2] = Point3(float(C * s), float(-(a * h - b * g) * s), float((a * e - b * d) * s));
    r[3] = -VectorTransform(r, m[3]);
    return r;
}

Matrix3 RotateXMatrix(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return Matrix3({1, 0, 0}, {0, c, s}, {0, -s, c}, {0, 0, 0});
}

Matrix3 RotateYMatrix(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return Matrix3({c, 0, -s}, {0, 1, 0}, {s, 0, c}, {0, 0, 0});
}

Matrix3 RotateZMatrix(float angle) {
    const float c = std::cos(angle), s = std::sin(angle);
    return Matrix3({c, s, 0}, {-s, c, 0}, {0, 0, 1}, {0, 0, 0});
}

Quat::Quat(const Matrix3& m) {
    // The standard conversion applied to the row-vector matrix read as a column-vector matrix gives
    // the quaternion of the inverse rotation: exactly the host's (conjugated) convention.
    const double m00 = m[0].x, m01 = m[0].y, m02 = m[0].z;
    const double m10 = m[1].x, m11 = m[1].y, m12 = m[1].z;
    const double m20 = m[2].x, m21 = m[2].y, m22 = m[2].z;
    const double trace = m00 + m11 + m22;
    double qx, qy, qz, qw;
    if (trace > 0.0) {
        const double s = std::sqrt(trace + 1.0) * 2.0;
        qw = 0.25 * s;
        qx = (m21 - m12) / s;
        qy = (m02 - m20) / s;
        qz = (m10 - m01) / s;
    } else if (m00 > m11 && m00 > m22) {
        const double s = std::sqrt(1.0 + m00 - m11 - m22) * 2.0;
        qw = (m21 - m12) / s;
        qx = 0.25 * s;
        qy = (m01 + m10) / s;
        qz = (m02 + m20) / s;
    } else if (m11 > m22) {
        const double s = std::sqrt(1.0 + m11 - m00 - m22) * 2.0;
        qw = (m02 - m20) / s;
        qx = (m01 + m10) / s;
        qy = 0.25 * s;
        qz = (m12 + m21) / s;
    } else {
        const double s = std::sqrt(1.0 + m22 - m00 - m11) * 2.0;
        qw = (m10 - m01) / s;
        qx = (m02 + m20) / s;
        qy = (m12 + m21) / s;
        qz = 0.25 * s;
    }
    x = float(qx);
    y = float(qy);
    z = float(qz);
    w = float(qw);
}

Matrix3 Quat::MakeMatrix() const {
    // Inverse of the conversion above: the column-vector matrix of (x, y, z, w) read as rows.
    const float xx = x * x, yy = y * y, zz = z * z;
    const float xy = x * y, xz = x * z, yz = y * z, wx = w * x, wy = w * y, wz = w * z;
    return Matrix3({1 - 2 * (yy + zz), 2 * (xy - wz), 2 * (xz + wy)},
                   {2 * (xy + wz), 1 - 2 * (xx + zz), 2 * (yz - wx)},
                   {2 * (xz - wy), 2 * (yz + wx), 1 - 2 * (xx + yy)}, {0, 0, 0});
}

Box3& Box3::operator+=(const Point3& p) {
    if (p.x < pmin.x) pmin.x = p.x;
    if (p.y < pmin.y) pmin.y = p.y;
    if (p.z < pmin.z) pmin.z = p.z;
    if (p.x > pmax.x) pmax.x = p.x;
    if (p.y > pmax.y) pmax.y = p.y;
    if (p.z > pmax.z) pmax.z = p.z;
    return *this;
}
