// Where a material's texture lies on its mesh's texture coordinates, when the file places it by a
// transform of its own (a glTF texture transform, a Blender FBX texture's Mapping): the coordinates
// are moved by it as the meshes are built, so the texture lies on the model as in the file.
#pragma once

#include <utility>

#include <assimp/material.h>

#include "importer/gltf_facts.h"

namespace importer {

// An affine map of texture coordinates as assimp gives them (the origin at the texture's bottom
// left): u' = uu u + uv v + u0, v' = vu u + vv v + v0, in double precision.
struct UvPlacement {
    double uu = 1, uv = 0, u0 = 0, vu = 0, vv = 1, v0 = 0;
    std::pair<float, float> operator()(float u, float v) const;
};

// A glTF texture transform: scaled, then turned, then moved, in the file's texture space, whose v
// runs down from the top.
UvPlacement PlacementOfGltf(const GltfUvTransform& transform);

// The texture transform of an FBX file written by Blender, as assimp gives it: Blender writes a
// Mapping node's location as the texture's translation, its scale inverted and its turn negated,
// so the coordinates are scaled by the inverse, turned back and moved. Other programs' FBX
// transforms follow conventions of their own.
UvPlacement PlacementOfBlenderFbx(const aiUVTransform& transform);

// Whether an FBX texture transform as assimp gives it places the texture other than as it is.
bool Moves(const aiUVTransform& transform);

}  // namespace importer
