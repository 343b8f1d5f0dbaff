// The stand-in host's scene: nodes, objects, materials and the Interface the exporter talks to.
// Everything lives in memory and is owned by the Scene; the exporter only borrows pointers.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/mesh.h"
#include "host/mtl.h"
#include "host/plugin.h"
#include "standin/desktop.h"

namespace standin {

class Scene;
class Desktop;

// A node's local transform over time, relative to its parent's pivot. Tracks are asked in any time
// order, but mostly in increasing time, which keyed tracks exploit.
class LocalTrack {
public:
    virtual ~LocalTrack() = default;
    virtual Matrix3 At(TimeValue t) = 0;
};
using LocalTrackPtr = std::shared_ptr<LocalTrack>;

class Node final : public INode {
public:
    Node(Scene& scene, std::string name, Node* parent);

    // INode
    int NumberOfChildren() override { return int(children_.size()); }
    INode* GetChildNode(int i) override;
    INode* GetParentNode() override { return parent_; }
    BOOL IsRootNode() override { return parent_ == nullptr; }
    int Selected() override { return selected_ ? 1 : 0; }
    const char* GetName() override { return name_.c_str(); }
    Mtl* GetMtl() override { return material_; }
    void GetUserPropBuffer(MSTR& buf) override { buf = userProps_; }
    Object* GetObjectRef() override { return object_; }
    Control* GetTMController() override { return controller_; }
    ObjectState EvalWorldState(TimeValue t, BOOL evalHidden = TRUE) override;
    Matrix3 GetNodeTM(TimeValue t) override;
    Matrix3 GetParentTM(TimeValue t) override;
    Matrix3 GetObjTMAfterWSM(TimeValue t) override;

