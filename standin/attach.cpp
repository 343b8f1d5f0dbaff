#include "standin/attach.h"

#include <algorithm>
#include <map>

#include "standin/modifiers.h"

namespace standin {

bool HasMesh(Node& node) {
    Object* obj = node.EvalWorldState(0).obj;
    return obj && obj->SuperClassID() == GEOMOBJECT_CLASS_ID && obj->CanConvertToType(triObjectClassID);
}

std::vector<Node*> MeshNodesBelow(Node& node) {
    std::vector<Node*> out, stack{&node};
    while (!stack.empty()) {
        Node* n = stack.back();
        stack.pop_back();
        if (!n->IsRootNode() && HasMesh(*n)) out.push_back(n);
        const auto children = n->Children();
        stack.insert(stack.end(), children.rbegin(), children.rend());
    }
    return out;
}

namespace {

// The skin of node: the first modifier on its stack with a Skin interface, and its context.
std::pair<ISkin*, ISkinContextData*> SkinOf(Node& node) {
    Object* obj = node.GetObjectRef();
    while (obj && obj->SuperClassID() == GEN_DERIVOB_CLASS_ID) {
        auto* derived = static_cast<IDerivedObject*>(obj);
        for (int i = 0; i < derived->NumModifiers(); ++i)
            if (auto* skin = static_cast<ISkin*>(derived->GetModifier(i)->GetInterface(I_SKIN)))
                return {skin, skin->GetContextInterface(&node)};
        obj = derived->GetObjRef();
    }
    return {nullptr, nullptr};
}

// The material a face of node with material id id shows: a multi/sub-object material's entry id mod
// its count, else the node's material itself (null for none).
Mtl* FaceMaterial(Node& node, MtlID id) {
    Mtl* m = node.GetMtl();
    if (m && m->ClassID() == MULTI_CLASS_ID) return m->NumSubMtls() > 0 ? m->GetSubMtl(id % m->NumSubMtls()) : nullptr;
    return m;
}

}  // namespace

Node& AttachMeshes(Scene& scene, const std::vector<Node*>& nodes, const std::string& name) {
    Node& result = scene.CreateMeshNode(name);
    Mesh& out = Scene::TriOf(result).mesh;
    std::vector<Mtl*> materials;
    SkinModifier* skin = nullptr;  // made when any part is skinned
    std::map<INode*, int> boneIndex;
    struct Part {
        Node* node;
        Object* source;
        TriObject* tri;
    };
    std::vector<Part> parts;
    bool anyMapped = false;
    for (Node* node : nodes) {
        node->SetSelected(false);
        Object* obj = node->EvalWorldState(0).obj;
        Object* converted = obj ? obj->ConvertToType(0, triObjectClassID) : nullptr;
        if (!converted) continue;
        parts.push_back({node, obj, static_cast<TriObject*>(converted)});
        anyMapped |= !parts.back().tri->mesh.tvFace.empty();
    }
    for (const Part& p : parts) {
        Node* node = p.node;
        const Mesh& part = p.tri->mesh;
        const Matrix3 tm = node->GetObjTMAfterWSM(0);
        const bool mirrored = DotProd(CrossProd(tm[0], tm[1]), tm[2]) < 0;
        Matrix3 normalTM = tm;
        normalTM.NoTrans();
        normalTM = Inverse(normalTM);
        const DWORD base = DWORD(out.verts.size()), tBase = DWORD(out.tVerts.size());
        for (std::size_t i = 0; i < part.verts.size(); ++i) {
            out.verts.push_back(part.verts[i] * tm);
            if (part.hasSpecifiedNormal(int(i))) {
                const Point3 n = part.specifiedNormal(int(i));
                out.setSpecifiedNormal(int(base + i), Point3(DotProd(n, normalTM[0]), DotProd(n, normalTM[1]), DotProd(n, normalTM[2])));
            }
        }
        if (auto [partSkin, context] = SkinOf(*node); partSkin && context) {
            if (!skin) {
                skin = &scene.Make<SkinModifier>();
                skin->skinned = &result;
            }
            skin->points.resize(base + part.verts.size());
            for (int v = 0; v < context->GetNumPoints() && std::size_t(v) < part.verts.size(); ++v)
                for (int j = 0; j < context->GetNumAssignedBones(v); ++j) {
                    INode* bone = partSkin->GetBone(context->GetAssignedBone(v, j));
                    auto [at, added] = boneIndex.emplace(bone, int(skin->bones.size()));
                    if (added) skin->bones.push_back(bone);
                    skin->points[base + std::size_t(v)].push_back({at->second, context->GetBoneWeight(v, j)});
                }
        }
        const bool mapped = !part.tvFace.empty() && part.tvFace.size() == part.faces.size();
        if (mapped) out.tVerts.insert(out.tVerts.end(), part.tVerts.begin(), part.tVerts.end());
        DWORD blank = 0;
        if (anyMapped && !mapped) {
            blank = DWORD(out.tVerts.size());
            out.tVerts.push_back(Point3());
        }
        for (std::size_t f = 0; f < part.faces.size(); ++f) {
            Face face = part.faces[f];
            for (DWORD& v : face.v) v += base;
            if (mirrored) std::swap(face.v[0], face.v[2]);
            Mtl* m = FaceMaterial(*node, face.getMatID());
            auto at = std::find(materials.begin(), materials.end(), m);
            if (at == materials.end()) at = materials.insert(materials.end(), m);
            face.setMatID(MtlID(at - materials.begin()));
            out.faces.push_back(face);
            if (!anyMapped) continue;
            TVFace tv;
            for (int k = 0; k < 3; ++k) tv.t[k] = mapped ? part.tvFace[f].t[k] + tBase : blank;
            if (mirrored) std::swap(tv.t[0], tv.t[2]);
            out.tvFace.push_back(tv);
        }
        if (p.tri != p.source) p.tri->DeleteThis();
    }
    if (materials.size() == 1) {
        result.SetMaterial(materials[0]);
    } else if (materials.size() > 1) {
        auto& multi = scene.Make<MultiMaterial>(name + " materials");
        multi.subs = materials;
        result.SetMaterial(&multi);
    }
    if (skin) {
        skin->points.resize(out.verts.size());
        AddModifiers(scene, result, {skin});
    }
    result.SetSelected(true);
    return result;
}

}  // namespace standin
