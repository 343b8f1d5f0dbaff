#include "standin/scene.h"

#include <algorithm>

#include "standin/desktop.h"

namespace standin {

Node::Node(Scene& scene, std::string name, Node* parent) : scene_(scene), name_(std::move(name)), parent_(parent) {}

INode* Node::GetChildNode(int i) {
    return i >= 0 && std::size_t(i) < children_.size() ? children_[std::size_t(i)] : nullptr;
}

ObjectState Node::EvalWorldState(TimeValue t, BOOL) {
    return object_ ? object_->Eval(t) : ObjectState{};
}

Matrix3 Node::GetNodeTM(TimeValue t) {
    // local * parent's local * ... up to (not including) the scene root; iterative for any depth.
    Matrix3 tm;
    for (Node* n = this; n->parent_; n = n->parent_) tm = tm * n->LocalTM(t);
    return tm;
}

Matrix3 Node::GetParentTM(TimeValue t) { return parent_ ? parent_->GetNodeTM(t) : Matrix3(); }

Matrix3 Node::GetObjTMAfterWSM(TimeValue t) { return objectOffset_ * GetNodeTM(t); }

Node& Node::AddChild(const std::string& name) { return scene_.CreateNode(name, this); }

void Node::SetWorldTM(const Matrix3& tm) { local_ = parent_ ? tm * Inverse(parent_->GetNodeTM(0)) : tm; }

std::vector<Node*> Node::Children() const { return children_; }

void Node::DetachChild(Node& child) {
    children_.erase(std::remove(children_.begin(), children_.end(), &child), children_.end());
    if (child.parent_ == this) child.parent_ = nullptr;
}

void Node::Reparent(Node& newParent) {
    const Matrix3 world = GetNodeTM(0);
    if (parent_) parent_->DetachChild(*this);
    parent_ = &newParent;
    newParent.children_.push_back(this);
    SetWorldTM(world);
}

void DummyObject::GetDeformBBox(TimeValue, Box3& b, Matrix3* tm, BOOL) {
    b.Init();
    if (box.IsEmpty()) return;
    for (int i = 0; i < 8; ++i) {
        const Point3 corner((i & 1) ? box.pmax.x : box.pmin.x, (i & 2) ? box.pmax.y : box.pmin.y,
                            (i & 4) ? box.pmax.z : box.pmin.z);
        b += tm ? corner * *tm : corner;
    }
}

namespace {

// A conversion result that tells its source when it is deleted.
class ConvertedTriObject final : public TriObject {
public:
    explicit ConvertedTriObject(PolyObject& source) : source_(source) { ++source_.liveConversions; }
    void DeleteThis() override {
        --source_.liveConversions;
        delete this;
    }

private:
    PolyObject& source_;
};

}  // namespace

Object* PolyObject::ConvertToType(TimeValue, Class_ID obtype) {
    if (obtype != triObjectClassID) return nullptr;
    auto* tri = new ConvertedTriObject(*this);
    tri->mesh = mesh;
    ++conversions;
    return tri;
}

void PolyObject::GetDeformBBox(TimeValue, Box3& box, Matrix3* tm, BOOL) {
    box.Init();
    for (const Point3& p : mesh.verts) box += tm ? p * *tm : p;
}

Scene::Scene() {
    nodes_.push_back(std::make_unique<Node>(*this, "Scene Root", nullptr));
    root_ = nodes_.back().get();
}

Node& Scene::CreateNode(const std::string& name, Node* parent) {
    Node* p = parent ? parent : root_;
    nodes_.push_back(std::make_unique<Node>(*this, name, p));
    Node& node = *nodes_.back();
    p->children_.push_back(&node);
    return node;
}

Node& Scene::CreateMeshNode(const std::string& name, Node* parent) {
    Node& node = CreateNode(name, parent);
    node.SetObject(&Make<TriObject>());
    return node;
}

Node& Scene::CreateDummyNode(const std::string& name, const Box3& box, Node* parent) {
    Node& node = CreateNode(name, parent);
    auto& dummy = Make<DummyObject>();
    dummy.box = box;
    node.SetObject(&dummy);
    return node;
}

std::vector<Node*> Scene::AllNodes() {
    std::vector<Node*> out, stack(root_->children_.rbegin(), root_->children_.rend());
    while (!stack.empty()) {
        Node* n = stack.back();
        stack.pop_back();
        out.push_back(n);
        stack.insert(stack.end(), n->children_.rbegin(), n->children_.rend());
    }
    return out;
}

Node* Scene::FindByName(const std::string& name) {
    for (Node* n : AllNodes())
        if (n->Name() == name) return n;
    return nullptr;
}

HWND HostInterface::GetMAXHWnd() { return desktop_.MainWindow(); }

}  // namespace standin
