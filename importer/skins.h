// Skins of a scene file as Skin modifiers on their mesh nodes, and the skeleton's pose.
#pragma once

#include <set>
#include <string>
#include <vector>

#include <assimp/scene.h>

#include "importer/importer.h"
#include "importer/meshes.h"
#include "standin/scene.h"

namespace importer {

struct SkinnedNode {
    standin::Node* node;
    std::vector<MeshPiece> pieces;  // in the order BuildMesh appended them
};

// Gives each skinned node a Skin modifier (every vertex's bone assignments and weights, the bones
// found by name in the scene) and poses the skeleton as options ask: in its bind pose (from the
// inverse bind matrices; bones without one keep their place relative to their parent), as the file
// stores it, or as a biped whose figure mode shows the bind pose. The weights of a bone that is not
// in the scene are left out, with a warning unless the bone is one of leftOut (bones the importer
// left out on purpose, which says so itself).
void AddSkins(const aiScene& source, standin::Scene& scene, const std::vector<SkinnedNode>& skinned,
              const Matrix3& toHost, const ImportOptions& options, SceneInfo& info, const std::set<std::string>& leftOut);

}  // namespace importer
