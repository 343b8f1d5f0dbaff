#include "geometry/model_buffers.h"

#include <algorithm>
#include <cmath>

#include "geometry/tri_mesh.h"
#include "geometry/weld.h"

namespace vlo {
namespace {

Vec3 ToVec3(const Point3& p) { return {p.x, p.y, p.z}; }

}  // namespace

ModelBuffers BuildModelBuffers(Mesh& mesh, const Matrix3& objectTM, std::size_t numTextures, VertexLinkReader* links) {
    ModelBuffers out;
    const bool mirrored = IsMirrored(objectTM);
    const int cornerOrder[3] = {mirrored ? 2 : 0, 1, mirrored ? 0 : 2};
    const NormalTransform toWorld(objectTM);

    const int numFaces = mesh.getNumFaces();
    VertexWelder welder(out.vertices, std::size_t(numFaces) * 3);
    if (links) out.links.assign(std::size_t(numFaces) * 3, VertexLinks{});
    const bool mapped = !mesh.tvFace.empty();
    out.polygons.reserve(std::size_t(numFaces));

    // Faces go in blocks: their corners are made, then welded together (the weld fetches each
    // corner's table slot ahead of its lookup), then stored and their links read, in corner order.
    constexpr int kBlockFaces = 64;
    ModelVertex corners[kBlockFaces * 3];
    Point3 worlds[kBlockFaces * 3];
    DWORD meshVertices[kBlockFaces * 3];
    std::uint32_t indices[kBlockFaces * 3];
    for (int first = 0; first < numFaces; first += kBlockFaces) {
        const int count = std::min(kBlockFaces, numFaces - first);
        for (int b = 0; b < count; ++b) {
            const int f = first + b;
            const Face& face = mesh.faces[f];
            ModelPolygon polygon;
            int textureId = -1;
            for (int k = 0; k < 3; ++k) {
                const int c = cornerOrder[k];
                const DWORD vi = face.v[c];
                const Point3 world = mesh.getVert(int(vi)) * objectTM;
                ModelVertex& vertex = corners[3 * b + k];
                vertex = ModelVertex{};
                vertex.position = ToVec3(world);
                vertex.normal = ToVec3(toWorld(GetVertexNormal(mesh, f, mesh.getRVert(int(vi)))));
                if (mapped) {
                    if (numTextures > 0) textureId = int(unsigned(face.getMatID()) % unsigned(numTextures));
                    if (textureId >= 0) {
                        const Point3& tv = mesh.tVerts[mesh.tvFace[f].t[c]];
                        vertex.u = tv.x;
                        vertex.v = 1.0f - tv.y;
                    }
                }
                worlds[3 * b + k] = world;
                meshVertices[3 * b + k] = vi;
            }
            polygon.textureId = std::int16_t(textureId);
            out.polygons.push_back(polygon);
        }
        welder.FindOrAdd(corners, std::size_t(count) * 3, indices);
        for (int i = 0; i < count * 3; ++i) {
            out.polygons[std::size_t(first + i / 3)].verts[i % 3] = std::uint16_t(indices[i]);
            // Links are read per corner; the welded vertex keeps those of its last successful corner.
            if (links && indices[i] < out.links.size() && !links->Read(worlds[i], int(meshVertices[i]), out.links[indices[i]]))
                ++out.linkFailures;
        }
    }
    if (links) out.links.resize(out.vertices.size());
    return out;
}

std::vector<IndexBuffer> GroupByTexture(std::vector<ModelPolygon>& polygons, std::size_t numTextures) {
    // A stable counting sort on id + 1; an id outside -1 .. numTextures - 1 (which the weld never
    // gives) would be left out.
    std::vector<std::uint32_t> start(numTextures + 2, 0);
    for (const ModelPolygon& p : polygons)
        if (p.textureId >= -1 && std::size_t(p.textureId + 1) < numTextures + 1) ++start[std::size_t(p.textureId + 2)];
    std::vector<IndexBuffer> buffers;
    for (std::size_t g = 0; g <= numTextures; ++g) {
        if (start[g + 1] != 0) buffers.push_back(IndexBuffer{int(g) - 1, start[g + 1]});
        start[g + 1] += start[g];
    }
    std::vector<ModelPolygon> grouped(start[numTextures + 1]);
    for (const ModelPolygon& p : polygons)
        if (p.textureId >= -1 && std::size_t(p.textureId + 1) < numTextures + 1)
            grouped[start[std::size_t(p.textureId + 1)]++] = p;
    polygons.swap(grouped);
    return buffers;
}

}  // namespace vlo
