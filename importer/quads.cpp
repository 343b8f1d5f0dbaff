#include "importer/quads.h"

#include <cmath>

namespace importer {

bool SplitsPolygons(const aiMesh& mesh) {
    if (mesh.mPrimitiveTypes) return (mesh.mPrimitiveTypes & aiPrimitiveType_POLYGON) != 0;
    for (unsigned f = 0; f < mesh.mNumFaces; ++f)
        if (mesh.mFaces[f].mNumIndices != 3) return true;
    return false;
}

std::optional<std::string> UnreadableFace(const aiScene& scene) {
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        const aiMesh& mesh = *scene.mMeshes[m];
        const std::string name = mesh.mName.length ? "mesh '" + std::string(mesh.mName.C_Str()) + "'" : "mesh " + std::to_string(m);
        for (unsigned f = 0; f < mesh.mNumFaces; ++f) {
            const aiFace& face = mesh.mFaces[f];
            if (face.mNumIndices > AI_MAX_FACE_INDICES)
                return name + ": face " + std::to_string(f) + " has " + std::to_string(face.mNumIndices) +
                       " corners, more than the " + std::to_string(AI_MAX_FACE_INDICES) +
                       " a polygon can have (the file is damaged, or the polygon must be split)";
            for (unsigned k = 0; k < face.mNumIndices; ++k)
                if (const unsigned v = face.mIndices[k]; v >= mesh.mNumVertices)
                    return name + ": face " + std::to_string(f) + " has a corner on vertex " + std::to_string(v) +
                           ", but the mesh has " + std::to_string(mesh.mNumVertices) + " vertices (the file is damaged)";
        }
    }
    return std::nullopt;
}

bool HasLargePolygons(const aiScene& scene) {
    for (unsigned m = 0; m < scene.mNumMeshes; ++m) {
        const aiMesh& mesh = *scene.mMeshes[m];
        if (!SplitsPolygons(mesh)) continue;
        for (unsigned f = 0; f < mesh.mNumFaces; ++f)
            if (mesh.mFaces[f].mNumIndices > 4) return true;
    }
    return false;
}

namespace {

// assimp's own test of corner i, in its single-precision vector arithmetic (the vector operations
// are those of assimp's headers, the same code its library was built from).
bool ConcaveExactly(const aiVector3D* verts, const unsigned* quad, unsigned i) {
    const aiVector3D& v = verts[quad[i]];
    aiVector3D left = verts[quad[(i + 3) % 4]] - v;
    aiVector3D diag = verts[quad[(i + 2) % 4]] - v;
    aiVector3D right = verts[quad[(i + 1) % 4]] - v;
    left.Normalize();
    diag.Normalize();
    right.Normalize();
    const float angle = std::acos(left * diag) + std::acos(right * diag);
    return angle > AI_MATH_PI_F;
}

// The same decision without the angles when it is clear by a wide margin. With a and b the cosines
// of the two angles, acos(a) + acos(b) > pi exactly when a + b < 0, and the sum of the angles is at
// least |a + b| away from pi. These cosines divide by the same single-precision squares of the
// lengths as assimp's normalisations (which are off by percents when a square falls below a
// float's normal range), so assimp's cosines differ from them only by the roundings of its
// normalisations and products, under 1e-5, and its acos and sum add less than 1e-6: a margin of
// 1e-3 on a + b, with neither cosine near +-1 (where assimp's may step past 1 and give no angle),
// cannot decide otherwise. An edge whose square is 0 gives no cosine here (nor one that is not a
// number), and is left to the exact test; one whose square overflows gives a cosine of 0, as
// assimp's normalisation, which then multiplies by 1 / infinity, does.
// Returns 1 (concave), 0 (not) or -1 (too close: ask the exact test).
int ConcaveClearly(const aiVector3D& l, const aiVector3D& d, const aiVector3D& r) {
    const double ll = l * l, dd = d * d, rr = r * r;
    const double ld = double(l.x) * d.x + double(l.y) * d.y + double(l.z) * d.z;
    const double rd = double(r.x) * d.x + double(r.y) * d.y + double(r.z) * d.z;
    const double a = ld / std::sqrt(ll * dd), b = rd / std::sqrt(rr * dd);
    constexpr double kNearOne = 0.999, kMargin = 1e-3;
    if (!(std::fabs(a) < kNearOne && std::fabs(b) < kNearOne)) return -1;  // also NaN
    if (a + b > kMargin) return 0;
    if (a + b < -kMargin) return 1;
    return -1;
}

// The corner (0 to 3) a quad is fanned from: the first whose two angles beside the diagonal to
// its opposite corner add up to more than pi, else 0. Decided as assimp's single-precision angles
// decide it, bit for bit.
unsigned FanCorner(const aiVector3D* verts, const unsigned* quad) {
    for (unsigned i = 0; i < 4; ++i) {
        const aiVector3D& v = verts[quad[i]];
        const int clearly = ConcaveClearly(verts[quad[(i + 3) % 4]] - v, verts[quad[(i + 2) % 4]] - v,
                                           verts[quad[(i + 1) % 4]] - v);
        if (clearly == 1 || (clearly == -1 && ConcaveExactly(verts, quad, i))) return i;
    }
    return 0;
}

}  // namespace

int TriangleSplitter::Split(unsigned f, std::array<std::array<unsigned, 3>, 2>& out) {
    const aiFace& face = mesh_.mFaces[f];
    const unsigned* idx = face.mIndices;
    if (face.mNumIndices == 3) {
        out[0] = {idx[0], idx[1], idx[2]};
        if (splits_) {
            if (out[0][0] == lastFan_) out[0] = {idx[2], idx[0], idx[1]};
            lastFan_ = out[0][0];
        }
        return 1;
    }
    if (face.mNumIndices != 4 || !splits_) return 0;
    const unsigned s = FanCorner(mesh_.mVertices, idx);
    const unsigned a = idx[s], b = idx[(s + 1) % 4], c = idx[(s + 2) % 4], d = idx[(s + 3) % 4];
    if (a == lastFan_) {
        // Fanned from the opposite corner instead, which splits the quad along the same diagonal.
        out[0] = {c, a, b};
        out[1] = {c, d, a};
    } else {
        out[0] = {a, b, c};
        out[1] = {a, c, d};
    }
    lastFan_ = out[0][0];
    return 2;
}

}  // namespace importer
