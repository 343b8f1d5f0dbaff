#include "geometry/material_listing.h"

#include <algorithm>

#include "host/node_walk.h"

namespace vlo {
namespace {

std::string ClassNameOf(Animatable* a) {
    MSTR name;
    a->GetClassName(name);
    return name;
}

ListedMap ListMap(Texmap& map, int slot) {
    ListedMap listed;
    listed.name = map.GetName() ? map.GetName() : "";
    listed.className = ClassNameOf(&map);
    listed.slot = slot;
    if (map.ClassID() == BMTEX_CLASS_ID) {
        auto& bitmap = static_cast<BitmapTex&>(map);
        listed.isBitmap = true;
        listed.bitmapPath = bitmap.GetMapName() ? bitmap.GetMapName() : "";
        TextureOutput* out = bitmap.GetTexout();
        listed.inverted = out && out->GetInvert();
        listed.filter = bitmap.GetFilterType();
    }
    const int numMaps = map.NumSubTexmaps();
    for (int i = 0; i < numMaps; ++i)
        if (Texmap* sub = map.GetSubTexmap(i)) listed.subMaps.push_back(ListMap(*sub, i));
    return listed;
}

ListedMaterial ListMaterial(Mtl& material) {
    ListedMaterial listed;
    listed.name = material.GetName() ? material.GetName() : "";
    listed.className = ClassNameOf(&material);
    const bool standard = material.ClassID() == DMTL_CLASS_ID;
    const int numMaps = material.NumSubTexmaps();
    for (int i = 0; i < numMaps; ++i) {
        Texmap* map = material.GetSubTexmap(i);
        if (!map) continue;
        if (standard && !static_cast<StdMat&>(material).MapEnabled(i)) continue;
        listed.maps.push_back(ListMap(*map, i));
    }
    listed.numSubMaterials = std::max(material.NumSubMtls(), 0);
    for (int j = 0; j < listed.numSubMaterials; ++j)
        if (Mtl* sub = material.GetSubMtl(j)) listed.subs.emplace_back(j, ListMaterial(*sub));
    return listed;
}

}  // namespace

std::vector<Mtl*> CollectMaterials(INode* root) {
    std::vector<Mtl*> materials;
    auto add = [&materials](INode* n) {
        Mtl* m = n->GetMtl();
        if (m && std::find(materials.begin(), materials.end(), m) == materials.end()) materials.push_back(m);
    };
    add(root);
    ForEachBelow(root, add);
    return materials;
}

std::vector<ListedMaterial> ListMaterials(const std::vector<Mtl*>& materials) {
    std::vector<ListedMaterial> listing;
    for (Mtl* m : materials) listing.push_back(ListMaterial(*m));
    return listing;
}

}  // namespace vlo