    // Editing.
    Node& AddChild(const std::string& name);
    void SetName(std::string name) { name_ = std::move(name); }
    void SetSelected(bool selected) { selected_ = selected; }
    void SetUserProps(std::string text) { userProps_ = std::move(text); }
    void SetMaterial(Mtl* material) { material_ = material; }
    void SetObject(Object* object) { object_ = object; }
    void SetController(Control* controller) { controller_ = controller; }
    // Transform relative to the parent's pivot, the same at every time.
    void SetLocalTM(const Matrix3& tm);
    // Transform relative to the parent's pivot as a function of time (overrides SetLocalTM); null
    // removes the track.
    void SetLocalTrack(std::function<Matrix3(TimeValue)> track);
    void SetTrack(LocalTrackPtr track);
    // Sets the local transform so the node's world transform at time 0 is tm.
    void SetWorldTM(const Matrix3& tm);
    // The object's offset from the pivot: the object transform is offset * node transform.
    void SetObjectOffset(const Matrix3& offset) { objectOffset_ = offset; }
    const Matrix3& ObjectOffset() const { return objectOffset_; }
    Matrix3 LocalTM(TimeValue t) const { return track_ ? track_->At(t) : local_; }
    const LocalTrackPtr& Track() const { return track_; }
    Node* Parent() { return parent_; }
    const Node* Parent() const { return parent_; }
    std::vector<Node*> Children() const;
    const std::string& Name() const { return name_; }
    // Moves this node under another parent, keeping its world transform at time 0.
    void Reparent(Node& newParent);
    // Removes the child from this node's children (the node stays owned by the scene, unparented).
    void DetachChild(Node& child);

private:
    friend class Scene;
    Scene& scene_;
    std::string name_;
    Node* parent_ = nullptr;
    std::vector<Node*> children_;
    bool selected_ = false;
    std::string userProps_;
    Mtl* material_ = nullptr;
    Object* object_ = nullptr;
    Control* controller_ = nullptr;
    Matrix3 local_;
    Matrix3 objectOffset_;
    LocalTrackPtr track_;
    // The node transform at cachedTime_, valid while the scene's transform generation is
    // cachedGeneration_: each node's transform is computed once per time, from its parent's.
    Matrix3 cachedTM_;
    TimeValue cachedTime_ = 0;
    std::uint64_t cachedGeneration_ = 0;
};

// A helper object of the dummy class, with its display box.
class DummyObject final : public Object {
public:
    Class_ID ClassID() override { return DUMMY_CLASS_ID; }
    SClass_ID SuperClassID() override { return HELPER_CLASS_ID; }
    void GetClassName(MSTR& s) override { s = "Dummy"; }
    ObjectState Eval(TimeValue) override { return {this}; }
    int CanConvertToType(Class_ID) override { return 0; }
    Object* ConvertToType(TimeValue, Class_ID) override { return nullptr; }
    void GetDeformBBox(TimeValue, Box3& box, Matrix3* tm = nullptr, BOOL = FALSE) override;
    void DeleteThis() override {}
    Box3 box;
};

// A geometric object stored as triangles that the host converts into a new triangle-mesh object
// on request (as a parametric or polygon object would be): the conversion result is owned by the
// caller.
class PolyObject final : public GeomObject {
public:
    Class_ID ClassID() override { return Class_ID(0x1BF8338D, 0x192F6098); }
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    void GetClassName(MSTR& s) override { s = "Editable Poly"; }
    ObjectState Eval(TimeValue) override { return {this}; }
    int CanConvertToType(Class_ID obtype) override { return obtype == triObjectClassID ? 1 : 0; }
    Object* ConvertToType(TimeValue t, Class_ID obtype) override;
    void GetDeformBBox(TimeValue t, Box3& box, Matrix3* tm = nullptr, BOOL useSel = FALSE) override;
    void DeleteThis() override {}
    Mesh mesh;
    int conversions = 0;      // triangle-mesh objects handed out
    int liveConversions = 0;  // of those, not yet deleted
};

// A geometric object that cannot become a triangle mesh (as a spline that is not renderable).
class SplineObject final : public GeomObject {
public:
    Class_ID ClassID() override { return Class_ID(0xA, 0); }
    SClass_ID SuperClassID() override { return GEOMOBJECT_CLASS_ID; }
    void GetClassName(MSTR& s) override { s = "Line"; }
    ObjectState Eval(TimeValue) override { return {this}; }
    int CanConvertToType(Class_ID) override { return 0; }
    Object* ConvertToType(TimeValue, Class_ID) override { return nullptr; }
    void GetDeformBBox(TimeValue, Box3& box, Matrix3* = nullptr, BOOL = FALSE) override { box.Init(); }
    void DeleteThis() override {}
};

// A transform controller of a chosen class (the plain position/rotation/scale one by default).
class Controller : public ::Control {
public:
    explicit Controller(Class_ID id = Class_ID(0x2005, 0)) : id_(id) {}
    Class_ID ClassID() override { return id_; }
    SClass_ID SuperClassID() override { return CTRL_MATRIX3_CLASS_ID; }
    void GetClassName(MSTR& s) override { s = "Controller"; }
    void* GetInterface(ULONG id) override { return id == interfaceId_ ? interface_ : nullptr; }
    void SetInterface(ULONG id, void* iface) {
        interfaceId_ = id;
        interface_ = iface;
    }

private:
    Class_ID id_;
    ULONG interfaceId_ = 0;
    void* interface_ = nullptr;
};

class BitmapTexture final : public BitmapTex, public TextureOutput {
public:
    BitmapTexture(std::string name, std::string path) : name_(std::move(name)), path_(std::move(path)) {}
    Class_ID ClassID() override { return BMTEX_CLASS_ID; }
    SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
    void GetClassName(MSTR& s) override { s = "Bitmap"; }
    const char* GetName() override { return name_.c_str(); }
    int NumSubTexmaps() override { return 0; }
    Texmap* GetSubTexmap(int) override { return nullptr; }
    const char* GetMapName() override { return path_.c_str(); }
    TextureOutput* GetTexout() override { return this; }
    int GetFilterType() override { return filter; }
    BOOL GetInvert() override { return invert ? TRUE : FALSE; }
    const std::string& Path() const { return path_; }

