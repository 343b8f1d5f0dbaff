#include "importer/materials.h"

#include <assimp/material.h>

namespace importer {

MaterialLibrary::MaterialLibrary(const aiScene& source, standin::Scene& scene, std::string fileStem,
                                 std::vector<std::string>& warnings)
    : source_(source), scene_(scene), fileStem_(std::move(fileStem)), warnings_(warnings) {}

Texmap* MaterialLibrary::Bitmap(const aiMaterial& material, std::initializer_list<aiTextureType> types) {
    for (aiTextureType type : types) {
        aiString path;
        if (material.GetTexture(type, 0, &path) != AI_SUCCESS || path.length == 0) continue;
        std::string name = path.C_Str();
        if (name[0] == '*') {
            // An image stored inside the scene file has no file of its own; the game needs one, so it
            // gets a name from the scene file, and the user is told to extract the image under it.
            const aiTexture* embedded = source_.GetEmbeddedTexture(path.C_Str());
            const std::string stored = embedded ? embedded->mFilename.C_Str() : "";
            if (!stored.empty()) {
                name = stored;
            } else {
                const std::string hint = embedded && embedded->achFormatHint[0] ? embedded->achFormatHint : "png";
                name = fileStem_ + "_embedded" + std::string(path.C_Str() + 1) + "." + hint;
                warnings_.push_back("texture " + std::string(path.C_Str()) + " is embedded in the scene file; it is named " +
                                    name + " in the model: save the image under that name");
            }
        }
        auto& slot = bitmaps_[name];
        if (!slot) slot = &scene_.Make<standin::BitmapTexture>(name, name);
        return slot;
    }
    return nullptr;
}

Mtl* MaterialLibrary::Single(unsigned index) {
    if (index >= source_.mNumMaterials) return nullptr;
    auto& slot = singles_[index];
    if (slot) return slot;
    const aiMaterial& m = *source_.mMaterials[index];
    aiString name;
    m.Get(AI_MATKEY_NAME, name);
    auto& mtl = scene_.Make<standin::StdMaterial>(name.length ? name.C_Str() : "Material #" + std::to_string(index));
    if (Texmap* t = Bitmap(m, {aiTextureType_DIFFUSE, aiTextureType_BASE_COLOR})) mtl.SetMap(ID_DI, t);
    if (Texmap* t = Bitmap(m, {aiTextureType_NORMALS, aiTextureType_HEIGHT})) mtl.SetMap(ID_BU, t);
    if (Texmap* t = Bitmap(m, {aiTextureType_SHININESS, aiTextureType_SPECULAR})) mtl.SetMap(ID_SH, t);
    slot = &mtl;
    return slot;
}

Mtl* MaterialLibrary::Multi(const std::vector<unsigned>& indices) {
    auto& slot = multis_[indices];
    if (slot) return slot;
    auto& multi = scene_.Make<standin::MultiMaterial>("Multi #" + std::to_string(multis_.size()));
    for (unsigned i : indices) multi.subs.push_back(Single(i));
    slot = &multi;
    return slot;
}

}  // namespace importer
