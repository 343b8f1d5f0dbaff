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

namespace {

// A track given as a function.
class FunctionTrack final : public LocalTrack {
public:
    explicit FunctionTrack(std::function<Matrix3(TimeValue)> f) : f_(std::move(f)) {}
    Matrix3 At(TimeValue t) override { return f_(t); }

private:
    std::function<Matrix3(TimeValue)> f_;
};

}  // namespace

void Node::SetLocalTM(const Matrix3& tm) {
    local_ = tm;
    scene_.TransformsChanged();
}

void Node::SetLocalTrack(std::function<Matrix3(TimeValue)> track) {
    SetTrack(track ? std::make_shared<FunctionTrack>(std::move(track)) : nullptr);
}

void Node::SetTrack(LocalTrackPtr track) {
    track_ = std::move(track);
    scene_.TransformsChanged();
}

Matrix3 Node::GetNodeTM(TimeValue t) {
    // NodeTM = local * parent's NodeTM up to (not including) the scene root. The nodes from this one
    // up to the first whose transform at t is cached are computed top down, each once, iteratively
    // for any depth.
    if (!parent_) return Matrix3();
    const std::uint64_t generation = scene_.TransformGeneration();
    auto known = [&](const Node* n) { return n->cachedGeneration_ == generation && n->cachedTime_ == t; };
    if (known(this)) return cachedTM_;
    constexpr std::size_t kInline = 32;
    Node* inlinePath[kInline];
    std::vector<Node*> deepPath;
    std::size_t depth = 0;
    Node* top = this;
    for (; top->parent_ && !known(top); top = top->parent_) {
        if (depth == kInline) deepPath.assign(inlinePath, inlinePath + kInline);
        if (depth < kInline) inlinePath[depth] = top;
        else deepPath.push_back(top);
        ++depth;
    }
    Node* const* path = depth <= kInline ? inlinePath : deepPath.data();
    for (std::size_t i = depth; i-- > 0;) {
        Node* n = path[i];
        // Directly below the scene root the transform is the local one (as identity times it).
        n->cachedTM_ = n->parent_->parent_ ? n->LocalTM(t) * n->parent_->cachedTM_ : Matrix3() * n->LocalTM(t);
        n->cachedTime_ = t;
        n->cachedGeneration_ = generation;
    }
    return cachedTM_;
}

Matrix3 Node::GetParentTM(TimeValue t) { return parent_ ? parent_->GetNodeTM(t) : Matrix3(); }

Matrix3 Node::GetObjTMAfterWSM(TimeValue t) { return objectOffset_ * GetNodeTM(t); }

Node& Node::AddChild(const std::string& name) { return scene_.CreateNode(name, this); }

void Node::SetWorldTM(const Matrix3& tm) { SetLocalTM(parent_ ? tm * Inverse(parent_->GetNodeTM(0)) : tm); }

std::vector<Node*> Node::Children() const { return children_; }

void Node::DetachChild(Node& child) {
    children_.erase(std::remove(children_.begin(), children_.end(), &child), children_.end());
    if (child.parent_ == this) child.parent_ = nullptr;
    scene_.TransformsChanged();
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
