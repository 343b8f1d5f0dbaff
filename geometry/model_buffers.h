// The cleaned triangle mesh welded into vertex and polygon buffers, in world space.
#pragma once

#include <cstddef>
#include <vector>

#include "format/vlo_model.h"
#include "host/mesh.h"
#include "skin/vertex_links.h"

namespace vlo {

struct ModelBuffers {
    std::vector<ModelVertex> vertices;   // world space, numbered by first appearance
    std::vector<ModelPolygon> polygons;  // one per face, in face order
    std::vector<VertexLinks> links;      // skinned models: one per vertex, from its last corner read
    std::size_t linkFailures = 0;        // corners whose links could not be read
};

// Takes every face's corners (in reverse order when objectTM mirrors) into world space: position by
// objectTM, normal by its rotation, texture coordinate with v flipped (only with textures: a face's
// texture id is its material id modulo numTextures, else -1 and uv (0, 0)), and welds equal corners.
// With links, reads each corner's bone links into its welded vertex. Indices are cut to 16 bits:
// the caller refuses more than 65,535 vertices.
ModelBuffers BuildModelBuffers(Mesh& mesh, const Matrix3& objectTM, std::size_t numTextures, VertexLinkReader* links);

// Regroups polygons by texture id (-1 first, then 0 to numTextures - 1), keeping face order within a
// group, and returns the groups.
std::vector<IndexBuffer> GroupByTexture(std::vector<ModelPolygon>& polygons, std::size_t numTextures);

}  // namespace vlo
