// Where a skinned model's bone weights come from: the Physique modifier, else the Skin modifier, of
// the selected node, and the one hierarchy (a top-level node of the scene) every bone hangs from.
#pragma once

#include "core/notice.h"
#include "host/character.h"
#include "host/scene.h"

namespace vlo {

// A skeleton's root node and, when it is a biped root, its biped export interface.
struct SkeletonRoot {
    INode* root = nullptr;
    IBipedExport* biped = nullptr;
};

struct SkinSource {
    IPhyContextExport* physique = nullptr;  // set for a Physique source
    ISkin* skin = nullptr;                  // set, with skinContext, for a Skin source
    ISkinContextData* skinContext = nullptr;
    SkeletonRoot skeleton;
};

// Finds node's skin source and checks that every bone of every vertex hangs from one top-level node.
// Notices that go on (a failed initial skin transform, a missing bone) are reported; the failure says
// why the node cannot be exported as a skinned model.
Result<SkinSource> PrepareSkin(Interface& host, INode& node, NoticeSink& notices);

// The skeleton rooted at root: its biped export interface when root's controller is the biped body
// controller. Fails when that controller gives no export interface.
Result<SkeletonRoot> PrepareBiped(INode* root);

}  // namespace vlo
