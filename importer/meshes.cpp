#include "importer/meshes.h"

#include <algorithm>
#include <span>
#include <tuple>

#include "importer/convert.h"
#include "importer/quads.h"

namespace importer {

BuiltMesh BuildMesh(const std::vector<MeshPiece>& pieces, Mesh& out, bool flatWithoutNormals, const Matrix3& toHost,
                    const std::vector<std::optional<UvPlacement>>& placements) {
    BuiltMesh built;
    bool mapped = false;
    std::size_t vertices = 0, faces = 0;
    for (const MeshPiece& p : pieces) {
        mapped |= p.mesh->HasTextureCoords(0);
        vertices += p.mesh->mNumVertices;
        const bool splits = SplitsPolygons(*p.mesh);
        for (unsigned f = 0; f < p.mesh->mNumFaces; ++f) faces += splits && p.mesh->mFaces[f].mNumIndices == 4 ? 2 : 1;
    }
    // Every array at its final size at once: no regrowth (and no doubled capacity) on large meshes.
    out.verts.reserve(out.verts.size() + vertices);
    out.faces.reserve(out.faces.size() + faces);
    if (mapped) {
        out.tVerts.reserve(out.tVerts.size() + vertices);
        out.tvFace.reserve(out.tvFace.size() + faces);
    }
    out.reserveSpecifiedNormals(out.verts.size() + vertices);

    for (const MeshPiece& piece : pieces) {
        const aiMesh& m = *piece.mesh;
        const auto found = std::find(built.materials.begin(), built.materials.end(), m.mMaterialIndex);
        const auto matId = MtlID(found - built.materials.begin());
        if (found == built.materials.end()) built.materials.push_back(m.mMaterialIndex);

        const Matrix3 tm = piece.hasOffset ? piece.offset * toHost : toHost;
        Matrix3 normalTM = tm;
        normalTM.NoTrans();
        normalTM = Inverse(normalTM);  // normals follow the inverse transpose
        const UvPlacement* placement =
            m.mMaterialIndex < placements.size() && placements[m.mMaterialIndex] ? &*placements[m.mMaterialIndex] : nullptr;
        const DWORD base = DWORD(out.verts.size());
        const std::size_t firstFace = out.faces.size();
        std::vector<unsigned> unusable;  // the vertices whose file normal says nothing
        for (unsigned i = 0; i < m.mNumVertices; ++i) {
            out.verts.push_back(ToPoint3(m.mVertices[i]) * tm);
            if (m.HasNormals()) {
                // A normal of no length or not finite says nothing: the vertex gets the normal the
                // faces give it instead.
                const Point3 n = ToPoint3(m.mNormals[i]);
                const Point3 turned(DotProd(n, normalTM[0]), DotProd(n, normalTM[1]), DotProd(n, normalTM[2]));
                if (IsFinite(turned) && turned.LengthSquared() > 0.0f)
                    out.setSpecifiedNormal(int(base + i), turned);
                else
                    unusable.push_back(i);
            }
            if (mapped && !m.HasTextureCoords(0)) {
                out.tVerts.push_back(Point3());
            } else if (mapped) {
                float u = m.mTextureCoords[0][i].x, v = m.mTextureCoords[0][i].y;
                if (placement) std::tie(u, v) = (*placement)(u, v);
                out.tVerts.push_back(Point3(u, v, 0));
            }
        }
        const bool mirrored = DotProd(CrossProd(tm[0], tm[1]), tm[2]) < 0;
        TriangleSplitter splitter(m);
        std::array<std::array<unsigned, 3>, 2> triangles;
        for (unsigned f = 0; f < m.mNumFaces; ++f) {
            const int count = splitter.Split(f, triangles);
            if (count == 0) {
                ++built.skippedFaces;
                continue;
            }
            for (const std::array<unsigned, 3>& corners : std::span(triangles).first(std::size_t(count))) {
                Face hostFace;
                for (int k = 0; k < 3; ++k) hostFace.v[k] = base + corners[mirrored ? 2 - k : k];
                hostFace.smGroup = m.HasNormals() || !flatWithoutNormals ? 1u : 0u;
                hostFace.setMatID(matId);
                out.faces.push_back(hostFace);
                if (mapped) {
                    TVFace tv;
                    for (int k = 0; k < 3; ++k) tv.t[k] = hostFace.v[k];
                    out.tvFace.push_back(tv);
                }
            }
        }
        // Only a normal the triangles use counts: the vertices of left-out lines and points (an OBJ's
        // loose edges) have none in the file.
        if (!unusable.empty()) {
            std::vector<bool> used(m.mNumVertices);
            for (std::size_t f = firstFace; f < out.faces.size(); ++f)
                for (const DWORD v : out.faces[f].v) used[v - base] = true;
            built.unusableNormals += std::size_t(std::count_if(unusable.begin(), unusable.end(), [&](unsigned i) { return used[i]; }));
        }
    }
    return built;
}

}  // namespace importer
