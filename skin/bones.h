// The bone list shared by skinned models and animations: every node below the skeleton root,
// numbered depth-first with each node's children in name order, footsteps left out.
#pragma once

#include <unordered_map>
#include <vector>

#include "core/export_space.h"
#include "core/notice.h"
#include "format/records.h"
#include "host/scene.h"
#include "skin/figure_mode.h"

namespace vlo {

struct BoneList {
    // Entry i is bone i: its offset from its parent and its position relative to the root bone in
    // scene units and host axes, its world rotation; read at time 0 in figure mode.
    std::vector<BoneRecord> records;
    std::vector<INode*> nodes;  // the node of each record
    bool foundFootsteps = false;

    // The id of node's bone, or 0xFFFF when node is no bone of the list.
    int IdOf(INode* node) const;

private:
    friend BoneList BuildBoneList(INode*, FigureMode&, NoticeSink&);
    std::unordered_map<INode*, int> ids_;
};

// Reads the bones below root (root included). Each bone's transforms are read in figure mode: when
// figure is not active, it is entered and left around each bone. A node that reports fewer children
// than it has is reported ("Serious error when attempting to sort children by name") and only the
// children it gives are walked.
BoneList BuildBoneList(INode* root, FigureMode& figure, NoticeSink& notices);

// The records as the files carry them: offset and position through space.Offset, rotation through
// space.Rotation.
std::vector<BoneRecord> ExportBones(const BoneList& bones, const ExportSpace& space);

// The first bone (by the list's order) with a non-finite value, or -1.
int FirstNonFiniteBone(const std::vector<BoneRecord>& bones);

}  // namespace vlo
