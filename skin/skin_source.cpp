#include "skin/skin_source.h"

#include <string>

#include "host/node_walk.h"

namespace vlo {
namespace {

// The running root of the hierarchy check: the first bone sets it (a bone of no hierarchy leaves it
// unset for the next one); any later bone under another top-level node is an error.
struct RootRule {
    INode* root = nullptr;
    bool set = false;
    // False when top differs from the root already set.
    bool Apply(INode* top) {
        if (!set || !root) {
            root = top;
            set = top != nullptr;
            return true;
        }
        return top == root;
    }
};

const char* const kMixed = "Vertices are mapped to more than one hierarchy";

// Applies the root rule to every bone of every Physique vertex; the failure names what went wrong.
Result<bool> CheckPhysiqueBones(IPhyContextExport& context, INode* sceneRoot, RootRule& rule) {
    const int n = context.GetNumberVertices();
    for (int v = 0; v < n; ++v) {
        IPhyVertexExport* vertex = context.GetVertexInterface(v);
        if (!vertex) return Notice::Stop("Failed to retrieve an export interface for a particular vertex");
        const int type = vertex->GetVertexType();
        context.ReleaseVertexInterface(vertex);
        vertex = context.GetVertexInterface(v);
        bool ok = true;
        const char* missing = nullptr;
        if (type == RIGID_TYPE) {
            if (auto* rigid = dynamic_cast<IPhyRigidVertex*>(vertex))
                ok = rule.Apply(TopLevelAncestor(rigid->GetNode(), sceneRoot));
            else
                missing = "Failed to retrieve rigid type export interface for a particular vertex";
        } else if (type == RIGID_BLENDED_TYPE) {
            if (auto* blended = dynamic_cast<IPhyBlendedRigidVertex*>(vertex)) {
                const int count = blended->GetNumberNodes();
                for (int i = 0; i < count && ok; ++i) ok = rule.Apply(TopLevelAncestor(blended->GetNode(i), sceneRoot));
            } else {
                missing = "Failed to retrieve blended rigid type export interface for a particular vertex";
            }
        } else {
            missing = "Vertex type not RIGID_TYPE";
        }
        if (vertex) context.ReleaseVertexInterface(vertex);
        if (missing) return Notice::Stop(missing);
        if (!ok) return Notice::Stop(kMixed);
    }
    return true;
}

Result<bool> CheckSkinBones(ISkin& skin, ISkinContextData& context, INode* sceneRoot, RootRule& rule,
                            NoticeSink& notices) {
    const int points = context.GetNumPoints();
    for (int v = 0; v < points; ++v) {
        const int count = context.GetNumAssignedBones(v);
        for (int j = 0; j < count; ++j) {
            INode* bone = skin.GetBone(context.GetAssignedBone(v, j));
            if (!bone) notices.Report(Notice::Error("NULL pxBoneNode"));
            if (!rule.Apply(TopLevelAncestor(bone, sceneRoot))) return Notice::Stop(kMixed);
        }
    }
    return true;
}

}  // namespace

Result<SkeletonRoot> PrepareBiped(INode* root) {
    SkeletonRoot skeleton{root, nullptr};
    Control* c = root ? root->GetTMController() : nullptr;
    if (c && c->ClassID() == BIPBODY_CONTROL_CLASS_ID) {
        skeleton.biped = static_cast<IBipedExport*>(c->GetInterface(I_BIPINTERFACE));
        if (!skeleton.biped) return Notice::Stop("Failed to obtain BIP export interface");
    }
    return skeleton;
}

Result<SkinSource> PrepareSkin(Interface& host, INode& node, NoticeSink& notices) {
    Modifier* physique = FindModifier(&node, PHYSIQUE_CLASS_ID);
    Modifier* skin = physique ? nullptr : FindModifier(&node, SKIN_CLASSID);
    if (!physique && !skin) return Notice::Stop("Neither Physique modifier nor Skin modifier found on selected object");
    SkinSource source;
    RootRule rule;
    INode* sceneRoot = host.GetRootNode();
    if (physique) {
        auto* exportInterface = static_cast<IPhysiqueExport*>(physique->GetInterface(I_PHYEXPORT));
        if (!exportInterface) return Notice::Stop("Failed to retrieve Physique Export Interface");
        source.physique = exportInterface->GetContextInterface(&node);
        if (!source.physique) return Notice::Stop("Failed to retrieve Physique Context Export Interface");
        source.physique->ConvertToRigid(TRUE);
        source.physique->AllowBlending(TRUE);
        if (auto checked = CheckPhysiqueBones(*source.physique, sceneRoot, rule); !checked.Ok()) return checked.Failure();
    } else {
        source.skin = static_cast<ISkin*>(skin->GetInterface(I_SKIN));
        if (!source.skin) return Notice::Stop("Failed to obtain Skin interface");
        Matrix3 initTM;
        if (source.skin->GetSkinInitTM(&node, initTM, false) != 1) notices.Report(Notice::Error("Error calling GetSkinInitTM"));
        source.skinContext = source.skin->GetContextInterface(&node);
        if (!source.skinContext) return Notice::Stop("Failed to obtain Skin Context interface");
        if (auto checked = CheckSkinBones(*source.skin, *source.skinContext, sceneRoot, rule, notices); !checked.Ok())
            return checked.Failure();
    }
    // Without a root there is no hierarchy to write: no vertex is bound to any bone.
    if (!rule.set)
        return Notice::Stop(std::string("No vertex of object '") + (node.GetName() ? node.GetName() : "") +
                            "' is bound to a bone, so it has no hierarchy to export");
    auto skeleton = PrepareBiped(rule.root);
    if (!skeleton.Ok()) return skeleton.Failure();
    source.skeleton = *skeleton;
    return source;
}

}  // namespace vlo
