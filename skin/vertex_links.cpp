// Up to four weighted bone links per vertex, from Physique or Skin.
#include <cmath>
#include <string>
#include <vector>

#include "plugin/exporter.h"

namespace {

// Real-link threshold: weights below it carry no influence.
constexpr float kRealLink = 0.0001f;

struct Link {
    INode* bone;
    float weight;
};

}  // namespace

int VloExporter::BoneIdOfNode(INode* node) {
    for (std::size_t i = 0; i < boneNodes.size(); ++i)
        if (boneNodes[i] == node) return bones[i].id;
    return 0xFFFF;
}

Point3 VloExporter::PointInBoneSpace(INode* bone, const Point3& point) { return point * Inverse(bone->GetNodeTM(0)); }

BOOL VloExporter::GetVertexLinks(const Point3& world, int v, vlo::VertexLinks& out) {
    if (!pxPhysiqueContext && !pxSkinContext) {
        ShowError("Unable to obtain bone link data");
        return FALSE;
    }
    std::vector<Link> links;  // any number: no fixed scratch limit
    Point3 position;
    if (pxPhysiqueContext) {
        IPhyVertexExport* vertex = pxPhysiqueContext->GetVertexInterface(v);
        if (!vertex) {
            ShowError("Failed to retrieve physique vertex pointer");
            return FALSE;
        }
        const int type = vertex->GetVertexType();
        pxPhysiqueContext->ReleaseVertexInterface(vertex);
        vertex = pxPhysiqueContext->GetVertexInterface(v);
        // Gives the vertex interface back on every path out of this branch.
        struct Release {
            IPhyContextExport* context;
            IPhyVertexExport* vertex;
            ~Release() {
                if (vertex) context->ReleaseVertexInterface(vertex);
            }
        } release{pxPhysiqueContext, vertex};
        if (!(type & BLENDED_TYPE)) {
            auto* rigid = dynamic_cast<IPhyRigidVertex*>(vertex);
            INode* bone = rigid ? rigid->GetNode() : nullptr;
            if (!bone) {
                ShowError("Error: Failed to retrieve vertex link");
                return FALSE;
            }
            links.push_back({bone, 1.0f});
            position = rigid->GetOffsetVector() * bone->GetNodeTM(0);
        } else {
            auto* blended = dynamic_cast<IPhyBlendedRigidVertex*>(vertex);
            const int count = blended ? blended->GetNumberNodes() : 0;
            for (int i = 0; i < count; ++i) {
                INode* bone = blended->GetNode(i);
                if (!bone) {
                    ShowError("Error: Failed to retrieve vertex link");
                    return FALSE;
                }
                const float w = blended->GetWeight(i);
                if (w < 0.0f) ShowError("Warning: Vertex weight less than zero? Continuing");
                else if (w > 1.0f) ShowError("Warning: Vertex weight more than one? Continuing");
                if (!(w >= kRealLink)) continue;
                if (links.empty()) position = blended->GetOffsetVector(i) * bone->GetNodeTM(0);
                links.push_back({bone, w});
            }
            if (links.empty()) {
                ShowError("Error: Vertex has no real links!?!? Giving up");
                return FALSE;
            }
            if (links.size() > 4) {
                ShowError("Error: Blended vertex with more than 4 (real) links");
                char message[256];
                std::snprintf(message, sizeof message, "Vertex %d Apparently has %d links", v, int(links.size()));
                ShowError(message);
                return FALSE;
            }
        }
    } else {
        const int count = pxSkinContext->GetNumAssignedBones(v);
        for (int j = 0; j < count; ++j) {
            INode* bone = pxSkin->GetBone(pxSkinContext->GetAssignedBone(v, j));
            if (!bone) {
                ShowError("Error: Failed to retrieve vertex link");
                return FALSE;
            }
            float w = pxSkinContext->GetBoneWeight(v, j);
            if (w < 0.0f) continue;
            if (w > 1.0f) w = 1.0f;
            else if (!(w > kRealLink)) continue;
            if (links.empty()) position = PointInBoneSpace(bone, world) * bone->GetNodeTM(0);
            links.push_back({bone, w});
        }
        if (links.empty()) {
            ShowError("Error: Vertex has no real links!?!? Giving up");
            return FALSE;
        }
        if (links.size() > 4) {
            ShowError("Error: Blended vertex with more than 4 (real) links [continuing]");
            for (std::size_t i = 4; i < links.size(); ++i) links[i % 4].weight += links[i].weight;
            links.resize(4);
        }
    }

    vlo::VertexLinks record;  // zeroed: unused slots are always 0
    record.numLinks = std::int32_t(links.size());
    for (std::size_t k = 0; k < links.size(); ++k) {
        record.boneIds[k] = std::uint8_t(BoneIdOfNode(links[k].bone) & 0xFF);
        record.weights[k] = links[k].weight;
    }
    if (swapYZ) std::swap(position.y, position.z);
    record.position = {position.x, position.y, position.z};
    out = record;
    return TRUE;
}
