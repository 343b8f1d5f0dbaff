// Host materials made from a file's materials: one standard material per file material (diffuse,
// bump and glossiness bitmaps in slots 1, 8 and 3), and one multi/sub-object material per distinct
// list of materials that a node's mesh uses.
#pragma once

#include <map>
#include <string>
#include <vector>

#include <assimp/scene.h>

#include "standin/scene.h"

namespace importer {

class MaterialLibrary {
public:
    MaterialLibrary(const aiScene& source, standin::Scene& scene, std::string fileStem,
                    std::vector<std::string>& warnings);

    // The host material of file material index (null for an index out of range).
    Mtl* Single(unsigned index);
    // A multi/sub-object material whose sub-material i is file material indices[i].
    Mtl* Multi(const std::vector<unsigned>& indices);

private:
    Texmap* Bitmap(const aiMaterial& material, std::initializer_list<aiTextureType> types);

    const aiScene& source_;
    standin::Scene& scene_;
    std::string fileStem_;
    std::vector<std::string>& warnings_;
    std::map<unsigned, Mtl*> singles_;
    std::map<std::vector<unsigned>, Mtl*> multis_;
    std::map<std::string, Texmap*> bitmaps_;
};

}  // namespace importer
