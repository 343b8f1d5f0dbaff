// The texture table: diffuse, bump and glossiness bitmaps of the exported node's material.
#include <string>

#include "plugin/exporter.h"

namespace {

// The file-name part of a path (name and extension): what follows the last '\', '/' or drive colon.
std::string FileNamePart(const char* path) {
    const std::string p = path ? path : "";
    const auto cut = p.find_last_of("\\/:");
    return cut == std::string::npos ? p : p.substr(cut + 1);
}

}  // namespace

void VloExporter::CollectTextures() {
    textures.clear();
    bumpMaps.clear();
    specularMaps.clear();
    Mtl* m = pxNode->GetMtl();
    if (!m) return;
    if (m->ClassID() == MULTI_CLASS_ID) {
        const int count = m->NumSubMtls();
        if (count == 0) ShowError("Zero sub materials defined. Continuing regardless...");
        for (int i = 0; i < count; ++i) AddMaterialMaps(m->GetSubMtl(i));
    } else {
        AddMaterialMaps(pxNode->GetMtl());
    }
}

void VloExporter::AddMaterialMaps(Mtl* material) {
    if (!material) return;
    struct Row {
        int slot;
        std::vector<vlo::TextureName>* list;
    };
    const Row rows[] = {{ID_DI, &textures}, {ID_BU, &bumpMaps}, {ID_SH, &specularMaps}};
    for (const Row& row : rows) {
        Texmap* map = material->GetSubTexmap(row.slot);
        if (!map || map->ClassID() != BMTEX_CLASS_ID) continue;
        const std::string name = FileNamePart(static_cast<BitmapTex*>(map)->GetMapName());
        // A name that does not fit the 260-byte field would be cut into another file's name: refuse it.
        if (name.size() > vlo::kMaxPathChars) {
            const std::string message = "Texture file name too long (" + std::to_string(name.size()) +
                                        " characters; at most " + std::to_string(vlo::kMaxPathChars) +
                                        " fit the file). Nothing was exported: " + name;
            ShowError(message.c_str());
            exportFailed = true;
            return;
        }
        vlo::TextureName entry;
        vlo::CopyBounded(entry.name, name.c_str());
        row.list->push_back(entry);
    }
}
