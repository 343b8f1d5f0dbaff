#include "geometry/textures.h"

#include <algorithm>
#include <cctype>
#include <map>
#include <set>
#include <utility>

namespace vlo {
namespace {

// Adds the bitmaps of one material's slots 1, 8 and 3 to their lists: their file names to table, the
// paths the material gives to paths.
void AddMaterialMaps(Mtl* material, TextureTable& table, TextureTable& paths) {
    if (!material) return;
    struct Row {
        int slot;
        std::vector<std::string> TextureTable::*list;
    };
    const Row rows[] = {{ID_DI, &TextureTable::diffuse}, {ID_BU, &TextureTable::bump}, {ID_SH, &TextureTable::specular}};
    for (const Row& row : rows) {
        Texmap* map = material->GetSubTexmap(row.slot);
        if (!map || map->ClassID() != BMTEX_CLASS_ID) continue;
        const char* path = static_cast<BitmapTex*>(map)->GetMapName();
        (table.*row.list).push_back(FileNamePart(path ? path : ""));
        (paths.*row.list).push_back(path ? path : "");
    }
}

// A path as a file system that ignores case and takes either slash would find it.
std::string Comparable(std::string path) {
    for (char& ch : path) ch = ch == '\\' ? '/' : char(std::tolower(static_cast<unsigned char>(ch)));
    return path;
}

// Different image files that the model would name alike. The game looks each texture up by its
// name alone, so all but one of them would show another's image. Reported in the order the names
// first come, each file once.
void ReportNameClashes(const std::vector<std::pair<std::string, std::string>>& written, NoticeSink& notices) {
    struct Files {
        std::string name;                 // as the first map gives it
        std::vector<std::string> paths;   // each file once, as its first map gives it
        std::set<std::string> seen;       // the paths, comparable
    };
    std::vector<Files> names;
    std::map<std::string, std::size_t> byName;  // comparable name -> index in names
    for (const auto& [name, path] : written) {
        const auto [at, added] = byName.try_emplace(Comparable(name), names.size());
        if (added) names.push_back({name, {}, {}});
        Files& files = names[at->second];
        if (files.seen.insert(Comparable(path)).second) files.paths.push_back(path);
    }
    for (const Files& files : names) {
        const std::size_t n = files.paths.size();
        if (n < 2) continue;
        std::string list;
        for (std::size_t k = 0; k < n; ++k) list += (k == 0 ? "" : k + 1 == n ? " and " : ", ") + files.paths[k];
        const std::string all = n == 2 ? "both" : "all " + std::to_string(n);
        notices.Report(Notice::Warning("The textures " + list + " are different files, but the model stores " + all +
                                       " as " + files.name + ": the game finds one file by that name for " + all +
                                       " (give each image file a name of its own)"));
    }
}

}  // namespace

TextureName ToTextureName(const std::string& name) {
    TextureName entry;
    CopyBounded(entry.name, name.c_str());
    return entry;
}

Result<TextureTable> CollectTextures(INode& node, const ExportSettings& settings, NoticeSink& notices) {
    TextureTable table, paths;
    Mtl* m = node.GetMtl();
    if (!m) return table;
    if (m->ClassID() == MULTI_CLASS_ID) {
        const int count = m->NumSubMtls();
        if (count == 0) notices.Report(Notice::Error("Zero sub materials defined. Continuing regardless..."));
        for (int i = 0; i < count; ++i) AddMaterialMaps(m->GetSubMtl(i), table, paths);
    } else {
        AddMaterialMaps(m, table, paths);
    }
    // The names the file gets, with the paths they come from.
    std::vector<std::pair<std::string, std::string>> written;
    for (std::size_t i = 0; i < table.diffuse.size(); ++i) written.emplace_back(table.diffuse[i], paths.diffuse[i]);
    if (table.WritesBump(settings)) written.emplace_back(table.bump[0], paths.bump[0]);
    if (table.WritesSpecular(settings)) written.emplace_back(table.specular[0], paths.specular[0]);
    ReportNameClashes(written, notices);
    // A name that does not fit the 260-byte field would be cut into another file's name: refuse it.
    std::vector<std::string> tooLong;
    for (const auto& [name, path] : written)
        if (name.size() > kMaxPathChars && std::find(tooLong.begin(), tooLong.end(), name) == tooLong.end())
            tooLong.push_back(name);
    if (tooLong.empty()) return table;
    std::string message = "Texture file name too long (" + std::to_string(tooLong[0].size()) + " characters; at most " +
                          std::to_string(kMaxPathChars) + " fit the file). Nothing was exported: " + tooLong[0];
    for (std::size_t i = 1; i < tooLong.size(); ++i) message += "; " + tooLong[i];
    return Notice::Stop(message);
}

}  // namespace vlo
