#include "importer/meshes.h"

#include <algorithm>

#include "importer/convert.h"

namespace importer {

BuiltMesh BuildMesh(const std::vector<MeshPiece>& pieces, Mesh& out, bool flatWithoutNormals) {
    BuiltMesh built;
    bool mapped = false;
    for (const MeshPiece& p : pieces) mapped |= p.mesh->HasTextureCoords(0);

    for (const MeshPiece& piece : pieces) {
        const aiMesh& m = *piece.mesh;
        const auto found = std::find(built.materials.begin(), built.materials.end(), m.mMaterialIndex);
        const auto matId = MtlID(found - built.materials.begin());
        if (found == built.materials.end()) built.materials.push_back(m.mMaterialIndex);

        Matrix3 normalTM = piece.offset;
        normalTM.NoTrans();
        normalTM = Inverse(normalTM);  // normals follow the inverse transpose
        const DWORD base = DWORD(out.verts.size());
        for (unsigned i = 0; i < m.mNumVertices; ++i) {
            Point3 p = ToPoint3(m.mVertices[i]);
            if (piece.hasOffset) p = p * piece.offset;
            out.verts.push_back(p);
            if (m.HasNormals()) {
                Point3 n = ToPoint3(m.mNormals[i]);
                if (piece.hasOffset)
                    n = Point3(DotProd(n, normalTM[0]), DotProd(n, normalTM[1]), DotProd(n, normalTM[2]));
                out.setSpecifiedNormal(int(base + i), n);
            }
            if (mapped)
                out.tVerts.push_back(m.HasTextureCoords(0) ? Point3(m.mTextureCoords[0][i].x, m.mTextureCoords[0][i].y, 0)
                                                          : Point3());
        }
        const bool mirrored = piece.hasOffset && DotProd(CrossProd(piece.offset[0], piece.offset[1]), piece.offset[2]) < 0;
        for (unsigned f = 0; f < m.mNumFaces; ++f) {
            const aiFace& face = m.mFaces[f];
            if (face.mNumIndices != 3) {
                ++built.skippedFaces;
                continue;
            }
            Face hostFace;
            for (int k = 0; k < 3; ++k) hostFace.v[k] = base + face.mIndices[mirrored ? 2 - k : k];
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
    return built;
}

}  // namespace importer
