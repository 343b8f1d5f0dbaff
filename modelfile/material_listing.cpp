// The scene's materials and maps, listed in the model information text.
#include <string>

#include "plugin/exporter.h"

namespace {

// The name with double quotes made single and control or non-ASCII bytes made "_", cut to 255 bytes.
std::string SanitizeName(const char* text) {
    std::string out(text ? text : "");
    if (out.size() > 255) out.resize(255);
    for (char& c : out) {
        if (c == '"') c = '\'';
        else if (static_cast<signed char>(c) < 0x20) c = '_';
    }
    return out;
}

std::string ClassNameOf(Animatable* a) {
    MSTR name;
    a->GetClassName(name);
    return name;
}

}  // namespace

void VloExporter::ListMaterial(Mtl* material, int index, int subNumber) {
    if (!material || !infoFile) return;
    infoFile->Printf("%s %d {\n", subNumber == -1 ? "*MATERIAL" : "*SUBMATERIAL", subNumber == -1 ? index : subNumber);
    infoFile->Printf("\t%s \"%s\"\n", "*MATERIAL_NAME", SanitizeName(material->GetName()).c_str());
    infoFile->Printf("\t%s \"%s\"\n", "*MATERIAL_CLASS", SanitizeName(ClassNameOf(material).c_str()).c_str());
    const bool standard = material->ClassID() == DMTL_CLASS_ID;
    const int numMaps = material->NumSubTexmaps();
    for (int i = 0; i < numMaps; ++i) {
        Texmap* map = material->GetSubTexmap(i);
        if (!map) continue;
        if (standard && !static_cast<StdMat*>(material)->MapEnabled(i)) continue;
        ListMap(map, i);
    }
    const int numSub = material->NumSubMtls();
    if (numSub > 0) {
        infoFile->Printf("\t%s %d\n", "*NUMSUBMTLS", numSub);
        for (int j = 0; j < numSub; ++j)
            if (Mtl* sub = material->GetSubMtl(j)) ListMaterial(sub, 0, j);
    }
    infoFile->Printf("}\n");
}

void VloExporter::ListMap(Texmap* map, int slot) {
    if (!map || !infoFile) return;
    infoFile->Printf("\t%s \"%s\"\n", "*MAP_NAME", SanitizeName(map->GetName()).c_str());
    infoFile->Printf("\t%s \"%s\"\n", "*MAP_CLASS", SanitizeName(ClassNameOf(map).c_str()).c_str());
    infoFile->Printf("\t%s %d\n", "*MAP_SUBNO", slot);
    if (map->ClassID() == BMTEX_CLASS_ID) {
        auto* bitmap = static_cast<BitmapTex*>(map);
        infoFile->Printf("\t%s \"%s\"\n", "*BITMAP", SanitizeName(bitmap->GetMapName()).c_str());
        if (TextureOutput* out = bitmap->GetTexout(); out && out->GetInvert()) infoFile->Printf("\t%s\n", "*BITMAP_INVERT");
        infoFile->Printf("\t%s ", "*BITMAP_FILTER");
        const int filter = bitmap->GetFilterType();
        infoFile->Printf("%s\n", filter == FILTER_PYR ? "Pyramidal" : (filter == FILTER_SAT ? "SAT" : "None"));
    }
    const int numMaps = map->NumSubTexmaps();
    for (int i = 0; i < numMaps; ++i) ListMap(map->GetSubTexmap(i), i);
}
