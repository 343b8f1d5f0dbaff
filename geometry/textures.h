// The texture table: the diffuse, bump and glossiness bitmaps of the exported node's material.
#pragma once

#include <string>
#include <vector>

#include "core/export_settings.h"
#include "core/notice.h"
#include "format/records.h"
#include "host/mtl.h"

namespace vlo {

struct TextureTable {
    std::vector<std::string> diffuse;   // texture id order: slot 1 of each (sub-)material with a bitmap
    std::vector<std::string> bump;      // slot 8
    std::vector<std::string> specular;  // slot 3 (glossiness)

    // Which bump and specular maps the file gets: those asked for, when the material has exactly one.
    bool WritesBump(const ExportSettings& s) const { return s.exportBumpMaps && bump.size() == 1; }
    bool WritesSpecular(const ExportSettings& s) const { return s.exportSpecularMaps && specular.size() == 1; }
};

// The file names (name and extension, no folder) of the bitmaps of node's material, or of each
// sub-material of a multi/sub-object material in order. Reports a multi/sub-object material without
// sub-materials and goes on; fails, naming each once, on a name that the file would get and that is
// too long for its 260-byte field (names in slots that are not written do not matter).
Result<TextureTable> CollectTextures(INode& node, const ExportSettings& settings, NoticeSink& notices);

// A name as the file's 260-byte field holds it (the caller has checked its length).
TextureName ToTextureName(const std::string& name);

}  // namespace vlo
