// The export origin: the world point that becomes the model's origin.
#pragma once

#include "core/export_settings.h"
#include "core/notice.h"
#include "host/scene.h"

namespace vlo {

// For a skinned model (Hierarchy), the skeleton root's position; else by the origin choice: the world
// origin, the position of node's parent (Pivot), or the mean of node's mesh vertices under its node
// transform (Center and Base; the model is then also re-centred on its vertices in export space).
// At time t. A node that is no geometric object reports "Error with Object State" and gives (0, 0, 0);
// one that cannot become a triangle mesh, or has no vertices, gives (0, 0, 0) silently.
Point3 ComputeOrigin(INode& node, ExportMode mode, OriginMode origin, INode* skeletonRoot, TimeValue t,
                     NoticeSink& notices);

}  // namespace vlo
