// The bone list shared by skinned models and animations: every node below the hierarchy root,
// numbered depth-first with each node's children in name order, footsteps left out.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

#include "format/chunk_writer.h"
#include "plugin/exporter.h"

namespace {

bool IsFootsteps(INode* node) {
    Control* c = node->GetTMController();
    return c && c->ClassID() == FOOTPRINT_CLASS_ID;
}

void SwapYZ(vlo::Vec3& v) { std::swap(v.y, v.z); }

}  // namespace

void VloExporter::BuildBoneList() {
    bones.clear();
    boneNodes.clear();
    numBones = 0;
    foundFootsteps = FALSE;
    if (!pxBipedRoot) return;
    AddBoneTree(pxBipedRoot, -1);
    numBones = int(bones.size());
    // Positions relative to the root bone; the root has no offset.
    if (numBones == 0) return;
    const vlo::Vec3 r = bones[0].position;
    for (vlo::BoneRecord& b : bones) {
        b.position.x -= r.x;
        b.position.y -= r.y;
        b.position.z -= r.z;
    }
    bones[0].offset = vlo::Vec3{};
}

void VloExporter::AddBoneTree(INode* top, int topParentId) {
    // Depth-first pre-order with each node's children in name order; an explicit stack keeps any
    // depth of hierarchy safe.
    std::vector<std::pair<INode*, int>> stack{{top, topParentId}};
    while (!stack.empty()) {
        const auto [node, parentId] = stack.back();
        stack.pop_back();
        if (IsFootsteps(node)) {
            foundFootsteps = TRUE;
            continue;
        }
        const int id = int(bones.size());
        vlo::BoneRecord record;
        record.id = std::int16_t(id);
        record.parentId = std::int16_t(parentId);
        vlo::CopyBounded(record.name, node->GetName());

        const bool enteredHere = !inFigureMode;
        if (enteredHere) EnterFigureMode();
        const Matrix3 tm = node->GetNodeTM(0);
        const Matrix3 local = tm * Inverse(node->GetParentTM(0));
        Matrix3 rotation = tm;
        rotation.NoTrans();
        rotation.NoScale();
        const Quat q(rotation);
        const Point3 offset = local.GetTrans(), position = tm.GetTrans();
        record.offset = {offset.x, offset.y, offset.z};
        record.position = {position.x, position.y, position.z};
        record.rotation[0] = q.x;
        record.rotation[1] = q.y;
        record.rotation[2] = q.z;
        record.rotation[3] = q.w;
        if (swapYZ) {
            SwapYZ(record.offset);
            SwapYZ(record.position);
            std::swap(record.rotation[1], record.rotation[2]);
        }
        if (enteredHere) LeaveFigureMode();
        bones.push_back(record);
        boneNodes.push_back(node);

        // Children in name order (byte-wise, unsigned), equal names in child order.
        std::vector<INode*> children;
        const int n = node->NumberOfChildren();
        for (int i = 0; i < n; ++i)
            if (INode* child = node->GetChildNode(i)) children.push_back(child);
        if (int(children.size()) != n) ShowError("Serious error when attempting to sort children by name");
        std::stable_sort(children.begin(), children.end(), [](INode* a, INode* b) {
            return std::strcmp(a->GetName() ? a->GetName() : "", b->GetName() ? b->GetName() : "") < 0;
        });
        for (auto it = children.rbegin(); it != children.rend(); ++it) stack.push_back({*it, id});
    }
}

