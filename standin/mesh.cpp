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

Mesh::Mesh(const Mesh& other)
    : verts(other.verts), faces(other.faces), tVerts(other.tVerts), tvFace(other.tvFace), rVerts(other.rVerts),
      faceNormals(other.faceNormals), specified_(other.specified_), sharedNormals_(other.sharedNormals_) {
    for (RVertex& rv : rVerts)
        if (rv.ern) rv.ern = sharedNormals_.data() + (rv.ern - other.sharedNormals_.data());
}

Mesh& Mesh::operator=(const Mesh& other) {
    if (this != &other) *this = Mesh(other);
    return *this;
}

void Mesh::setSpecifiedNormal(int i, const Point3& n) {
    if (i < 0) return;
    if (specified_.size() == std::size_t(i)) {  // the common case: vertices given their normals in order
        specified_.push_back({n, true});
        return;
    }
    if (specified_.size() < std::size_t(i)) specified_.resize(std::size_t(i) + 1);
    specified_[std::size_t(i)] = {n, true};
}

void Mesh::buildNormals() {
    const std::size_t nv = verts.size();
    faceNormals.assign(faces.size(), Point3());
    rVerts.assign(nv, RVertex{});
    // Each vertex's smoothing entries, in the order they were made, as a list linked through one
    // flat array (most vertices have one entry; none is allocated on its own). Vertices with a
    // specified normal need none.
    constexpr std::uint32_t kNone = 0xFFFFFFFFu;
    struct Entry {
        RNormal normal;
        std::uint32_t next = kNone;
    };
    std::vector<std::uint32_t> first;  // made at the first vertex that needs an entry
    std::vector<Entry> entries;
    // Per vertex with several normals: where its array starts in the pool (made at the first such vertex).
    std::vector<std::uint32_t> shared;
    sharedNormals_.clear();

    for (std::size_t f = 0; f < faces.size(); ++f) {
        const Face& face = faces[f];
        if (!FaceInRange(face, nv)) continue;
        const Point3 p[3] = {verts[face.v[0]], verts[face.v[1]], verts[face.v[2]]};
        const Point3 fn = Normalize(CrossProd(p[1] - p[0], p[2] - p[0]));
        faceNormals[f] = fn;
        if (face.smGroup == 0) continue;
        for (int c = 0; c < 3; ++c) {
            if (hasSpecifiedNormal(int(face.v[c]))) continue;
            // Each face adds its normal weighted by its corner angle; a corner without a finite
            // angle (a zero-length edge) adds nothing but still joins its smoothing entry.
            const Point3 e1 = Normalize(p[(c + 1) % 3] - p[c]), e2 = Normalize(p[(c + 2) % 3] - p[c]);
            float angle = std::acos(std::clamp(DotProd(e1, e2), -1.0f, 1.0f));
            if (!std::isfinite(angle) || !IsFinite(fn)) angle = 0.0f;
            const Point3 contribution = IsFinite(fn) ? fn * angle : Point3();
            if (first.empty()) first.assign(nv, kNone);
            std::uint32_t* link = &first[face.v[c]];
            while (*link != kNone) {
                RNormal& e = entries[*link].normal;
                if ((e.smGroup & face.smGroup) != 0 && e.mtlIndex == face.getMatID()) break;
                link = &entries[*link].next;
            }
            if (*link != kNone) {
                RNormal& match = entries[*link].normal;
                match.normal += contribution;
                match.smGroup |= face.smGroup;
            } else {
                *link = std::uint32_t(entries.size());
                Entry& entry = entries.emplace_back();
                entry.normal.normal = contribution;
                entry.normal.smGroup = face.smGroup;
                entry.normal.mtlIndex = face.getMatID();
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
        const std::uint32_t head = first.empty() ? kNone : first[i];
        std::size_t count = 0;
        for (std::uint32_t e = head; e != kNone && count < NORCT_MASK; e = entries[e].next) ++count;
        rv.rFlags = DWORD(count);
        std::size_t k = 0;
        for (std::uint32_t e = head; k < count; e = entries[e].next, ++k) {
            RNormal normal = entries[e].normal;
            normal.normal = Normalize(normal.normal);
            if (count == 1) {
                rv.rn = normal;
            } else {
                if (shared.empty()) shared.assign(nv, kNone);
                if (k == 0) shared[i] = std::uint32_t(sharedNormals_.size());
                sharedNormals_.push_back(normal);
            }
        }
    }
    // The arrays point into the pool once it no longer grows.
    for (std::size_t i = 0; i < shared.size(); ++i)
        if (shared[i] != kNone) rVerts[i].ern = sharedNormals_.data() + shared[i];
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
