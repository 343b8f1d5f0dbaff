#include "importer/materials.h"

#include <assimp/material.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <set>
#include <string_view>

#include "format/vlo_reader.h"
#include "importer/gltf_facts.h"
#include "importer/lower_case.h"
#include "importer/wording.h"

namespace importer {

namespace {

// The file-name part of a path an OBJ names (a material library), whichever separators its author used.
std::string FileNameOf(const std::string& path) {
    const auto cut = path.find_last_of("\\/");
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// The argument of each statement of an OBJ or MTL text that begins with keyword: the rest of its line
// without the blanks around it, in order. A name may hold spaces, as assimp's reader takes it.
std::vector<std::string> Statements(const std::string& text, std::string_view keyword) {
    std::vector<std::string> arguments;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        std::string_view line(text.data() + at, end - at);
        at = end + 1;
        line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
        if (line.size() <= keyword.size() || line.substr(0, keyword.size()) != keyword ||
            (line[keyword.size()] != ' ' && line[keyword.size()] != '\t'))
            continue;
        line.remove_prefix(keyword.size());
        line.remove_prefix(std::min(line.find_first_not_of(" \t"), line.size()));
        line.remove_suffix(line.size() - std::min(line.find_last_not_of(" \t\r") + 1, line.size()));
        if (!line.empty()) arguments.emplace_back(line);
    }
    return arguments;
}

std::string TextOf(const std::string& path) {
    std::vector<std::uint8_t> bytes;
    std::string error;
    vlo::ReadFileBytes(path, bytes, error);
    return std::string(bytes.begin(), bytes.end());
}

// ", only NAME" when the folder holds a file whose name differs from file in letter case alone (a
// material's "Grass.PNG" beside "grass.png"): a file system that ignores case would find it, one that
// does not would not.
std::string OtherCase(const std::string& folder, const std::string& file) {
    std::error_code ec;
    std::filesystem::directory_iterator it(folder.empty() ? "." : folder, ec);
    for (const std::filesystem::directory_iterator end; !ec && it != end; it.increment(ec)) {
        const std::string other = it->path().filename().string();
        if (Lower(other) == Lower(file)) return ", only " + other + " (which differs in letter case)";
    }
    return "";
}

// Whether two embedded images hold the same bytes.
bool SameImage(const aiTexture& a, const aiTexture& b) {
    if (a.mWidth != b.mWidth || a.mHeight != b.mHeight) return false;
    const std::size_t bytes = a.mHeight == 0 ? a.mWidth : std::size_t(a.mWidth) * a.mHeight * sizeof(aiTexel);
    return bytes == 0 || (a.pcData && b.pcData && std::memcmp(a.pcData, b.pcData, bytes) == 0);
}

// How many different images the scene file embeds under image's file name (case aside), image among
// them. A material names an embedded image by its file name, so all of them but the first are lost.
std::size_t DifferentImagesNamedAlike(const aiScene& source, const aiTexture& image) {
    const std::string file = Lower(vlo::FileNamePart(image.mFilename.C_Str()));
    std::vector<const aiTexture*> different{&image};
    for (unsigned i = 0; i < source.mNumTextures; ++i) {
        const aiTexture* other = source.mTextures[i];
        if (other && Lower(vlo::FileNamePart(other->mFilename.C_Str())) == file &&
            std::none_of(different.begin(), different.end(),
                         [&](const aiTexture* seen) { return SameImage(*seen, *other); }))
            different.push_back(other);
    }
    return different.size();
}

}  // namespace

std::optional<std::string> UndefinedObjMaterials(const aiScene& source, const std::string& path,
                                                 const std::vector<std::string>& opened,
                                                 const std::vector<std::string>& missed) {
    std::set<std::string> defined;
    for (const std::string& file : opened) {
        std::error_code ec;
        if (!std::filesystem::equivalent(file, path, ec))
            for (std::string& name : Statements(TextOf(file), "newmtl")) defined.insert(std::move(name));
    }
    // assimp's reader makes a material of each name the faces use (usemtl), defined or not, beside its
    // default material for faces without one; "(null)" is what some exporters write for those.
    std::vector<std::string> undefined;
    for (unsigned i = 0; i < source.mNumMaterials; ++i) {
        const std::string name = source.mMaterials[i]->GetName().C_Str();
        if (name != AI_DEFAULT_MATERIAL_NAME && name != "(null)" && !defined.count(name)) undefined.push_back(name);
    }
    if (undefined.empty()) return std::nullopt;
    const std::vector<std::string> libraries = Statements(TextOf(path), "mtllib");
    std::vector<std::string> absent;
    for (const std::string& library : libraries) {
        const bool missing = std::any_of(missed.begin(), missed.end(),
                                         [&](const std::string& file) { return FileNameOf(file) == FileNameOf(library); });
        if (missing && std::find(absent.begin(), absent.end(), library) == absent.end()) absent.push_back(library);
    }
    std::string why = "its faces use materials that no material library defines (" + CommaList(undefined) +
                      "): those faces have no texture (";
    if (!absent.empty())
        why += "the material " + std::string(absent.size() == 1 ? "library " : "libraries ") + CommaList(absent) +
               " it names cannot be read: keep " + (absent.size() == 1 ? "it" : "them") + " beside the scene file)";
    else if (libraries.empty())
        why += "it names no material library: add an mtllib line naming its .mtl file)";
    else
        why += "add them to its material library)";
    return why;
}

MaterialLibrary::MaterialLibrary(const aiScene& source, standin::Scene& scene, std::string folder, std::string fileStem,
                                 std::vector<std::string>& warnings, bool reportMissing, bool reportEmbedded)
    : source_(source),
      scene_(scene),
      folder_(std::move(folder)),
      fileStem_(std::move(fileStem)),
      warnings_(warnings),
      reportMissing_(reportMissing),
      reportEmbedded_(reportEmbedded) {}

// The game finds a texture by its file name alone, and an embedded image becomes a file of that name:
// a second embedded image of a name already taken (images named alike in a GLB, or images of one
// file name from two folders in an FBX) gets a number after its stem, so that neither is lost.
std::string MaterialLibrary::EmbeddedName(const std::string& name) {
    const std::string file = vlo::FileNamePart(name);
    if (embeddedFiles_.insert(Lower(file)).second) return name;
    const std::size_t dot = file.rfind('.');
    const std::string stem = file.substr(0, dot), extension = dot == std::string::npos ? "" : file.substr(dot);
    // Numbers go on from the last one given to this name, so many images of one name take linear time.
    int& number = lastNumber_[Lower(file)];
    std::string renamed;
    do
        renamed = stem + "-" + std::to_string(++number) + extension;
    while (!embeddedFiles_.insert(Lower(renamed)).second);
    warnings_.push_back("two embedded images are named " + file + ": the later is stored as " + renamed +
                        ", so that each is a file of its own (give each image a name of its own)");
    return renamed;
}

Texmap* MaterialLibrary::Bitmap(const aiMaterial& material, std::initializer_list<aiTextureType> types) {
    for (aiTextureType type : types) {
        aiString path;
        if (material.GetTexture(type, 0, &path) != AI_SUCCESS || path.length == 0) continue;
        std::string name = uriTexturePaths && path.data[0] != '*' ? GltfUriPath(path.C_Str()) : path.C_Str();
        // An image stored inside the scene file has no file of its own; the game needs one: it gets
        // the image's own name (with its format's extension when it has none), else one made from the
        // scene file's name. A GLB refers to it as "*N", an FBX by the file name it was embedded from.
        const aiTexture* image = source_.GetEmbeddedTexture(path.C_Str());
        if (name[0] == '*') {
            const std::string stored = image ? image->mFilename.C_Str() : "";
            const std::string hint = image && image->achFormatHint[0] ? image->achFormatHint : "png";
            if (stored.empty())
                name = fileStem_ + "_embedded" + std::string(path.C_Str() + 1) + "." + hint;
            else
                name = vlo::FileNamePart(stored).find('.') == std::string::npos ? stored + "." + hint : stored;
        }
        // An embedded image is known by itself, not by its name: two of one name stay two images.
        Texmap*& slot = image ? embeddedBitmaps_[image] : bitmaps_[name];
        if (slot) return slot;
        if (image) name = EmbeddedName(name);
        if (image && path.data[0] != '*')
            if (const std::size_t alike = DifferentImagesNamedAlike(source_, *image); alike > 1)
                warnings_.push_back("the scene file embeds " + std::to_string(alike) + " different images named " +
                                    vlo::FileNamePart(name) + ", and its materials name them by that name alone: every "
                                    "material gets the first of them (give the images names of their own before "
                                    "embedding them)");
        slot = &scene_.Make<standin::BitmapTexture>(name, name);
        const std::string file = vlo::FileNamePart(name);
        if (image)
            embedded_.push_back({file, image});
        else
            textureFiles_.push_back(name);
        if ((image ? reportEmbedded_ : reportMissing_) && !std::filesystem::exists(std::filesystem::path(folder_) / file)) {
            if (image)
                warnings_.push_back("texture " + file + " is embedded in the scene file: save it beside the model under "
                                    "that name (--extract-textures DIR writes it)");
            else
                warnings_.push_back("texture " + file + (file == name ? "" : " (stored as " + name + ")") +
                                    " is not beside the scene file" + OtherCase(folder_, file) +
                                    "; the game will look for it under that name");
        }
        return slot;
    }
    return nullptr;
}

void MaterialLibrary::PlaceTextures(std::vector<GltfMaterialUvs> gltf, bool fbx, bool blenderFbx) {
    const unsigned count = source_.mNumMaterials;
    placements_.assign(count, std::nullopt);
    unappliedFbxPlacement_.assign(count, false);
    // The file's glTF materials are assimp's when as many, or one fewer (assimp adds a default one).
    if (gltf.size() == count || gltf.size() + 1 == count) gltfUvs_ = std::move(gltf);
    for (unsigned i = 0; i < count; ++i) {
        if (i < gltfUvs_.size() && gltfUvs_[i].baseColor) placements_[i] = PlacementOfGltf(*gltfUvs_[i].baseColor);
        aiUVTransform transform;
        if (!fbx || source_.mMaterials[i]->Get(AI_MATKEY_UVTRANSFORM(aiTextureType_DIFFUSE, 0), transform) != AI_SUCCESS ||
            !Moves(transform))
            continue;
        if (blenderFbx)
            placements_[i] = PlacementOfBlenderFbx(transform);
        else
            unappliedFbxPlacement_[i] = true;
    }
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
    // A model has one UV map, which its maps share, placed as the base colour texture is placed.
    const std::string said = "material '" + std::string(mtl.GetName()) + "': ";
    if (index < unappliedFbxPlacement_.size() && unappliedFbxPlacement_[index] && mtl.GetSubTexmap(ID_DI))
        warnings_.push_back(said + "the file places its texture by a transform of its own (tiling, offset or turn), "
                                   "which is left out: the texture lies on the mesh's coordinates as they are (apply "
                                   "the placement to the UV map before exporting)");
    if (index < gltfUvs_.size()) {
        const GltfMaterialUvs& uvs = gltfUvs_[index];
        if (uvs.baseColorUvMap != 0 && mtl.GetSubTexmap(ID_DI))
            warnings_.push_back(said + "its base colour texture lies on UV map " + std::to_string(uvs.baseColorUvMap) +
                                ", but a model has one UV map and takes the first (place the texture on the first)");
        if (uvs.normalPlacedOtherwise && mtl.GetSubTexmap(ID_BU))
            warnings_.push_back(said + "its normal map lies otherwise than its base colour texture (a texture transform "
                                       "or UV map of its own), but a model's maps share one placement: the base colour's "
                                       "(give both maps one placement)");
    }
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
