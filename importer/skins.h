// Skins of a scene file as Skin modifiers on their mesh nodes, and the skeleton's pose.
#pragma once

#include <map>
#include <optional>
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

// The scene's nodes by name, each name's in the scene's order.
std::map<std::string, std::vector<standin::Node*>> NodesByName(standin::Scene& scene);

// The node that a bone of skinned's skin names, of the nodes named so (none when named is empty). A
// bone names its node only, and names need not be unique (two armatures may each have a bone
// "Bone"): the node closest to skinned in the tree is taken (the deepest common ancestor: a mesh
// below its armature), and of those, the one whose place at frame 0 lies nearest the bone's place in
// the bind pose (bindWorld). A unique name gives its one node.
standin::Node* BoneNode(const std::vector<standin::Node*>& named, const standin::Node& skinned, const Matrix3& bindWorld);

// Gives each skinned node a Skin modifier (every vertex's bone assignments and weights, the bones
// found by name in the scene, by BoneNode) and poses the skeleton as options ask: in its bind pose (from the
// inverse bind matrices; bones without one keep their place relative to their parent), as the file
// stores it, or as a biped whose figure mode shows the bind pose. The weights of a bone that is not
// in the scene are left out, with a warning unless the bone is one of leftOut (bones the importer
// left out on purpose, which says so itself).
//
// A bone's inverse bind matrix takes the mesh into the bone's space. Other formats' are relative to
// the mesh's node; a COLLADA skin's are relative to the file's world, whose place in the scene
// worldSkinSpace gives (the mesh's own place then being its object offset alone): a skinned mesh
// below a moved armature binds its bones where the file puts them, not moved a second time.
void AddSkins(const aiScene& source, standin::Scene& scene, const std::vector<SkinnedNode>& skinned,
              const Matrix3& toHost, const ImportOptions& options, SceneInfo& info, const std::set<std::string>& leftOut,
              const std::optional<Matrix3>& worldSkinSpace = std::nullopt);

}  // namespace importer
