// Stand-ins for modifier stacks and the two skinning modifiers, Physique and Skin.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "host/character.h"
#include "standin/scene.h"

namespace standin {

// A modifier stack: modifiers (index 0 on top) over an object. Evaluates to its base object (the
// stand-in does not deform: meshes are exported in their skinning pose).
class DerivedObject final : public IDerivedObject {
public:
    explicit DerivedObject(Object* base) : base_(base) {}
    Class_ID ClassID() override { return Class_ID(0xE, 0); }
    SClass_ID SuperClassID() override { return GEN_DERIVOB_CLASS_ID; }
    void GetClassName(MSTR& s) override { s = "Derived Object"; }
    ObjectState Eval(TimeValue t) override { return base_ ? base_->Eval(t) : ObjectState{}; }
    int CanConvertToType(Class_ID id) override { return base_ ? base_->CanConvertToType(id) : 0; }
    Object* ConvertToType(TimeValue t, Class_ID id) override { return base_ ? base_->ConvertToType(t, id) : nullptr; }
    void GetDeformBBox(TimeValue t, Box3& box, Matrix3* tm = nullptr, BOOL useSel = FALSE) override {
        if (base_) base_->GetDeformBBox(t, box, tm, useSel);
        else box.Init();
    }
    void DeleteThis() override {}
    int NumModifiers() override { return int(modifiers.size()); }
    Modifier* GetModifier(int i) override { return modifiers[std::size_t(i)]; }
    Object* GetObjRef() override { return base_; }

    std::vector<Modifier*> modifiers;

private:
    Object* base_;
};

// Puts a modifier stack holding modifiers on node's object (nesting one stack in another when
// nested is set, as a pipeline of two derived objects). Returns the top stack.
DerivedObject& AddModifiers(Scene& scene, Node& node, std::vector<Modifier*> modifiers, bool nested = false);

// Any other modifier (it only takes a place on the stack).
class OtherModifier final : public Modifier {
public:
    Class_ID ClassID() override { return Class_ID(0x1234, 0x5678); }
    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    void GetClassName(MSTR& s) override { s = "Bend"; }
};

// Physique: per mesh vertex either one bone (rigid) or several with weights (blended); offsets are
// the vertex in each bone's space, taken from the scene at bind time.
class PhysiqueModifier final : public Modifier, public IPhysiqueExport, public IPhyContextExport {
public:
    struct Influence {
        INode* bone;
        float weight;
        Point3 offset;
    };
    struct Vertex {
        int type = RIGID_TYPE;
        std::vector<Influence> influences;
    };

    Class_ID ClassID() override { return PHYSIQUE_CLASS_ID; }
    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    void GetClassName(MSTR& s) override { s = "Physique"; }
    void* GetInterface(ULONG id) override { return id == I_PHYEXPORT && exportInterface ? static_cast<IPhysiqueExport*>(this) : nullptr; }

    IPhyContextExport* GetContextInterface(INode* node) override { return node == skinned && context ? this : nullptr; }
    void ConvertToRigid(BOOL flag) override { convertedToRigid = flag != FALSE; }
    void AllowBlending(BOOL flag) override { blendingAllowed = flag != FALSE; }
    int GetNumberVertices() override { return int(vertices.size()); }
    IPhyVertexExport* GetVertexInterface(int i) override;
    void ReleaseVertexInterface(IPhyVertexExport* vertex) override;

    // Binds mesh vertex i of the skinned node to bones with weights (one bone: rigid), with offsets
    // taken from the vertex's and the bones' world positions at time 0.
    void Bind(int i, const std::vector<std::pair<INode*, float>>& weights);

    INode* skinned = nullptr;
    std::vector<Vertex> vertices;
    bool exportInterface = true, context = true;
    bool convertedToRigid = false, blendingAllowed = false;
    int outstanding = 0;  // vertex interfaces handed out and not yet released
    int brokenVertex = -1;  // this vertex has no interface
    int wrongTypeVertex = -1;  // this vertex reports a type that is neither rigid nor blended
    std::vector<std::unique_ptr<IPhyVertexExport>> live_;
};

// Skin: per point a list of (bone index, weight); bones by index.
class SkinModifier final : public Modifier, public ISkin, public ISkinContextData {
public:
    Class_ID ClassID() override { return SKIN_CLASSID; }
    SClass_ID SuperClassID() override { return OSM_CLASS_ID; }
    void GetClassName(MSTR& s) override { s = "Skin"; }
    void* GetInterface(ULONG id) override { return id == I_SKIN && skinInterface ? static_cast<ISkin*>(this) : nullptr; }

    int GetSkinInitTM(INode* node, Matrix3& tm, bool objOffset = false) override;
    int GetNumBones() override { return int(bones.size()); }
    INode* GetBone(int index) override { return index >= 0 && std::size_t(index) < bones.size() ? bones[std::size_t(index)] : nullptr; }
    ISkinContextData* GetContextInterface(INode* node) override { return node == skinned && context ? this : nullptr; }
    int GetNumPoints() override { return int(points.size()); }
    int GetNumAssignedBones(int point) override { return int(points[std::size_t(point)].size()); }
    int GetAssignedBone(int point, int j) override { return points[std::size_t(point)][std::size_t(j)].first; }
    float GetBoneWeight(int point, int j) override { return points[std::size_t(point)][std::size_t(j)].second; }

    INode* skinned = nullptr;
    std::vector<INode*> bones;
    std::vector<std::vector<std::pair<int, float>>> points;
    Matrix3 initTM;
    bool initTMAvailable = true, skinInterface = true, context = true;
};

// Makes node the footsteps of a biped: a node whose controller has the footsteps class id.
Controller& MakeFootsteps(Scene& scene, Node& node);

}  // namespace standin
