// Conversions between assimp's values and the host's, used by the importer's files only.
#pragma once

#include <assimp/matrix4x4.h>
#include <assimp/vector3.h>

#include "host/geom.h"

namespace importer {

// assimp's matrices transform column vectors; the host's Matrix3 is their transpose (upper 3x4).
inline Matrix3 ToMatrix3(const aiMatrix4x4& m) {
    return Matrix3({m.a1, m.b1, m.c1}, {m.a2, m.b2, m.c2}, {m.a3, m.b3, m.c3}, {m.a4, m.b4, m.c4});
}

inline Point3 ToPoint3(const aiVector3D& v) { return {v.x, v.y, v.z}; }

// Turns a Y-up frame into the host's Z-up frame: (x, y, z) becomes (x, -z, y).
inline Matrix3 YUpToZUp() { return Matrix3({1, 0, 0}, {0, 0, 1}, {0, -1, 0}, {0, 0, 0}); }

}  // namespace importer