    int filter = FILTER_PYR;
    bool invert = false;

private:
    std::string name_, path_;
};

// A procedural map (not a bitmap) with optional sub-maps.
class ProceduralTexture final : public Texmap {
public:
    explicit ProceduralTexture(std::string name) : name_(std::move(name)) {}
    Class_ID ClassID() override { return Class_ID(0x200, 0x300); }
    SClass_ID SuperClassID() override { return TEXMAP_CLASS_ID; }
    void GetClassName(MSTR& s) override { s = "Checker"; }
    const char* GetName() override { return name_.c_str(); }
    int NumSubTexmaps() override { return int(subMaps.size()); }
    Texmap* GetSubTexmap(int i) override { return subMaps[std::size_t(i)]; }
    std::vector<Texmap*> subMaps;

private:
    std::string name_;
};

class StdMaterial final : public StdMat {
public:
    explicit StdMaterial(std::string name) : name_(std::move(name)) {}
    Class_ID ClassID() override { return DMTL_CLASS_ID; }
    SClass_ID SuperClassID() override { return MATERIAL_CLASS_ID; }
    void GetClassName(MSTR& s) override { s = "Standard"; }
    const char* GetName() override { return name_.c_str(); }
    int NumSubMtls() override { return 0; }
    Mtl* GetSubMtl(int) override { return nullptr; }
    int NumSubTexmaps() override { return STD_NUM_SLOTS; }
    Texmap* GetSubTexmap(int i) override { return i >= 0 && i < STD_NUM_SLOTS ? maps_[i] : nullptr; }
    BOOL MapEnabled(int i) override { return i >= 0 && i < STD_NUM_SLOTS && enabled_[i] ? TRUE : FALSE; }
    void SetMap(int slot, Texmap* map, bool enabled = true) {
        maps_[slot] = map;
        enabled_[slot] = enabled;
    }
    void SetName(std::string name) { name_ = std::move(name); }

private:
    std::string name_;
    Texmap* maps_[STD_NUM_SLOTS] = {};
    bool enabled_[STD_NUM_SLOTS] = {};
};

class MultiMaterial final : public Mtl {
public:
    explicit MultiMaterial(std::string name) : name_(std::move(name)) {}
    Class_ID ClassID() override { return MULTI_CLASS_ID; }
    SClass_ID SuperClassID() override { return MATERIAL_CLASS_ID; }
    void GetClassName(MSTR& s) override { s = "Multi/Sub-Object"; }
    const char* GetName() override { return name_.c_str(); }
    int NumSubMtls() override { return int(subs.size()); }
    Mtl* GetSubMtl(int i) override { return subs[std::size_t(i)]; }
    int NumSubTexmaps() override { return 0; }
    Texmap* GetSubTexmap(int) override { return nullptr; }
    std::vector<Mtl*> subs;

private:
    std::string name_;
};

class Scene {
public:
    Scene();
    Node& Root() { return *root_; }
    // A new node under parent (the root when null).
    Node& CreateNode(const std::string& name, Node* parent = nullptr);
    // A node with a new editable mesh object; returns the node, the mesh is node's TriObject.
    Node& CreateMeshNode(const std::string& name, Node* parent = nullptr);
    Node& CreateDummyNode(const std::string& name, const Box3& box, Node* parent = nullptr);
    static TriObject& TriOf(Node& node) { return *static_cast<TriObject*>(node.GetObjectRef()); }

    // Objects, materials, maps and controllers owned by the scene.
    template <class T, class... Args>
    T& Make(Args&&... args) {
        auto owned = std::make_shared<T>(std::forward<Args>(args)...);
        owned_.push_back(owned);
        return *owned;
    }

    // Nodes in depth-first pre-order, the root excluded.
    std::vector<Node*> AllNodes();
    Node* FindByName(const std::string& name);

    // Counts the edits of node transforms, tracks and parents; node transforms cached under an older
    // count are recomputed.
    std::uint64_t TransformGeneration() const { return transformGeneration_; }
    void TransformsChanged() { ++transformGeneration_; }

    Interval animRange{0, 100 * 160};
    int frameRate = 30;
    int TicksPerFrame() const { return TIME_TICKSPERSEC / frameRate; }

private:
    std::vector<std::unique_ptr<Node>> nodes_;
    std::vector<std::shared_ptr<void>> owned_;
    Node* root_;
    std::uint64_t transformGeneration_ = 1;
};

// The Interface the exporter receives: the scene, the desktop's main window, time settings and the
// user's cancel request. While it lives, its desktop is the calling thread's (DesktopScope).
class HostInterface final : public Interface {
public:
    HostInterface(Scene& scene, Desktop& desktop) : scene_(scene), desktop_(desktop), scope_(desktop) {}
    HWND GetMAXHWnd() override;
    INode* GetRootNode() override { return &scene_.Root(); }
    BOOL GetCancel() override { return cancelAfterChecks >= 0 && ++cancelChecks > cancelAfterChecks ? TRUE : FALSE; }
    Interval GetAnimRange() override { return scene_.animRange; }
    int GetTicksPerFrame() override { return scene_.TicksPerFrame(); }
    int GetFrameRate() override { return scene_.frameRate; }

    // The user "cancels" once this many cancel checks have been answered (-1: never).
    int cancelAfterChecks = -1;
    int cancelChecks = 0;

private:
    Scene& scene_;
    Desktop& desktop_;
    DesktopScope scope_;
};

}  // namespace standin
