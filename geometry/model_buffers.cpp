// Welding the cleaned mesh into vertex and polygon buffers, tangent frames and index buffers.
#include <cmath>
#include <string>

#include "geometry/tangents.h"
#include "geometry/tri_mesh.h"
#include "geometry/weld.h"
#include "plugin/exporter.h"

namespace {

vlo::Vec3 ToVec3(const Point3& p) { return {p.x, p.y, p.z}; }

// The unit normal turned by the object's rotation. A sheared object transform (a rotated child of a
// non-uniformly scaled parent) has no pure rotation part and would stretch the normal; only then is
// it made unit length again, so the normals of ordinary transforms are exactly the rotated ones.
Point3 WorldNormal(const Matrix3& rotation, const Point3& normal) {
    const Point3 n = VectorTransform(rotation, normal);
    const float len = n.Length();
    return len > 0.0f && std::fabs(len - 1.0f) > 1e-4f ? n / len : n;
}

bool IsFiniteVertex(const vlo::ModelVertex& v) {
    return std::isfinite(v.position.x) && std::isfinite(v.position.y) && std::isfinite(v.position.z) &&
           std::isfinite(v.normal.x) && std::isfinite(v.normal.y) && std::isfinite(v.normal.z) && std::isfinite(v.u) &&
           std::isfinite(v.v);
}

}  // namespace

void VloExporter::BuildModelBuffers(Mesh& mesh) {
    const Matrix3 objectTM = pxNode->GetObjTMAfterWSM(evalTime);
    const bool mirrored = vlo::IsMirrored(objectTM);
    const int cornerOrder[3] = {mirrored ? 2 : 0, 1, mirrored ? 0 : 2};
    Matrix3 rotation = objectTM;
    rotation.NoTrans();
    rotation.NoScale();

    vlo::VertexWelder welder(vertices);
    const int numFaces = mesh.getNumFaces();
    if (exportMode == IDC_MODE_HIERARCHY) vertexLinks.assign(std::size_t(numFaces) * 3, vlo::VertexLinks{});
    const bool mapped = !mesh.tvFace.empty();
    const unsigned numTextures = unsigned(textures.size());
    polygons.reserve(polygons.size() + std::size_t(numFaces));
    std::size_t linkFailures = 0;

    for (int f = 0; f < numFaces; ++f) {
        const Face& face = mesh.faces[f];
        vlo::ModelPolygon polygon;
        int textureId = -1;
        for (int k = 0; k < 3; ++k) {
            const int c = cornerOrder[k];
            const DWORD vi = face.v[c];
            vlo::ModelVertex vertex;
            vertex.position = ToVec3(mesh.getVert(int(vi)) * objectTM);
            vertex.normal = ToVec3(WorldNormal(rotation, vlo::GetVertexNormal(mesh, f, mesh.getRVert(int(vi)))));
            if (mapped) {
                if (numTextures > 0) textureId = int(unsigned(face.getMatID()) % numTextures);
                if (textureId >= 0) {
                    const Point3& tv = mesh.tVerts[mesh.tvFace[f].t[c]];
                    vertex.u = tv.x;
                    vertex.v = 1.0f - tv.y;
                }
            }
            const std::uint32_t index = welder.FindOrAdd(vertex);
            polygon.verts[k] = std::uint16_t(index);
            // Links are read per corner; the welded vertex keeps those of its last successful corner.
            if (exportMode == IDC_MODE_HIERARCHY && index < vertexLinks.size() &&
                !GetVertexLinks(mesh.getVert(int(vi)) * objectTM, int(vi), vertexLinks[index]))
                ++linkFailures;
        }
        polygon.textureId = std::int16_t(textureId);
        polygons.push_back(polygon);
    }

    // A file with indices cut to 16 bits or with non-finite values would be corrupt: refuse both.
    const std::string name = pxNode->GetName() ? pxNode->GetName() : "";
    if (vertices.size() > vlo::kMaxVertices) {
        const std::string message = "Too many vertices in object '" + name + "': " + std::to_string(vertices.size()) +
                                    " welded vertices, at most " + std::to_string(vlo::kMaxVertices) +
                                    " fit the file. Nothing was exported";
        ShowError(message.c_str());
        exportFailed = true;
        return;
    }
    // A vertex without bone links would be left behind by the skeleton in the game.
    std::size_t unlinked = 0;
    if (exportMode == IDC_MODE_HIERARCHY)
        for (std::size_t i = 0; i < vertices.size(); ++i) unlinked += vertexLinks[i].numLinks == 0;
    if (linkFailures != 0 || unlinked != 0) {
        const std::string message = "Object '" + name + "': " + std::to_string(unlinked) + " of " +
                                    std::to_string(vertices.size()) + " vertices have no usable bone links (" +
                                    std::to_string(linkFailures) + " corners failed). Nothing was exported";
        ShowError(message.c_str());
        exportFailed = true;
        return;
    }
    std::size_t nonFinite = 0;
    for (const vlo::ModelVertex& v : vertices) nonFinite += !IsFiniteVertex(v);
    if (nonFinite != 0) {
        const std::string message = "Object '" + name + "' has " + std::to_string(nonFinite) +
                                    " vertices with non-finite positions, normals or texture coordinates. "
                                    "Nothing was exported";
        ShowError(message.c_str());
        exportFailed = true;
        return;
    }

    BuildTangents();
    BuildIndexBuffers();

    if (infoFile) {
        infoFile->Printf("\nInfo\n====\n\n");
        infoFile->Printf("   Num Textures = %d\n", int(textures.size()));
        infoFile->Printf("   Num Vertices = %d\n", int(vertices.size()));
        infoFile->Printf("   Num Polys    = %d\n", int(polygons.size()));
        infoFile->Printf("   Num Index Buffers = %d\n", int(indexBuffers.size()));
        for (std::size_t i = 0; i < indexBuffers.size(); ++i)
            infoFile->Printf("      Index Buffer %d) Texture Index = %d; Num Polys = %d\n", int(i),
                             indexBuffers[i].textureId, int(indexBuffers[i].numPolys));
    }
}

void VloExporter::BuildTangents() {
    const auto frames = vlo::BuildTangentFrames(vertices, polygons);
    tangents.insert(tangents.end(), frames.begin(), frames.end());
}

void VloExporter::BuildIndexBuffers() {
    std::vector<vlo::ModelPolygon> copy;
    copy.swap(polygons);
    polygons.reserve(copy.size());
    const int numTextures = int(textures.size());
    for (int id = -1; id < numTextures; ++id) {
        std::uint32_t count = 0;
        for (const vlo::ModelPolygon& p : copy)
            if (p.textureId == id) {
                polygons.push_back(p);
                ++count;
            }
        if (count != 0) indexBuffers.push_back(IndexBuffer{id, count});
    }
    if (polygons.size() != copy.size()) ShowError("Copy list is not empty!?");
}
