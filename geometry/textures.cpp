#include "geometry/textures.h"

#include <string>

namespace vlo {
namespace {

// Adds the bitmaps of one material's slots 1, 8 and 3 to their lists; fails on a name that does not
// fit the file.
Result<bool> AddMaterialMaps(Mtl* material, TextureTable& table) {
    if (!material) return true;
    struct Row {
        int slot;
        std::vector<TextureName>* list;
    };
    const Row rows[] = {{ID_DI, &table.diffuse}, {ID_BU, &table.bump}, {ID_SH, &table.specular}};
    for (const Row& row : rows) {
        Texmap* map = material->GetSubTexmap(row.slot);
        if (!map || map->ClassID() != BMTEX_CLASS_ID) continue;
        const std::string name = FileNamePart(static_cast<BitmapTex*>(map)->GetMapName());
        // A name that does not fit the 260-byte field would be cut into another file's name: refuse it.
        if (name.size() > kMaxPathChars)
            return Notice::Stop("Texture file name too long (" + std::to_string(name.size()) + " characters; at most " +
                                std::to_string(kMaxPathChars) + " fit the file). Nothing was exported: " + name);
        TextureName entry;
        CopyBounded(entry.name, name.c_str());
        row.list->push_back(entry);
    }
    return true;
}

}  // namespace

std::string FileNamePart(const char* path) {
    const std::string p = path ? path : "";
    const auto cut = p.find_last_of("\\/:");
    return cut == std::string::npos ? p : p.substr(cut + 1);
}

Result<TextureTable> CollectTextures(INode& node, NoticeSink& notices) {
    TextureTable table;
    Mtl* m = node.GetMtl();
    if (!m) return table;
    if (m->ClassID() == MULTI_CLASS_ID) {
        const int count = m->NumSubMtls();
        if (count == 0) notices.Report(Notice::Error("Zero sub materials defined. Continuing regardless..."));
        for (int i = 0; i < count; ++i)
            if (auto added = AddMaterialMaps(m->GetSubMtl(i), table); !added.Ok()) return added.Failure();
    } else if (auto added = AddMaterialMaps(m, table); !added.Ok()) {
        return added.Failure();
    }
    return table;
}

}  // namespace vlo