int VloExporter::WriteHierarchyChunk(vlo::OutputFile& file) {
    if (infoFile) infoFile->Printf("\nExporting hierarchy\n");
    BuildBoneList();
    // Vertex links name bones in 8 bits with 0xFF for "no bone": more bones would collide.
    if (bones.size() > vlo::kMaxLinkedBones) {
        const std::string message = "The hierarchy under '" + std::string(pxBipedRoot->GetName()) + "' has " +
                                    std::to_string(bones.size()) + " bones; a skinned model holds at most " +
                                    std::to_string(vlo::kMaxLinkedBones) + ". Nothing was exported";
        ShowError(message.c_str());
        exportFailed = true;
        return 0;
    }
    std::vector<vlo::BoneRecord> scaled = bones;
    const float s = 1.0f / worldScale;
    for (vlo::BoneRecord& b : scaled) {
        b.offset = {b.offset.x * s, b.offset.y * s, b.offset.z * s};
        b.position = {b.position.x * s, b.position.y * s, b.position.z * s};
    }
    for (const vlo::BoneRecord& b : scaled) {
        const bool finite = std::isfinite(b.offset.x) && std::isfinite(b.offset.y) && std::isfinite(b.offset.z) &&
                            std::isfinite(b.position.x) && std::isfinite(b.position.y) && std::isfinite(b.position.z) &&
                            std::isfinite(b.rotation[0]) && std::isfinite(b.rotation[1]) && std::isfinite(b.rotation[2]) &&
                            std::isfinite(b.rotation[3]);
        if (!finite) {
            const std::string message = "Bone '" + vlo::FieldText(b.name) +
                                        "' has a non-finite transform. Nothing was exported";
            ShowError(message.c_str());
            exportFailed = true;
            return 0;
        }
    }
    vlo::ChunkWriter(file).WriteCounted(vlo::kChunkHierarchy, scaled.data(), std::uint32_t(scaled.size()));
    WriteBoneList();
    return 1;
}

void VloExporter::WriteBoneList() {
    if (!infoFile) return;
    const float s = 1.0f / worldScale;
    infoFile->Printf("\nNum Bones = %d\n", numBones);
    for (const vlo::BoneRecord& b : bones) {
        if (b.parentId == -1)
            infoFile->Printf("Bone: %.32s (Id %d) ROOT! Offset: %.2f, %.2f, %.2f\n", b.name, b.id, b.offset.x * s,
                             b.offset.y * s, b.offset.z * s);
        else
            infoFile->Printf("Bone: %.32s (Id %d) Parent: %.32s (Id %d) Offset: %.2f, %.2f, %.2f\n", b.name, b.id,
                             bones[std::size_t(b.parentId)].name, b.parentId, b.offset.x * s, b.offset.y * s,
                             b.offset.z * s);
    }
}

int VloExporter::WriteVertexLinkChunk(vlo::OutputFile& file) {
    if (exportMode != IDC_MODE_HIERARCHY) return 0;
    // Each record carries its vertex's own normal and position, as written in the vertex chunk.
    std::vector<vlo::VertexLinks> records(vertices.size());
    for (std::size_t i = 0; i < vertices.size(); ++i) {
        records[i] = i < vertexLinks.size() ? vertexLinks[i] : vlo::VertexLinks{};
        records[i].normal = vertices[i].normal;
        records[i].position = vertices[i].position;
    }
    vlo::ChunkWriter(file).WriteCounted(vlo::kChunkVertexLinks, records.data(), std::uint32_t(records.size()));
    if (infoFile)
        for (std::size_t i = 0; i < records.size(); ++i) {
            const vlo::VertexLinks& l = i < vertexLinks.size() ? vertexLinks[i] : records[i];
            infoFile->Printf("Vertex %d : Linked to %d Bones: ", int(i), l.numLinks);
            for (int k = 0; k < l.numLinks && k < 4; ++k) {
                const int id = static_cast<signed char>(l.boneIds[k]);
                const std::string name = l.boneIds[k] < bones.size() ? vlo::FieldText(bones[l.boneIds[k]].name)
                                                                      : std::string("<no bone>");
                infoFile->Printf(" %d) %s (%d) [%.2f, %.2f, %.2f] (%.3f)", k, name.c_str(), id, l.position.x,
                                 l.position.y, l.position.z, l.weights[k]);
            }
            infoFile->Printf("\n");
        }
    return 1;
}
