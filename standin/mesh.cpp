// The host's mesh behaviour, as the stand-in host provides it.
#include <algorithm>
#include <cmath>

#include "host/mesh.h"

namespace {

bool FaceInRange(const Face& f, std::size_t numVerts) {
    return f.v[0] < numVerts && f.v[1] < numVerts && f.v[2] < numVerts;
}

// Removes the faces (and their texture faces, kept parallel) for which drop(face, tvFace) holds.
template <class Pred>
bool RemoveFacesIf(Mesh& mesh, Pred drop) {
    const bool mapped = mesh.tvFace.size() == mesh.faces.size();
    std::size_t kept = 0;
    for (std::size_t f = 0; f < mesh.faces.size(); ++f) {
        if (drop(mesh.faces[f], mapped ? &mesh.tvFace[f] : nullptr)) continue;
        mesh.faces[kept] = mesh.faces[f];
        if (mapped) mesh.tvFace[kept] = mesh.tvFace[f];
        ++kept;
    }
    const bool removed = kept != mesh.faces.size();
    mesh.faces.resize(kept);
    if (mapped) mesh.tvFace.resize(kept);
    return removed;
}

}  // namespace

void Mesh::setSpecifiedNormal(int i, const Point3& n) {
    if (i < 0) return;
    if (specified_.size() <= std::size_t(i)) specified_.resize(std::size_t(i) + 1);
    specified_[std::size_t(i)] = {n, true};
}

void Mesh::buildNormals() {
    const std::size_t nv = verts.size();
    faceNormals.assign(faces.size(), Point3());
    rVerts.assign(nv, RVertex{});
    std::vector<std::vector<RNormal>> entries(nv);

    for (std::size_t f = 0; f < faces.size(); ++f) {
        const Face& face = faces[f];
        if (!FaceInRange(face, nv)) continue;
        const Point3 p[3] = {verts[face.v[0]], verts[face.v[1]], verts[face.v[2]]};
        const Point3 fn = Normalize(CrossProd(p[1] - p[0], p[2] - p[0]));
        faceNormals[f] = fn;
        if (face.smGroup == 0) continue;
        for (int c = 0; c < 3; ++c) {
            // Each face adds its normal weighted by its corner angle; a corner without a finite
            // angle (a zero-length edge) adds nothing but still joins its smoothing entry.
            const Point3 e1 = Normalize(p[(c + 1) % 3] - p[c]), e2 = Normalize(p[(c + 2) % 3] - p[c]);
            float angle = std::acos(std::clamp(DotProd(e1, e2), -1.0f, 1.0f));
            if (!std::isfinite(angle) || !IsFinite(fn)) angle = 0.0f;
            const Point3 contribution = IsFinite(fn) ? fn * angle : Point3();
            auto& list = entries[face.v[c]];
            auto match = std::find_if(list.begin(), list.end(), [&](const RNormal& e) {
                return (e.smGroup & face.smGroup) != 0 && e.mtlIndex == face.getMatID();
            });
            if (match != list.end()) {
                match->normal += contribution;
                match->smGroup |= face.smGroup;
            } else {
                RNormal entry;
                entry.normal = contribution;
                entry.smGroup = face.smGroup;
                entry.mtlIndex = face.getMatID();
                list.push_back(entry);
            }
        }
    }

    for (std::size_t i = 0; i < nv; ++i) {
        RVertex& rv = rVerts[i];
        if (hasSpecifiedNormal(int(i))) {
            rv.rFlags = SPECIFIED_NORMAL | 1;
            rv.rn.normal = Normalize(specified_[i].normal);
            continue;
        }
        auto& list = entries[i];
        for (RNormal& e : list) e.normal = Normalize(e.normal);
        const std::size_t count = std::min<std::size_t>(list.size(), NORCT_MASK);
        rv.rFlags = DWORD(count);
        if (count == 1) rv.rn = list[0];
        else if (count > 1) rv.ern.assign(list.begin(), list.begin() + std::ptrdiff_t(count));
    }
}

BOOL Mesh::RemoveDegenerateFaces() {
    return RemoveFacesIf(*this, [](const Face& f, const TVFace*) {
        return f.v[0] == f.v[1] || f.v[1] == f.v[2] || f.v[0] == f.v[2];
    }) ? TRUE : FALSE;
}

BOOL Mesh::RemoveIllegalFaces() {
    // Texture faces that do not pair with the faces make the mapping unusable: drop the mapping.
    BOOL removed = FALSE;
    if (!tvFace.empty() && tvFace.size() != faces.size()) {
        tvFace.clear();
        removed = TRUE;
    }
    const std::size_t nv = verts.size(), ntv = tVerts.size();
    if (RemoveFacesIf(*this, [&](const Face& f, const TVFace* tf) {
            return !FaceInRange(f, nv) || (tf && (tf->t[0] >= ntv || tf->t[1] >= ntv || tf->t[2] >= ntv));
        }))
        removed = TRUE;
    return removed;
}

void TriObject::GetDeformBBox(TimeValue, Box3& box, Matrix3* tm, BOOL) {
    box.Init();
    for (const Point3& p : mesh.verts) box += tm ? p * *tm : p;
}
