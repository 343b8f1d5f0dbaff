// The scene's materials, as the model's information text lists them.
#pragma once

#include <vector>

#include "format/vlo_model.h"
#include "host/mtl.h"

namespace vlo {

// Every distinct material of root and the nodes below it, in depth-first order.
std::vector<Mtl*> CollectMaterials(INode* root);

// The listing of each material: its enabled maps (a standard material's disabled slots are left out),
// their sub-maps, and its sub-materials, recursively.
std::vector<ListedMaterial> ListMaterials(const std::vector<Mtl*>& materials);

}  // namespace vlo
