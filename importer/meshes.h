// One host triangle mesh from the assimp meshes of one node.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <assimp/mesh.h>

#include "host/mesh.h"
#include "importer/uv_placement.h"

namespace importer {

struct MeshPiece {
    const aiMesh* mesh = nullptr;
    Matrix3 offset;          // from the piece's space into the node's object space
    bool hasOffset = false;  // false: the piece is already in object space
};

struct BuiltMesh {
    std::vector<unsigned> materials;  // file material index of each material id, in id order
    std::size_t skippedFaces = 0;     // points and lines, which a triangle mesh cannot hold
    std::size_t unusableNormals = 0;  // file normals of triangles' corners of no length or not finite, left to be computed
};

// Appends every piece to out: vertices (moved by the piece's offset), specified normals where the
// piece has usable normals (of some length, finite), first-channel texture coordinates (one texture vertex per vertex; a mesh whose
// pieces have none stays unmapped), triangles with the material id of their piece's material.
// Triangles without normals get smoothing group 1, or 0 (faceted) when flatWithoutNormals is set.
// Positions and normals are finally turned by toHost (a rotation into the host's axes). A piece
// whose material's texture the file places by a transform of its own (placements, by file material
// index) gets its texture coordinates moved by it, so the texture lies as in the file.
BuiltMesh BuildMesh(const std::vector<MeshPiece>& pieces, Mesh& out, bool flatWithoutNormals, const Matrix3& toHost,
                    const std::vector<std::optional<UvPlacement>>& placements = {});

}  // namespace importer
