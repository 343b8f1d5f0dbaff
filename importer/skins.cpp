#include "importer/skins.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
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

// The scene's nodes by name, each name's in the scene's order.
std::map<std::string, std::vector<standin::Node*>> NodesByName(standin::Scene& scene) {
    std::map<std::string, std::vector<standin::Node*>> byName;
    for (standin::Node* n : scene.AllNodes()) byName[n->Name()].push_back(n);
    return byName;
}

// Of the nodes named so, the one FindBoneNodes takes for a bone of skinned bound at bindWorld.
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

// Scales each vertex's weights to add up to 1 where they add up to something else: Blender deforms a
// vertex by its weights divided by their sum, so weights painted by hand need not add up to 1, and
// written as they are they would not place the vertex where the artist sees it. Sums
// within a file's rounding of 1 are left as they are, and so is a vertex with a weight below zero or
// not finite, or whose weights add up to nothing (the export names it). Returns the warning for the
// vertices scaled, "" when none was or when every sum lay within a few hundredths of 1: Blender's
// automatic weights ("With Automatic Weights") add up to 0.977 to 1 on a plain arm, a rounding of
// its own that the artist never painted, so a warning on every such rig would say nothing to act on.
std::string NormaliseWeights(std::vector<std::vector<std::pair<int, float>>>& points) {
    constexpr double kTolerance = 1e-3, kPainted = 0.05;
    std::size_t scaled = 0, weighted = 0;
    double least = 0, most = 0;
    for (auto& links : points) {
        double sum = 0;
        bool usable = true;
        for (const auto& [bone, weight] : links) {
            usable = usable && std::isfinite(weight) && weight >= 0;
            sum += weight;
        }
        weighted += !links.empty();
        if (!usable || sum <= 0 || std::fabs(sum - 1) <= kTolerance) continue;
        for (auto& [bone, weight] : links) weight = float(weight / sum);
        least = scaled == 0 ? sum : std::min(least, sum);
        most = scaled == 0 ? sum : std::max(most, sum);
        ++scaled;
    }
    if (scaled == 0 || (least >= 1 - kPainted && most <= 1 + kPainted)) return "";
    // Not counted: a file's vertices are split at seams and hard edges, so counts would not be the
    // artist's.
    char sums[64];
    if (least == most)
        std::snprintf(sums, sizeof sums, "%.3g", least);
    else
        std::snprintf(sums, sizeof sums, "%.3g to %.3g", least, most);
    return std::string("its bone weights add up to ") + sums + (scaled == weighted ? " on every vertex" : " on some vertices") +
           ", not 1: they are scaled to add up to 1, as Blender deforms them (Weights > Normalize All in Blender's "
           "Weight Paint mode makes them so)";
}

}  // namespace

Matrix3 BindWorld(const aiBone& bone, standin::Node& skinned, const Matrix3& toHost,
                  const std::optional<Matrix3>& worldSkinSpace) {
    const Matrix3 inverseBind = Inverse(toHost) * ToMatrix3(bone.mOffsetMatrix) * toHost;
    const Matrix3 skinSpace = worldSkinSpace ? skinned.ObjectOffset() * *worldSkinSpace : skinned.GetObjTMAfterWSM(0);
    return Inverse(inverseBind) * skinSpace;
}

BoneNodes FindBoneNodes(standin::Scene& scene, const std::vector<SkinnedNode>& skinned, const Matrix3& toHost,
                        const std::optional<Matrix3>& worldSkinSpace) {
    const auto byName = NodesByName(scene);
    BoneNodes nodes;
    for (const SkinnedNode& s : skinned)
        for (const MeshPiece& piece : s.pieces)
            for (unsigned b = 0; b < piece.mesh->mNumBones; ++b) {
                const aiBone& bone = *piece.mesh->mBones[b];
                const auto named = byName.find(bone.mName.C_Str());
                nodes[{s.node, &bone}] = named == byName.end() ? nullptr
                                                     : BoneNode(named->second, *s.node, BindWorld(bone, *s.node, toHost, worldSkinSpace));
            }
    return nodes;
}

void AddSkins(const aiScene& source, standin::Scene& scene, const std::vector<SkinnedNode>& skinned,
              const BoneNodes& boneNodes, const Matrix3& toHost, const ImportOptions& options, SceneInfo& info,
              const std::set<std::string>& leftOut, const std::optional<Matrix3>& worldSkinSpace,
              std::vector<NodeWarning>& nodeWarnings) {
    (void)source;
    std::map<standin::Node*, Matrix3> bindWorlds;
    std::vector<standin::Node*> roots;
    for (const SkinnedNode& s : skinned) {
        auto& skin = scene.Make<standin::SkinModifier>();
        skin.skinned = s.node;
        skin.initTM = s.node->GetObjTMAfterWSM(0);
        std::map<standin::Node*, int> boneIndex;
        std::size_t base = 0;
        for (const MeshPiece& piece : s.pieces) {
            const aiMesh& m = *piece.mesh;
            if (skin.points.size() < base + m.mNumVertices) skin.points.resize(base + m.mNumVertices);
            for (unsigned b = 0; b < m.mNumBones; ++b) {
                const aiBone& bone = *m.mBones[b];
                const auto found = boneNodes.find({s.node, &bone});
                standin::Node* node = found == boneNodes.end() ? nullptr : found->second;
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
                bindWorlds.emplace(node, BindWorld(bone, *s.node, toHost, worldSkinSpace));
                if (standin::Node* top = TopLevel(scene, node); std::find(roots.begin(), roots.end(), top) == roots.end())
                    roots.push_back(top);
            }
            base += m.mNumVertices;
        }
        skin.points.resize(s.node->GetObjectRef() ? static_cast<TriObject*>(s.node->GetObjectRef())->mesh.verts.size()
                                                  : skin.points.size());
        if (std::string scaled = NormaliseWeights(skin.points); !scaled.empty())
            nodeWarnings.push_back({s.node, "node '" + s.node->Name() + "': " + std::move(scaled)});
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
