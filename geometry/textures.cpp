#include "geometry/textures.h"

#include <algorithm>

namespace vlo {
namespace {

// Adds the bitmaps of one material's slots 1, 8 and 3 to their lists.
void AddMaterialMaps(Mtl* material, TextureTable& table) {
    if (!material) return;
    struct Row {
        int slot;
        std::vector<std::string>* list;
    };
    const Row rows[] = {{ID_DI, &table.diffuse}, {ID_BU, &table.bump}, {ID_SH, &table.specular}};
    for (const Row& row : rows) {
        Texmap* map = material->GetSubTexmap(row.slot);
        if (!map || map->ClassID() != BMTEX_CLASS_ID) continue;
        const char* path = static_cast<BitmapTex*>(map)->GetMapName();
        row.list->push_back(FileNamePart(path ? path : ""));
    }
}

}  // namespace

TextureName ToTextureName(const std::string& name) {
    TextureName entry;
    CopyBounded(entry.name, name.c_str());
    return entry;
}

Result<TextureTable> CollectTextures(INode& node, const ExportSettings& settings, NoticeSink& notices) {
    TextureTable table;
    Mtl* m = node.GetMtl();
    if (!m) return table;
    if (m->ClassID() == MULTI_CLASS_ID) {
        const int count = m->NumSubMtls();
        if (count == 0) notices.Report(Notice::Error("Zero sub materials defined. Continuing regardless..."));
        for (int i = 0; i < count; ++i) AddMaterialMaps(m->GetSubMtl(i), table);
    } else {
        AddMaterialMaps(m, table);
    }
    // A name that does not fit the 260-byte field would be cut into another file's name: refuse it.
    std::vector<std::string> written = table.diffuse;
    if (table.WritesBump(settings)) written.push_back(table.bump[0]);
    if (table.WritesSpecular(settings)) written.push_back(table.specular[0]);
    std::vector<std::string> tooLong;
    for (const std::string& name : written)
        if (name.size() > kMaxPathChars && std::find(tooLong.begin(), tooLong.end(), name) == tooLong.end())
            tooLong.push_back(name);
    if (tooLong.empty()) return table;
    std::string message = "Texture file name too long (" + std::to_string(tooLong[0].size()) + " characters; at most " +
                          std::to_string(kMaxPathChars) + " fit the file). Nothing was exported: " + tooLong[0];
    for (std::size_t i = 1; i < tooLong.size(); ++i) message += "; " + tooLong[i];
    return Notice::Stop(message);
}

}  // namespace vlo
