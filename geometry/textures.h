// The texture table: the diffuse, bump and glossiness bitmaps of the exported node's material.
#pragma once

#include <vector>

#include "core/notice.h"
#include "format/records.h"
#include "host/mtl.h"

namespace vlo {

struct TextureTable {
    std::vector<TextureName> diffuse;   // texture id order: slot 1 of each (sub-)material with a bitmap
    std::vector<TextureName> bump;      // slot 8
    std::vector<TextureName> specular;  // slot 3 (glossiness)
};

// The file names (name and extension, no folder) of the bitmaps of node's material, or of each
// sub-material of a multi/sub-object material in order. Reports a multi/sub-object material without
// sub-materials and goes on; fails on a name too long for the file's 260-byte field.
Result<TextureTable> CollectTextures(INode& node, NoticeSink& notices);

// The file-name part of a path (name and extension): what follows the last '\', '/' or drive colon.
std::string FileNamePart(const char* path);

}  // namespace vlo
