#include "skin/bones.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vlo {
namespace {

bool IsFootsteps(INode* node) {
    Control* c = node->GetTMController();
    return c && c->ClassID() == FOOTPRINT_CLASS_ID;
}

Vec3 ToVec3(const Point3& p) { return {p.x, p.y, p.z}; }

// The translation of local (a node's transform relative to parent's) in scene lengths along the
// parent's axes. The local translation counts in the parent's own units: under a parent scaled by
// 0.01 (a rig modelled in centimetres and scaled down as a whole), a bone 1 m from its parent lies
// 100 of them away. Each component is therefore multiplied by the length of its parent axis, as the
// parent's rotation (NoScale) makes each axis unit length. A parent whose axes are unit length within
// a float's noise keeps the local translation's very bits.
Point3 OffsetFromParent(const Matrix3& local, const Matrix3& parent) {
    Point3 offset = local.GetTrans();
    const float lengths[3] = {parent.GetRow(0).Length(), parent.GetRow(1).Length(), parent.GetRow(2).Length()};
    constexpr float kNoise = 1e-4f;
    const bool scaled = std::any_of(std::begin(lengths), std::end(lengths),
                                    [](float l) { return std::isfinite(l) && std::fabs(l - 1.0f) > kNoise; });
    if (scaled) offset = Point3(offset.x * lengths[0], offset.y * lengths[1], offset.z * lengths[2]);
    return offset;
}

// The bone record of node at time 0: its offset from its parent, its world position and rotation.
BoneRecord ReadBone(INode* node, int id, int parentId) {
    BoneRecord record;
    record.id = std::int16_t(id);
    record.parentId = std::int16_t(parentId);
    CopyBounded(record.name, node->GetName());
    const Matrix3 tm = node->GetNodeTM(0);
    const Matrix3 parent = node->GetParentTM(0);
    const Matrix3 local = tm * Inverse(parent);
    Matrix3 rotation = tm;
    rotation.NoTrans();
    rotation.NoScale();
    const Quat q(rotation);
    record.offset = ToVec3(OffsetFromParent(local, parent));
    record.position = ToVec3(tm.GetTrans());
    record.rotation[0] = q.x;
    record.rotation[1] = q.y;
    record.rotation[2] = q.z;
    record.rotation[3] = q.w;
    return record;
}

}  // namespace

int BoneList::IdOf(INode* node) const {
    const auto it = ids_.find(node);
    return it == ids_.end() ? 0xFFFF : it->second;
}

BoneList BuildBoneList(INode* root, FigureMode& figure, NoticeSink& notices) {
    BoneList list;
    if (!root) return list;
    // Depth-first pre-order with each node's children in name order; an explicit stack keeps any
    // depth of hierarchy safe.
    std::vector<std::pair<INode*, int>> stack{{root, -1}};
    std::vector<INode*> children;
    while (!stack.empty()) {
        const auto [node, parentId] = stack.back();
        stack.pop_back();
        if (IsFootsteps(node)) {
            list.foundFootsteps = true;
            continue;
        }
        const int id = int(list.records.size());
        const bool enteredHere = !figure.Active();
        if (enteredHere) figure.Enter();
        list.records.push_back(ReadBone(node, id, parentId));
        if (enteredHere) figure.Leave();
        list.nodes.push_back(node);
        list.ids_.emplace(node, id);

        // Children in name order (byte-wise, unsigned), equal names in child order.
        children.clear();
        const int n = node->NumberOfChildren();
        for (int i = 0; i < n; ++i)
            if (INode* child = node->GetChildNode(i)) children.push_back(child);
        if (int(children.size()) != n)
            notices.Report(Notice::Error("Serious error when attempting to sort children by name"));
        std::stable_sort(children.begin(), children.end(), [](INode* a, INode* b) {
            return std::strcmp(a->GetName() ? a->GetName() : "", b->GetName() ? b->GetName() : "") < 0;
        });
        for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back({*it, id});
    }
    // Positions relative to the root bone; the root has no offset.
    if (list.records.empty()) return list;
    const Vec3 r = list.records[0].position;
    for (BoneRecord& b : list.records) b.position = {b.position.x - r.x, b.position.y - r.y, b.position.z - r.z};
    list.records[0].offset = Vec3{};
    return list;
}

std::vector<BoneRecord> ExportBones(const BoneList& bones, const ExportSpace& space) {
    std::vector<BoneRecord> out = bones.records;
    for (BoneRecord& b : out) {
        b.offset = space.Offset({b.offset.x, b.offset.y, b.offset.z});
        b.position = space.Offset({b.position.x, b.position.y, b.position.z});
        const BoneKey q = space.Rotation(Quat(b.rotation[0], b.rotation[1], b.rotation[2], b.rotation[3]));
        b.rotation[0] = q.x;
        b.rotation[1] = q.y;
        b.rotation[2] = q.z;
        b.rotation[3] = q.w;
    }
    return out;
}

int FirstNonFiniteBone(const std::vector<BoneRecord>& bones) {
    for (std::size_t i = 0; i < bones.size(); ++i) {
        const BoneRecord& b = bones[i];
        if (!IsFinite(b.offset) || !IsFinite(b.position) || !std::isfinite(b.rotation[0]) ||
            !std::isfinite(b.rotation[1]) || !std::isfinite(b.rotation[2]) || !std::isfinite(b.rotation[3]))
            return int(i);
    }
    return -1;
}

}  // namespace vlo
