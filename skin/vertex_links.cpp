#include "skin/vertex_links.h"

#include <cstdio>

namespace vlo {
namespace {

// Real-link threshold: weights below it carry no influence.
constexpr float kRealLink = 0.0001f;

Point3 PointInBoneSpace(INode* bone, const Point3& point) { return point * Inverse(bone->GetNodeTM(0)); }

}  // namespace

VertexLinkReader::VertexLinkReader(const SkinSource& source, const BoneList& bones, const ExportSpace& space,
                                   NoticeSink& notices)
    : source_(source), bones_(bones), space_(space), notices_(notices) {}

bool VertexLinkReader::Read(const Point3& world, int v, VertexLinks& out) {
    if (!source_.physique && !source_.skinContext) {
        notices_.Report(Notice::Error("Unable to obtain bone link data"));
        return false;
    }
    links_.clear();
    Point3 position;
    if (!(source_.physique ? ReadPhysique(v, position) : ReadSkin(world, v, position))) return false;

    VertexLinks record;  // zeroed: unused slots are always 0
    record.numLinks = std::int32_t(links_.size());
    for (std::size_t k = 0; k < links_.size(); ++k) {
        record.boneIds[k] = std::uint8_t(bones_.IdOf(links_[k].bone) & 0xFF);
        record.weights[k] = links_[k].weight;
    }
    record.position = space_.Direction(position);
    out = record;
    return true;
}

bool VertexLinkReader::ReadPhysique(int v, Point3& position) {
    IPhyContextExport& context = *source_.physique;
    IPhyVertexExport* vertex = context.GetVertexInterface(v);
    if (!vertex) {
        notices_.Report(Notice::Error("Failed to retrieve physique vertex pointer"));
        return false;
    }
    const int type = vertex->GetVertexType();
    context.ReleaseVertexInterface(vertex);
    vertex = context.GetVertexInterface(v);
    // Gives the vertex interface back on every path out of this function.
    struct Release {
        IPhyContextExport& context;
        IPhyVertexExport* vertex;
        ~Release() {
            if (vertex) context.ReleaseVertexInterface(vertex);
        }
    } release{context, vertex};
    if (!(type & BLENDED_TYPE)) {
        auto* rigid = dynamic_cast<IPhyRigidVertex*>(vertex);
        INode* bone = rigid ? rigid->GetNode() : nullptr;
        if (!bone) {
            notices_.Report(Notice::Error("Error: Failed to retrieve vertex link"));
            return false;
        }
        links_.push_back({bone, 1.0f});
        position = rigid->GetOffsetVector() * bone->GetNodeTM(0);
        return true;
    }
    auto* blended = dynamic_cast<IPhyBlendedRigidVertex*>(vertex);
    const int count = blended ? blended->GetNumberNodes() : 0;
    for (int i = 0; i < count; ++i) {
        INode* bone = blended->GetNode(i);
        if (!bone) {
            notices_.Report(Notice::Error("Error: Failed to retrieve vertex link"));
            return false;
        }
        const float w = blended->GetWeight(i);
        if (w < 0.0f) notices_.Report(Notice::Error("Warning: Vertex weight less than zero? Continuing"));
        else if (w > 1.0f) notices_.Report(Notice::Error("Warning: Vertex weight more than one? Continuing"));
        if (!(w >= kRealLink)) continue;
        if (links_.empty()) position = blended->GetOffsetVector(i) * bone->GetNodeTM(0);
        links_.push_back({bone, w});
    }
    if (links_.empty()) {
        notices_.Report(Notice::Error("Error: Vertex has no real links!?!? Giving up"));
        return false;
    }
    if (links_.size() > 4) {
        notices_.Report(Notice::Error("Error: Blended vertex with more than 4 (real) links"));
        char message[256];
        std::snprintf(message, sizeof message, "Vertex %d Apparently has %d links", v, int(links_.size()));
        notices_.Report(Notice::Error(message));
        return false;
    }
    return true;
}

bool VertexLinkReader::ReadSkin(const Point3& world, int v, Point3& position) {
    ISkinContextData& context = *source_.skinContext;
    const int count = context.GetNumAssignedBones(v);
    for (int j = 0; j < count; ++j) {
        INode* bone = source_.skin->GetBone(context.GetAssignedBone(v, j));
        if (!bone) {
            notices_.Report(Notice::Error("Error: Failed to retrieve vertex link"));
            return false;
        }
        float w = context.GetBoneWeight(v, j);
        if (w < 0.0f) continue;
        if (w > 1.0f) w = 1.0f;
        else if (!(w > kRealLink)) continue;
        if (links_.empty()) position = PointInBoneSpace(bone, world) * bone->GetNodeTM(0);
        links_.push_back({bone, w});
    }
    if (links_.empty()) {
        notices_.Report(Notice::Error("Error: Vertex has no real links!?!? Giving up"));
        return false;
    }
    if (links_.size() > 4) {
        notices_.Report(Notice::Error("Error: Blended vertex with more than 4 (real) links [continuing]"));
        for (std::size_t i = 4; i < links_.size(); ++i) links_[i % 4].weight += links_[i].weight;
        links_.resize(4);
    }
    return true;
}

}  // namespace vlo
