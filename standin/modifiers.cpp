#include "standin/modifiers.h"

namespace standin {

DerivedObject& AddModifiers(Scene& scene, Node& node, std::vector<Modifier*> modifiers, bool nested) {
    Object* base = node.GetObjectRef();
    if (nested) base = &scene.Make<DerivedObject>(base);
    auto& top = scene.Make<DerivedObject>(base);
    top.modifiers = std::move(modifiers);
    if (nested) {
        // The skinning modifiers sit in the lower derived object, with another modifier on top.
        static_cast<DerivedObject*>(base)->modifiers = std::move(top.modifiers);
        top.modifiers = {&scene.Make<OtherModifier>()};
    }
    node.SetObject(&top);
    return top;
}

namespace {

class RigidVertex final : public IPhyRigidVertex {
public:
    explicit RigidVertex(const PhysiqueModifier::Vertex& v) : v_(v) {}
    int GetVertexType() override { return v_.type; }
    INode* GetNode() override { return v_.influences.empty() ? nullptr : v_.influences[0].bone; }
    Point3 GetOffsetVector() override { return v_.influences.empty() ? Point3() : v_.influences[0].offset; }

private:
    const PhysiqueModifier::Vertex& v_;
};

class BlendedVertex final : public IPhyBlendedRigidVertex {
public:
    explicit BlendedVertex(const PhysiqueModifier::Vertex& v) : v_(v) {}
    int GetVertexType() override { return v_.type; }
    int GetNumberNodes() override { return int(v_.influences.size()); }
    INode* GetNode(int i) override { return v_.influences[std::size_t(i)].bone; }
    Point3 GetOffsetVector(int i) override { return v_.influences[std::size_t(i)].offset; }
    float GetWeight(int i) override { return v_.influences[std::size_t(i)].weight; }

private:
    const PhysiqueModifier::Vertex& v_;
};

class OddVertex final : public IPhyVertexExport {
public:
    int GetVertexType() override { return 2; }
};

}  // namespace

IPhyVertexExport* PhysiqueModifier::GetVertexInterface(int i) {
    if (i < 0 || std::size_t(i) >= vertices.size() || i == brokenVertex) return nullptr;
    const Vertex& v = vertices[std::size_t(i)];
    std::unique_ptr<IPhyVertexExport> made;
    if (i == wrongTypeVertex) made = std::make_unique<OddVertex>();
    else if (v.type & BLENDED_TYPE) made = std::make_unique<BlendedVertex>(v);
    else made = std::make_unique<RigidVertex>(v);
    ++outstanding;
    live_.push_back(std::move(made));
    return live_.back().get();
}

void PhysiqueModifier::ReleaseVertexInterface(IPhyVertexExport* vertex) {
    for (auto it = live_.begin(); it != live_.end(); ++it)
        if (it->get() == vertex) {
            live_.erase(it);
            --outstanding;
            return;
        }
}

void PhysiqueModifier::Bind(int i, const std::vector<std::pair<INode*, float>>& weights) {
    if (vertices.size() <= std::size_t(i)) vertices.resize(std::size_t(i) + 1);
    Vertex& v = vertices[std::size_t(i)];
    v.type = weights.size() == 1 ? RIGID_TYPE : RIGID_BLENDED_TYPE;
    v.influences.clear();
    const Point3 world = static_cast<TriObject*>(skinned->EvalWorldState(0).obj)->mesh.verts[std::size_t(i)] *
                         skinned->GetObjTMAfterWSM(0);
    for (const auto& [bone, weight] : weights)
        v.influences.push_back({bone, weight, bone ? world * Inverse(bone->GetNodeTM(0)) : Point3()});
}

int SkinModifier::GetSkinInitTM(INode* node, Matrix3& tm, bool) {
    if (!initTMAvailable || node != skinned) return 0;
    tm = initTM;
    return 1;
}

Controller& MakeFootsteps(Scene& scene, Node& node) {
    auto& c = scene.Make<Controller>(FOOTPRINT_CLASS_ID);
    node.SetController(&c);
    return c;
}

}  // namespace standin
