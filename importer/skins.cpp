#include "importer/skins.h"

#include <algorithm>
#include <functional>
#include <map>

#include "host/node_walk.h"
#include "importer/convert.h"
#include "standin/character.h"
#include "standin/modifiers.h"

namespace importer {
namespace {

standin::Node* FindNode(standin::Scene& scene, const std::string& name) { return scene.FindByName(name); }

// How many nodes lie above n, up to the scene's root.
int Depth(const standin::Node* n) {
    int depth = 0;
    for (const standin::Node* up = n->Parent(); up; up = up->Parent()) ++depth;
    return depth;
}

// The depth of the deepest node that is a or above it and b or above it.
int CommonDepth(const standin::Node* a, const standin::Node* b) {
    for (const standin::Node* up = a; up; up = up->Parent())
        for (const standin::Node* other = b; other; other = other->Parent())
            if (up == other) return Depth(up);
    return -1;
}

// Sets the local transforms of the nodes below top so that every node with a target world transform
// gets it, and every other node keeps its place relative to its parent. Returns the new locals.
std::map<standin::Node*, Matrix3> PoseLocals(standin::Node& top, const std::map<standin::Node*, Matrix3>& worlds) {
    std::map<standin::Node*, Matrix3> locals;
    std::function<void(standin::Node&, const Matrix3&)> walk = [&](standin::Node& n, const Matrix3& parentWorld) {
        const auto it = worlds.find(&n);
        const Matrix3 local = it != worlds.end() ? it->second * Inverse(parentWorld) : n.LocalTM(0);
        locals[&n] = local;
        const Matrix3 world = local * parentWorld;
        for (standin::Node* c : n.Children()) walk(*c, world);
    };
    walk(top, top.GetParentTM(0));
    return locals;
}

standin::Node* TopLevel(standin::Scene& scene, standin::Node* n) {
    return static_cast<standin::Node*>(TopLevelAncestor(n, &scene.Root()));
}

}  // namespace

std::map<std::string, std::vector<standin::Node*>> NodesByName(standin::Scene& scene) {
    std::map<std::string, std::vector<standin::Node*>> byName;
    for (standin::Node* n : scene.AllNodes()) byName[n->Name()].push_back(n);
    return byName;
}

standin::Node* BoneNode(const std::vector<standin::Node*>& named, const standin::Node& skinned, const Matrix3& bindWorld) {
    if (named.size() < 2) return named.empty() ? nullptr : named.front();
    standin::Node* best = nullptr;
    int bestDepth = -1;
    float bestDistance = 0;
    for (standin::Node* n : named) {
        const int depth = CommonDepth(n, &skinned);
        const float distance = Length(n->GetNodeTM(0).GetTrans() - bindWorld.GetTrans());
        if (!best || depth > bestDepth || (depth == bestDepth && distance < bestDistance)) {
            best = n;
            bestDepth = depth;
            bestDistance = distance;
        }
    }
    return best;
}

void AddSkins(const aiScene& source, standin::Scene& scene, const std::vector<SkinnedNode>& skinned,
              const Matrix3& toHost, const ImportOptions& options, SceneInfo& info, const std::set<std::string>& leftOut,
              const std::optional<Matrix3>& worldSkinSpace) {
    (void)source;
    const Matrix3 fromHost = Inverse(toHost);
    const auto byName = NodesByName(scene);
    std::map<standin::Node*, Matrix3> bindWorlds;
    std::vector<standin::Node*> roots;
    for (const SkinnedNode& s : skinned) {
        auto& skin = scene.Make<standin::SkinModifier>();
        skin.skinned = s.node;
        skin.initTM = s.node->GetObjTMAfterWSM(0);
        const Matrix3 skinSpace = worldSkinSpace ? s.node->ObjectOffset() * *worldSkinSpace : skin.initTM;
        std::map<standin::Node*, int> boneIndex;
        std::size_t base = 0;
        for (const MeshPiece& piece : s.pieces) {
            const aiMesh& m = *piece.mesh;
            if (skin.points.size() < base + m.mNumVertices) skin.points.resize(base + m.mNumVertices);
            for (unsigned b = 0; b < m.mNumBones; ++b) {
                const aiBone& bone = *m.mBones[b];
                // The bone at bind time: mesh space -> bone space is the inverse bind matrix.
                const Matrix3 inverseBind = fromHost * ToMatrix3(bone.mOffsetMatrix) * toHost;
                const Matrix3 bindWorld = Inverse(inverseBind) * skinSpace;
                const auto named = byName.find(bone.mName.C_Str());
                standin::Node* node = named == byName.end() ? nullptr : BoneNode(named->second, *s.node, bindWorld);
                if (!node) {
                    if (leftOut.count(bone.mName.C_Str())) continue;
                    info.warnings.push_back("bone '" + std::string(bone.mName.C_Str()) + "' of node '" + s.node->Name() +
                                            "' is not in the scene; its weights are left out");
                    continue;
                }
                auto [at, added] = boneIndex.emplace(node, int(skin.bones.size()));
                if (added) skin.bones.push_back(node);
                for (unsigned w = 0; w < bone.mNumWeights; ++w) {
                    const aiVertexWeight& vw = bone.mWeights[w];
                    if (vw.mVertexId < m.mNumVertices) skin.points[base + vw.mVertexId].push_back({at->second, vw.mWeight});
                }
                bindWorlds.emplace(node, bindWorld);
                if (standin::Node* top = TopLevel(scene, node); std::find(roots.begin(), roots.end(), top) == roots.end())
                    roots.push_back(top);
            }
            base += m.mNumVertices;
        }
        skin.points.resize(s.node->GetObjectRef() ? static_cast<TriObject*>(s.node->GetObjectRef())->mesh.verts.size()
                                                  : skin.points.size());
        standin::AddModifiers(scene, *s.node, {&skin});
    }

    if (!options.bipedRoot.empty()) {
        standin::Node* root = FindNode(scene, options.bipedRoot);
        if (!root) {
            info.warnings.push_back("no node named '" + options.bipedRoot + "' to make a biped root");
            return;
        }
        auto& biped = scene.Make<standin::BipedExport>();
        standin::MakeBipedRoot(scene, *root, &biped);
        for (const auto& [node, local] : PoseLocals(*root, bindWorlds)) biped.SetFigurePose(*node, local);
        info.skeletonPose = "biped '" + options.bipedRoot + "': figure mode shows the bind pose";
        return;
    }
    if (options.pose == SkeletonPose::Bind) {
        // The skeleton stands still in its bind pose (its animation, if any, is set aside).
        for (standin::Node* top : roots)
            for (const auto& [node, local] : PoseLocals(*top, bindWorlds)) {
                node->SetLocalTrack(nullptr);
                node->SetLocalTM(local);
            }
        if (!roots.empty()) info.skeletonPose = "bind pose";
    } else if (options.pose == SkeletonPose::Frame) {
        const TimeValue t = options.poseFrame * scene.TicksPerFrame();
        for (standin::Node* node : scene.AllNodes()) {
            const Matrix3 local = node->LocalTM(t);
            node->SetLocalTrack(nullptr);
            node->SetLocalTM(local);
        }
        info.skeletonPose = "the pose of frame " + std::to_string(options.poseFrame);
    } else if (!roots.empty()) {
        info.skeletonPose = "as stored in the file";
    }
}

}  // namespace importer
