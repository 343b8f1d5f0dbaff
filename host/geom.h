// Host geometry: Point3, Matrix3, Quat, Box3 with the host's conventions.
//
// Matrix3 is 4 rows x 3 columns and works on row vectors: a point transforms as p * M, row 3 is the
// translation, and A * B applies A first. Quat(Matrix3) follows the host's left-handed convention:
// it is the conjugate of the usual (Hamilton, column-vector) quaternion of the same rotation, so
// Quat(RotateZMatrix(a)) = (0, 0, -sin(a/2), cos(a/2)).
#pragma once

#include <cmath>

class Point3 {
public:
    float x = 0, y = 0, z = 0;

    constexpr Point3() = default;
    constexpr Point3(float x_, float y_, float z_) : x(x_), y(y_), z(z_) {}
    float& operator[](int i) { return i == 0 ? x : (i == 1 ? y : z); }
    float operator[](int i) const { return i == 0 ? x : (i == 1 ? y : z); }

    Point3 operator+(const Point3& o) const { return {x + o.x, y + o.y, z + o.z}; }
    Point3 operator-(const Point3& o) const { return {x - o.x, y - o.y, z - o.z}; }
    Point3 operator-() const { return {-x, -y, -z}; }
    Point3 operator*(float s) const { return {x * s, y * s, z * s}; }
    Point3 operator/(float s) const { return {x / s, y / s, z / s}; }
    Point3& operator+=(const Point3& o) { x += o.x; y += o.y; z += o.z; return *this; }
    Point3& operator-=(const Point3& o) { x -= o.x; y -= o.y; z -= o.z; return *this; }
    Point3& operator*=(float s) { x *= s; y *= s; z *= s; return *this; }
    // Dot product, as the host's Point3 * Point3.
    float operator%(const Point3& o) const { return x * o.x + y * o.y + z * o.z; }
    bool operator==(const Point3& o) const { return x == o.x && y == o.y && z == o.z; }

    float Length() const { return std::sqrt(x * x + y * y + z * z); }
    float LengthSquared() const { return x * x + y * y + z * z; }
};

inline Point3 operator*(float s, const Point3& p) { return p * s; }
inline float DotProd(const Point3& a, const Point3& b) { return a % b; }
inline float Length(const Point3& p) { return p.Length(); }
inline Point3 CrossProd(const Point3& a, const Point3& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
// Unit vector in the direction of p. A zero vector is returned unchanged (0, 0, 0); a vector with a
// non-finite component gives non-finite components, as the division does.
inline Point3 Normalize(const Point3& p) {
    const float len = p.Length();
    if (len == 0.0f) return p;
    return p / len;
}
// True when every component is finite.
bool IsFinite(const Point3& p);

class Matrix3 {
public:
    // The identity.
    Matrix3() { IdentityMatrix(); }
    // Rows 0..2 are the axes, row 3 the translation.
    Matrix3(const Point3& r0, const Point3& r1, const Point3& r2, const Point3& r3) : m_{r0, r1, r2, r3} {}

    Point3& operator[](int row) { return m_[row]; }
    const Point3& operator[](int row) const { return m_[row]; }
    Point3 GetRow(int i) const { return m_[i]; }
    void SetRow(int i, const Point3& p) { m_[i] = p; }
    Point3 GetTrans() const { return m_[3]; }
    void SetTrans(const Point3& p) { m_[3] = p; }
    void IdentityMatrix() {
        m_[0] = {1, 0, 0};
        m_[1] = {0, 1, 0};
        m_[2] = {0, 0, 1};
        m_[3] = {0, 0, 0};
    }
    // Translation row set to zero.
    void NoTrans() { m_[3] = Point3(0, 0, 0); }
    // Each axis row scaled to unit length (zero rows stay zero).
    void NoScale() {
        for (int i = 0; i < 3; ++i) m_[i] = Normalize(m_[i]);
    }
    // A * B applies A first. The products and transforms are always inlined: a chain of them (a
    // track's local transform, its axis turn, the parent's) then stays in registers, where a call
    // stores each result and the next one stalls reading it back in other widths.
    [[gnu::always_inline]] inline Matrix3 operator*(const Matrix3& b) const;
    Matrix3& operator*=(const Matrix3& b) { return *this = *this * b; }
    bool operator==(const Matrix3& o) const;

private:
    Point3 m_[4];
};

// Direction transform: the 3x3 part only.
[[gnu::always_inline]] inline Point3 VectorTransform(const Matrix3& m, const Point3& v) {
    return {v.x * m[0].x + v.y * m[1].x + v.z * m[2].x, v.x * m[0].y + v.y * m[1].y + v.z * m[2].y,
            v.x * m[0].z + v.y * m[1].z + v.z * m[2].z};
}
// Point transform: p * M, translation included.
[[gnu::always_inline]] inline Point3 operator*(const Point3& p, const Matrix3& m) { return VectorTransform(m, p) + m[3]; }

inline Matrix3 Matrix3::operator*(const Matrix3& b) const {
    Matrix3 r(VectorTransform(b, m_[0]), VectorTransform(b, m_[1]), VectorTransform(b, m_[2]), m_[3] * b);
    return r;
}
// General inverse of the affine transform; a singular matrix gives non-finite entries.
Matrix3 Inverse(const Matrix3& m);
Matrix3 RotateXMatrix(float angle);
Matrix3 RotateYMatrix(float angle);
Matrix3 RotateZMatrix(float angle);
inline Matrix3 TransMatrix(const Point3& p) { return Matrix3({1, 0, 0}, {0, 1, 0}, {0, 0, 1}, p); }
inline Matrix3 ScaleMatrix(const Point3& s) { return Matrix3({s.x, 0, 0}, {0, s.y, 0}, {0, 0, s.z}, {0, 0, 0}); }

class Quat {
public:
    float x = 0, y = 0, z = 0, w = 1;

    Quat() = default;
    Quat(float x_, float y_, float z_, float w_) : x(x_), y(y_), z(z_), w(w_) {}
    // The host quaternion of the rotation part of m (m should be a pure rotation: apply NoTrans and
    // NoScale first).
    explicit Quat(const Matrix3& m);
    // The rotation matrix of this quaternion, in the host's convention: Quat(MakeMatrix()) == *this.
    Matrix3 MakeMatrix() const;
};
// True when every part is finite.
bool IsFinite(const Quat& q);

class Box3 {
public:
    Point3 pmin{1e30f, 1e30f, 1e30f};
    Point3 pmax{-1e30f, -1e30f, -1e30f};

    void Init() { *this = Box3(); }
    bool IsEmpty() const { return pmin.x > pmax.x || pmin.y > pmax.y || pmin.z > pmax.z; }
    Box3& operator+=(const Point3& p);
    Point3 Min() const { return pmin; }
    Point3 Max() const { return pmax; }
    Point3 Center() const { return (pmin + pmax) * 0.5f; }
    Point3 Width() const { return pmax - pmin; }
};
