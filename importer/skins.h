// Skins of a scene file as Skin modifiers on their mesh nodes, and the skeleton's pose.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <utility>
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

// A bone's place in the bind pose, in the scene. A bone's inverse bind matrix takes the mesh into
// the bone's space. Other formats' are relative to the mesh's node (skinned); a COLLADA skin's are
// relative to the file's world, whose place in the scene worldSkinSpace gives (the mesh's own place
// then being its object offset alone): a skinned mesh below a moved armature binds its bones where
// the file puts them, not moved a second time.
Matrix3 BindWorld(const aiBone& bone, standin::Node& skinned, const Matrix3& toHost,
                  const std::optional<Matrix3>& worldSkinSpace);

// The node each bone of the skins names (none: not in the scene). A bone names its node only, and
// names need not be unique (two armatures may each have a bone "Bone"): of the nodes of its name,
// the one closest to the skinned node in the tree is taken (the deepest common ancestor: a mesh below
// its armature), and of those, the one whose place at frame 0 lies nearest the bone's BindWorld. A
// unique name gives its one node. Found once, before the meshes move or a clip drives the nodes, so
// that every later step uses the same bones; kept by skinned node and bone, as one mesh may be
// instanced by several nodes, each with its own skin.
using BoneNodes = std::map<std::pair<const standin::Node*, const aiBone*>, standin::Node*>;
BoneNodes FindBoneNodes(standin::Scene& scene, const std::vector<SkinnedNode>& skinned, const Matrix3& toHost,
                        const std::optional<Matrix3>& worldSkinSpace);

// Gives each skinned node a Skin modifier (every vertex's bone assignments and weights, the bones
// those of boneNodes) and poses the skeleton as options ask: in its bind pose (each bone at its
// BindWorld; bones without one keep their place relative to their parent), as the file stores it, or
// as a biped whose figure mode shows the bind pose. The weights of a bone that is not in the scene
// are left out, with a warning unless the bone is one of leftOut (bones the importer left out on
// purpose, which says so itself). A vertex's weights that do not add up to 1 are scaled so that they
// do, with a warning in nodeWarnings for the skinned node.
void AddSkins(const aiScene& source, standin::Scene& scene, const std::vector<SkinnedNode>& skinned,
              const BoneNodes& boneNodes, const Matrix3& toHost, const ImportOptions& options, SceneInfo& info,
              const std::set<std::string>& leftOut, const std::optional<Matrix3>& worldSkinSpace,
              std::vector<NodeWarning>& nodeWarnings);

}  // namespace importer
