// Triangles of a mesh whose polygons assimp did not split: the same triangles, corner for corner,
// as assimp's triangulation step gives, so that a scene is the same whichever of the two split it.
#pragma once

#include <array>
#include <optional>
#include <string>

#include <assimp/scene.h>

namespace importer {

// Whether assimp's triangulation step would split this mesh's faces (it goes by the mesh's
// primitive types, or by its faces when the loader named none).
bool SplitsPolygons(const aiMesh& mesh);

// Why the scene's faces cannot be read, if one has a corner on no vertex of its mesh (a damaged
// file: splitting it into triangles, by assimp's step or here, would read outside the mesh), or more
// corners than assimp allows a polygon (AI_MAX_FACE_INDICES; its triangulation, whose time grows with
// the square of the corners, would not end for a damaged count in the millions).
std::optional<std::string> UnreadableFace(const aiScene& scene);

// Whether some face of the scene has more than four corners: those are left to assimp's own step,
// which cuts ears; quads and triangles are split here.
bool HasLargePolygons(const aiScene& scene);

// Walks one mesh's faces in order and gives each face's triangles. In a mesh assimp would split,
// a quad becomes two triangles fanned from its concave corner (or its first), and a triangle or
// quad whose fan corner is the one the face before it started from is turned to start elsewhere,
// as assimp marks where one polygon ends. Other meshes' triangles are passed on as they are.
class TriangleSplitter {
public:
    explicit TriangleSplitter(const aiMesh& mesh) : mesh_(mesh), splits_(SplitsPolygons(mesh)) {}

    // The triangles of face f, in out; returns how many: 0 for points, lines and polygons of more
    // than four corners (or of four in a mesh assimp would not split), 1 or 2.
    int Split(unsigned f, std::array<std::array<unsigned, 3>, 2>& out);

private:
    const aiMesh& mesh_;
    bool splits_;
    unsigned lastFan_ = ~0u;
};

}  // namespace importer
