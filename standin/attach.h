// Attaching several mesh objects into one, as an artist does in the host before exporting a model
// made of several parts.
#pragma once

#include <string>
#include <vector>

#include "standin/scene.h"

namespace standin {

// A new top-level node named name whose triangle mesh holds every mesh of nodes, in world space
// (the new node sits at the world origin). Mirrored parts keep facing outwards, smoothing groups and
// specified normals are kept, and the parts' materials become one multi/sub-object material (a single
// material when they all share one). Skinned parts keep their bone assignments in one Skin modifier
// (their vertices are taken in the pose the scene shows). The parts stay in the scene, unselected.
Node& AttachMeshes(Scene& scene, const std::vector<Node*>& nodes, const std::string& name);

// The nodes below (and including) node whose object converts to a triangle mesh, in pre-order.
std::vector<Node*> MeshNodesBelow(Node& node);

bool HasMesh(Node& node);

}  // namespace standin
