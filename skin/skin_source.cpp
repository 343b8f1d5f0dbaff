// The skin source of a Hierarchy export: the Physique or Skin modifier, its interfaces, and the one
// hierarchy every bone belongs to.
#include <string>

#include "plugin/exporter.h"

Modifier* VloExporter::FindModifier(INode* node, Class_ID id) {
    Object* obj = node->GetObjectRef();
    while (obj && obj->SuperClassID() == GEN_DERIVOB_CLASS_ID) {
        auto* derived = static_cast<IDerivedObject*>(obj);
        const int n = derived->NumModifiers();
        for (int i = 0; i < n; ++i) {
            Modifier* m = derived->GetModifier(i);
            if (m && m->ClassID() == id) return m;
        }
        obj = derived->GetObjRef();
    }
    return nullptr;
}

INode* VloExporter::FindTopLevelAncestor(INode* node) {
    INode* root = pxInterface->GetRootNode();
    while (node) {
        INode* parent = node->GetParentNode();
        if (parent == root) return node;
        node = parent;
    }
    return nullptr;
}

BOOL VloExporter::PrepareBiped(INode* root) {
    pxBipedRoot = root;
    pxBipedExport = nullptr;
    Control* c = root ? root->GetTMController() : nullptr;
    if (c && c->ClassID() == BIPBODY_CONTROL_CLASS_ID) {
        pxBipedExport = static_cast<IBipedExport*>(c->GetInterface(I_BIPINTERFACE));
        if (!pxBipedExport) {
            ShowError("Failed to obtain BIP export interface");
            return FALSE;
        }
    }
    return TRUE;
}

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

}  // namespace

BOOL VloExporter::PrepareSkin(INode* node) {
    Modifier* physique = FindModifier(node, PHYSIQUE_CLASS_ID);
    Modifier* skin = physique ? nullptr : FindModifier(node, SKIN_CLASSID);
    if (!physique && !skin) {
        ShowError("Neither Physique modifier nor Skin modifier found on selected object");
        return FALSE;
    }
    RootRule rule;
    const char* mixed = "Vertices are mapped to more than one hierarchy";
    if (physique) {
        pxPhysiqueExport = static_cast<IPhysiqueExport*>(physique->GetInterface(I_PHYEXPORT));
        if (!pxPhysiqueExport) {
            ShowError("Failed to retrieve Physique Export Interface");
            return FALSE;
        }
        pxPhysiqueContext = pxPhysiqueExport->GetContextInterface(node);
        if (!pxPhysiqueContext) {
            ShowError("Failed to retrieve Physique Context Export Interface");
            return FALSE;
        }
        pxPhysiqueContext->ConvertToRigid(TRUE);
        pxPhysiqueContext->AllowBlending(TRUE);
        const int n = pxPhysiqueContext->GetNumberVertices();
        for (int v = 0; v < n; ++v) {
            IPhyVertexExport* vertex = pxPhysiqueContext->GetVertexInterface(v);
            if (!vertex) {
                ShowError("Failed to retrieve an export interface for a particular vertex");
                return FALSE;
            }
            const int type = vertex->GetVertexType();
            pxPhysiqueContext->ReleaseVertexInterface(vertex);
            vertex = pxPhysiqueContext->GetVertexInterface(v);
            bool ok = true;
            if (type == RIGID_TYPE) {
                auto* rigid = dynamic_cast<IPhyRigidVertex*>(vertex);
                if (!rigid) {
                    if (vertex) pxPhysiqueContext->ReleaseVertexInterface(vertex);
                    ShowError("Failed to retrieve rigid type export interface for a particular vertex");
                    return FALSE;
                }
                ok = rule.Apply(FindTopLevelAncestor(rigid->GetNode()));
            } else if (type == RIGID_BLENDED_TYPE) {
                auto* blended = dynamic_cast<IPhyBlendedRigidVertex*>(vertex);
                if (!blended) {
                    if (vertex) pxPhysiqueContext->ReleaseVertexInterface(vertex);
                    ShowError("Failed to retrieve blended rigid type export interface for a particular vertex");
                    return FALSE;
                }
                const int count = blended->GetNumberNodes();
                for (int i = 0; i < count && ok; ++i) ok = rule.Apply(FindTopLevelAncestor(blended->GetNode(i)));
            } else {
                if (vertex) pxPhysiqueContext->ReleaseVertexInterface(vertex);
                ShowError("Vertex type not RIGID_TYPE");
                return FALSE;
            }
            pxPhysiqueContext->ReleaseVertexInterface(vertex);
            if (!ok) {
                ShowError(mixed);
                return FALSE;
            }
        }
    } else {
        pxSkin = static_cast<ISkin*>(skin->GetInterface(I_SKIN));
        if (!pxSkin) {
            ShowError("Failed to obtain Skin interface");
            return FALSE;
        }
        Matrix3 initTM;
        if (pxSkin->GetSkinInitTM(node, initTM, false) != 1) ShowError("Error calling GetSkinInitTM");
        pxSkinContext = pxSkin->GetContextInterface(node);
        if (!pxSkinContext) {
            ShowError("Failed to obtain Skin Context interface");
            return FALSE;
        }
        const int points = pxSkinContext->GetNumPoints();
        for (int v = 0; v < points; ++v) {
            const int count = pxSkinContext->GetNumAssignedBones(v);
            for (int j = 0; j < count; ++j) {
                INode* bone = pxSkin->GetBone(pxSkinContext->GetAssignedBone(v, j));
                if (!bone) ShowError("NULL pxBoneNode");
                if (!rule.Apply(FindTopLevelAncestor(bone))) {
                    ShowError(mixed);
                    return FALSE;
                }
            }
        }
    }
    // Without a root there is no hierarchy to write: no vertex is bound to any bone.
    if (!rule.set) {
        const std::string message = std::string("No vertex of object '") + (node->GetName() ? node->GetName() : "") +
                                     "' is bound to a bone, so it has no hierarchy to export";
        ShowError(message.c_str());
        return FALSE;
    }
    return PrepareBiped(rule.root);
}
