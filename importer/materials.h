// Host materials made from a file's materials: one standard material per file material (diffuse,
// bump and glossiness bitmaps in slots 1, 8 and 3), and one multi/sub-object material per distinct
// list of materials that a node's mesh uses.
#pragma once

#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <assimp/scene.h>

#include "importer/gltf_facts.h"
#include "importer/uv_placement.h"
#include "standin/scene.h"

namespace importer {

// An image stored inside the scene file, under the name the model gives it.
struct EmbeddedImage {
    std::string name;
    const aiTexture* texture = nullptr;  // owned by the assimp scene
};

class MaterialLibrary {
public:
    // folder: the scene file's folder, where the game's textures are looked for; fileStem names the
    // images embedded in the file. warnings receives the texture files missing from folder when
    // reportMissing is set, and the embedded images not yet beside it when reportEmbedded is.
    MaterialLibrary(const aiScene& source, standin::Scene& scene, std::string folder, std::string fileStem,
                    std::vector<std::string>& warnings, bool reportMissing = true, bool reportEmbedded = true);

    // Set for a glTF file, whose texture paths are uris: their escapes are decoded (GltfUriPath).
    bool uriTexturePaths = false;
    // Reads where each material's diffuse texture lies, before the meshes and materials are made:
    // gltf, a glTF file's placements by file material index (left out unless they are assimp's
    // materials); fbx, that the file is an FBX file, whose texture transforms assimp gives, and
    // blenderFbx, that Blender wrote it (whose convention for them is known: they are applied;
    // another program's are named in a warning, not applied).
    void PlaceTextures(std::vector<GltfMaterialUvs> gltf, bool fbx, bool blenderFbx);
    // By file material index: how its meshes' texture coordinates are to be moved (none: as they are).
    const std::vector<std::optional<UvPlacement>>& UvPlacements() const { return placements_; }

    // The host material of file material index (null for an index out of range).
    Mtl* Single(unsigned index);
    // A multi/sub-object material whose sub-material i is file material indices[i].
    Mtl* Multi(const std::vector<unsigned>& indices);
    // The embedded images the materials use, in the order they were first used.
    const std::vector<EmbeddedImage>& Embedded() const { return embedded_; }
    // The texture names of the materials used, as stored (embedded images left out).
    const std::vector<std::string>& TextureFiles() const { return textureFiles_; }

private:
    Texmap* Bitmap(const aiMaterial& material, std::initializer_list<aiTextureType> types);
    std::string EmbeddedName(const std::string& name);

    const aiScene& source_;
    standin::Scene& scene_;
    std::string folder_;
    std::string fileStem_;
    std::vector<std::string>& warnings_;
    bool reportMissing_, reportEmbedded_;
    std::map<unsigned, Mtl*> singles_;
    std::map<std::vector<unsigned>, Mtl*> multis_;
    std::map<std::string, Texmap*> bitmaps_;                // by name
    std::map<const aiTexture*, Texmap*> embeddedBitmaps_;  // by image
    std::set<std::string> embeddedFiles_;                  // their file names, lower-cased
    std::map<std::string, int> lastNumber_;                // the last number given to a taken name
    std::vector<EmbeddedImage> embedded_;
    std::vector<std::string> textureFiles_;
    std::vector<GltfMaterialUvs> gltfUvs_;
    std::vector<std::optional<UvPlacement>> placements_;
    std::vector<bool> unappliedFbxPlacement_;  // by file material index
};

// Why the faces of the OBJ file at path (read by assimp into source) that use some of its materials
// have no texture: those materials (its usemtl lines) are defined (newmtl) in none of the material
// libraries the reader opened, and the libraries the file names that the reader asked for in vain
// (missed) are said. None when every material is defined; the file itself is read only then.
std::optional<std::string> UndefinedObjMaterials(const aiScene& source, const std::string& path,
                                                 const std::vector<std::string>& opened,
                                                 const std::vector<std::string>& missed);

}  // namespace importer
